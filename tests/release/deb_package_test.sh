#!/usr/bin/env bash
# The Debian package as a person gets it: cpack packs the build folder (the
# one the tests just built), the .deb is named after the version built into
# its binaries, declares its dependencies, holds what it should and nothing
# of the tests; unpacked into a scratch root (dpkg -x), its vdd-host finds
# its own module and station there and runs a 2-second capture.
#   tests/release/deb_package_test.sh BUILD_FOLDER
set -euo pipefail
build="$1"
# shellcheck disable=SC1091
source "$(dirname "${BASH_SOURCE[0]}")/package_test_lib.sh"

read_built_version "$build"
version="$VARNIX_BUILT_VERSION"
deb="$scratch/varnix-vdd-tools_${version}_amd64.deb"
pack "$build" DEB "$deb"

info="$(dpkg-deb --info "$deb")"
field() { sed -nE "s/^ $1: (.*)$/\1/p" <<<"$info"; }
[ "$(field Package)" = "varnix-vdd-tools" ] && ok "Package: varnix-vdd-tools" || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] && ok "Version: $version" || fail "Version: $(field Version), built $version"
[ "$(field Architecture)" = "amd64" ] && ok "Architecture: amd64" || fail "Architecture: $(field Architecture)"
depends="$(field Depends)"
for library in libboost-thread1.74.0 libedf1 libc6 libstdc++6; do
  grep -qE "(^|, )${library//+/\\+}( |,|$)" <<<"$depends" && ok "depends on $library" ||
    fail "Depends lacks $library: $depends"
done

listing="$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./||; /\/$/d')"
for path in usr/bin/vdd-host usr/lib/varnix-vdd/VarnixViconPlugin.vdd usr/lib/varnix-vdd/libVarnixAPI2.so \
            usr/share/varnix-vdd/profiles/default.json usr/share/varnix-vdd/profiles/sensors16.json \
            usr/share/doc/varnix-vdd-tools/copyright usr/share/doc/varnix-vdd-tools/CHANGELOG.md \
            usr/share/doc/varnix-vdd-tools/README.md usr/share/doc/varnix-vdd-tools/docs/vdd-host.md; do
  grep -qxF "$path" <<<"$listing" && ok "holds /$path" || fail "lacks /$path"
done
strays="$(grep -vE '^usr/(bin/vdd-host|lib/varnix-vdd/[^/]+|share/(varnix-vdd|doc/varnix-vdd-tools)/.+)$' <<<"$listing" || true)"
[ -z "$strays" ] && ok "nothing outside its folders ($(wc -l <<<"$listing") files)" ||
  fail "files outside the package's folders: $(tr '\n' ' ' <<<"$strays")"
grep -qE '_tests?$|reference_host|gtest' <<<"$listing" && fail "holds test programs" || ok "no test programs"

root="$scratch/root"
dpkg -x "$deb" "$root"
for binary in usr/bin/vdd-host usr/lib/varnix-vdd/VarnixViconPlugin.vdd usr/lib/varnix-vdd/libVarnixAPI2.so; do
  if readelf -S "$root/$binary" | grep -q '\.debug_info'; then fail "/$binary keeps its debug information"; fi
done
ok "binaries stripped"

line="$("$root/usr/bin/vdd-host" --version)"
[ "$line" = "vdd-host $version (commit $VARNIX_BUILT_COMMIT)" ] && ok "--version: $line" || fail "--version: $line"
describe="$("$root/usr/bin/vdd-host" describe 2>&1)" || fail "describe from the unpacked package failed: $describe"
grep -qxF "module: $root/usr/lib/varnix-vdd/VarnixViconPlugin.vdd (version $version, commit $VARNIX_BUILT_COMMIT; plug-in API version 2)" <<<"$describe" &&
  ok "describe: the packaged module, its version read from the file" ||
  fail "describe's module line: $(grep '^module:' <<<"$describe")"

status=0
capture="$(cd "$scratch" && timeout 60 "$root/usr/bin/vdd-host" capture -d 2 2>&1)" || status=$?
if [ "$status" -eq 0 ] && grep -q "$root/usr/lib/varnix-vdd/libVarnixAPI2.so" <<<"$capture"; then
  ok "capture -d 2 from the unpacked package: $(tail -1 <<<"$capture")"
else
  fail "capture -d 2 from the unpacked package: exit $status"
  sed 's/^/    /' <<<"$capture"
fi
status=0
profile="$(timeout 60 "$root/usr/bin/vdd-host" describe -p "$root/usr/share/varnix-vdd/profiles/sensors16.json" 2>&1)" ||
  status=$?
[ "$status" -eq 0 ] && grep -q "^16 devices published$" <<<"$profile" &&
  ok "describe with a packaged profile" || fail "describe with a packaged profile: exit $status"

echo "$failures failed"
[ "$failures" -eq 0 ]
