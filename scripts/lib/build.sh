# Configures and builds the project into $QUILLON_BUILD_DIR (default: build/).
QUILLON_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
QUILLON_BUILD_DIR=${QUILLON_BUILD_DIR:-$QUILLON_ROOT/build}

# Configures once; arguments are extra CMake settings for that first configuration.
quillon_configure() {
  local generator=()
  command -v ninja >/dev/null && generator=(-G Ninja)
  # A compiler cache, where one is installed, makes rebuilds in other checkouts cheap.
  command -v ccache >/dev/null && generator+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  if [ ! -f "$QUILLON_BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S "$QUILLON_ROOT" -B "$QUILLON_BUILD_DIR" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  fi
}

quillon_build() {
  quillon_configure "$@"
  cmake --build "$QUILLON_BUILD_DIR" -j "$(nproc)"
}
