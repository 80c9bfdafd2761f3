# Shared by the benchmark scripts; sourced, not run.

# Installs the Debian packages named, when any is missing (pass the packages still needed).
bench_install() {
  [ $# -gt 0 ] || return 0
  local sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

# Builds quarry-carve in Release into $BUILD and sets $carver and $resources.
bench_build_carver() {
  echo "Building quarry-carve (Release) in $BUILD" >&2
  cmake -S "$root" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARRY_BUILD_GUI=OFF \
    -DQUARRY_BUILD_TESTS=OFF >/dev/null
  cmake --build "$BUILD" --target quarry-carve quarry_definition_files >/dev/null
  carver="$BUILD/bin/quarry-carve"
  resources="$BUILD/share/quarry"
  [ -f "$resources/QRYExt2.dll" ] || { echo "no definition files in $resources" >&2; exit 1; }
}
