#!/usr/bin/env bash
# The Windows zip as a person gets it: cpack packs the Windows build folder
# (the one the tests just built); the zip is named after the version built
# into its DLLs, holds exactly the module, its README, licence, notices and
# changelog, and the simulated station with its profiles, all stripped.
# Unpacked, with the simulated station put beside the module as
# README-Windows.txt says, the reference host with Microsoft's C++ ABI drives
# the module it holds under Wine, and Windows reads its version resource.
#   tests/release/zip_package_test.sh BUILD_FOLDER WINE_RUNNER
set -euo pipefail
build="$1" runner="$2"
source_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
# shellcheck disable=SC1091
source "$source_dir/tests/release/package_test_lib.sh"

read_built_version "$build"
name="VarnixViconPlugin-${VARNIX_BUILT_VERSION}-win64"
zip="$scratch/$name.zip"
pack "$build" ZIP "$zip"

listing="$(cd "$scratch" && cmake -E tar tf "$zip" | sed '/\/$/d' | sort)"
profiles="$(cd "$source_dir/profiles" && ls ./*.json | sed "s|^\./|$name/simulated-station/profiles/|")"
expected="$(printf '%s\n' "$name/VarnixViconPlugin.vdd" "$name/README-Windows.txt" "$name/LICENSE.txt" \
  "$name/THIRD-PARTY-NOTICES.txt" "$name/CHANGELOG.md" "$name/simulated-station/VarnixAPI2.dll" \
  "$profiles" | sort)"
if [ "$listing" = "$expected" ]; then
  ok "holds exactly the $(wc -l <<<"$expected") files it should"
else
  fail "contents differ:"
  diff <(echo "$expected") <(echo "$listing") | sed -n 's/^</    missing: /p; s/^>/    extra:   /p'
fi

(cd "$scratch" && cmake -E tar xf "$zip")
unpacked="$scratch/$name"
for dll in VarnixViconPlugin.vdd simulated-station/VarnixAPI2.dll; do
  if x86_64-w64-mingw32-objdump -h "$unpacked/$dll" | grep -q '\.debug_info'; then
    fail "$dll keeps its debug information"
  else
    ok "$dll stripped ($(stat -c %s "$unpacked/$dll") bytes)"
  fi
done

# As README-Windows.txt says: the simulated station beside the module.
cp "$unpacked/simulated-station/VarnixAPI2.dll" "$unpacked/"
status=0
"$runner" "$build/bin/reference_host.exe" "$unpacked/VarnixViconPlugin.vdd" >"$scratch/host.log" 2>&1 ||
  status=$?
summary="$(tr -d '\r' <"$scratch/host.log" | grep -E '^[0-9]+ passed, [0-9]+ failed$' || true)"
if [ "$status" -eq 0 ] && [[ "$summary" =~ ^[0-9]+\ passed,\ 0\ failed$ ]]; then
  ok "the reference host on the zipped module: $summary"
else
  fail "the reference host on the zipped module: exit $status, '${summary:-no summary}'"
  grep -E '^FAIL' "$scratch/host.log" | head -20 | sed 's/^/    /'
fi

resource="$("$runner" "$build/bin/version_info.exe" "$unpacked/VarnixViconPlugin.vdd" | tr -d '\r')" || true
grep -qxF "  ProductVersion: $VARNIX_BUILT_VERSION" <<<"$resource" &&
  grep -qxF "  Comments: Built from commit $VARNIX_BUILT_COMMIT" <<<"$resource" &&
  ok "the zipped module's version resource: $VARNIX_BUILT_VERSION, commit $VARNIX_BUILT_COMMIT" ||
  fail "the zipped module's version resource: $resource"

echo "$failures failed"
[ "$failures" -eq 0 ]
