# What the package tests share, sourced by deb_package_test.sh and
# zip_package_test.sh: a scratch folder removed on exit, the ok/FAIL lines
# and their count, the version built into the binaries, and cpack run on
# the build folder.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
ok() { echo "ok   $*"; }

# VARNIX_BUILT_VERSION and the other VARNIX_BUILT_* values of build folder $1.
read_built_version() {
  # shellcheck disable=SC1090
  source <(sed -nE 's/^set\((VARNIX_BUILT_[A-Z]+) "(.*)"\)$/\1="\2"/p' "$1/build_version.cmake")
}

# pack BUILD_FOLDER GENERATOR EXPECTED_FILE: cpack into the scratch folder;
# stops the test unless it wrote EXPECTED_FILE.
pack() {
  if ! (cd "$1" && cpack -G "$2" -B "$scratch" >"$scratch/cpack.log" 2>&1); then
    cat "$scratch/cpack.log"
    echo "FAIL cpack -G $2 failed in $1"
    exit 1
  fi
  [ -f "$3" ] && ok "cpack wrote $(basename "$3")" || { fail "no $3: $(ls "$scratch")"; exit 1; }
}
