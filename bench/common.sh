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

# PhotoRec over the whole of image $2, every file type, paranoid: what it recovers goes under
# $WORK/photorec-$1/recup.
bench_photorec() {
  local name=$1 image=$2
  echo "PhotoRec on $name.img" >&2
  mkdir -p "$WORK/photorec-$name"
  (cd "$WORK/photorec-$name" &&
    photorec /log /d "$WORK/photorec-$name/recup" /cmd "$image" \
      partition_none,options,paranoid,fileopt,everything,enable,wholespace,search </dev/null >/dev/null)
}
