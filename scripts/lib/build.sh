# Configures and builds the project into $QUILLON_BUILD_DIR (default: build/).
QUILLON_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
QUILLON_BUILD_DIR=${QUILLON_BUILD_DIR:-$QUILLON_ROOT/build}
# The compiler cache keys on paths relative to the checkout, so a fresh clone in another
# folder (as CI makes) reuses what an earlier checkout compiled. An outer setting wins.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$QUILLON_ROOT}

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

# Builds everything, or the targets named in QUILLON_TARGETS (space separated).
quillon_build() {
  quillon_configure "$@"
  local targets=()
  [ -n "${QUILLON_TARGETS:-}" ] && read -ra targets <<<"$QUILLON_TARGETS"
  cmake --build "$QUILLON_BUILD_DIR" -j "$(nproc)" ${targets[@]/#/--target=}
}

# The sanitizer builds leave out the Qt layers: Qt itself is not instrumented, so they
# would add reports about its code, not ours. The X11 and process adapters need no Qt.
quillon_sanitized_build() {
  local dir=$1 flags=$2
  shift 2
  QUILLON_BUILD_DIR="$dir" quillon_build -DCMAKE_BUILD_TYPE=Debug -DQUILLON_BUILD_DESKTOP=OFF \
    -DQUILLON_BUILD_PLATFORM=ON -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" "$@"
}

# AddressSanitizer and UndefinedBehaviorSanitizer over everything the sanitizer build has:
# the core, the Linux adapters and their tests, those on a real X server included.
# Debug (-O0): faster to build, and it catches what relies on optimisation, such as
# symmetric transfer becoming a tail call. Arguments go to ctest.
quillon_sanitize_address() {
  local dir="$QUILLON_ROOT/build-sanitize"
  quillon_sanitized_build "$dir" \
    "-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
  (cd "$dir" && ctest --output-on-failure --no-tests=error -j "$(nproc)" "$@")
}

# ThreadSanitizer over the tests of the code that runs off the main thread: pixel work and
# capture off the main thread with its window lists, the preview disk queue, the input trace's writer, the /proc scan, and
# posting to the main loop from other threads. QUILLON_TSAN_TESTS narrows the selection
# (a ctest regular expression).
quillon_sanitize_thread() {
  local dir="$QUILLON_ROOT/build-tsan"
  local tests=${QUILLON_TSAN_TESTS:-'^(PollMainLoop|TaskOffMainThread|LaunchInputTrace|Process[A-Za-z]*|LaunchSurfaceCaptureX11|X11ScreenCaptureService|LaunchPreviewDiskQueue)[.]'}
  QUILLON_TARGETS="quillon_core_tests quillon_linux_tests quillon_x11_tests sample_apps" quillon_sanitized_build "$dir" \
    "-fsanitize=thread -fno-omit-frame-pointer"
  (cd "$dir" &&
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$QUILLON_ROOT/scripts/tsan.supp ${TSAN_OPTIONS:-}" \
      ctest --output-on-failure --no-tests=error -j "$(nproc)" -L '^(core|linux|x11)$' -R "$tests")
}
