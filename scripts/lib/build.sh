# Configures and builds the project into $QUILLON_BUILD_DIR (default: build/).
QUILLON_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
QUILLON_BUILD_DIR=${QUILLON_BUILD_DIR:-$QUILLON_ROOT/build}
# The compiler cache keys on paths relative to the checkout, so a fresh clone in another
# folder (as CI makes) reuses what an earlier checkout compiled. An outer setting wins.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$QUILLON_ROOT}

# Configures the build folder: the first time with the generator, the compiler cache and
# the build type, later only when settings are given. Arguments are CMake settings.
# RelWithDebInfo keeps line tables only (-g1): backtraces and sanitizer reports still
# name files and lines, and full debug info made optimised builds a quarter slower.
quillon_configure() {
  local first=()
  if [ ! -f "$QUILLON_BUILD_DIR/CMakeCache.txt" ]; then
    command -v ninja >/dev/null && first=(-G Ninja)
    # A compiler cache, where one is installed, makes rebuilds in other checkouts cheap.
    command -v ccache >/dev/null && first+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    first+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG")
  elif [ $# -eq 0 ]; then
    return 0
  fi
  cmake -S "$QUILLON_ROOT" -B "$QUILLON_BUILD_DIR" "${first[@]}" "$@" >/dev/null
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
# They use clang, whose sanitizers are the reference ones and which compiles this code in
# about half the time gcc takes; gcc stays the compiler of the product's own build. No
# benchmarks and no header check: the plain build has them.
quillon_sanitized_build() {
  local dir=$1 flags=$2
  shift 2
  CXX=clang++ CC=clang QUILLON_BUILD_DIR="$dir" quillon_build -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG=-gline-tables-only -DQUILLON_BUILD_DESKTOP=OFF -DQUILLON_BUILD_PLATFORM=ON \
    -DQUILLON_BUILD_BENCHMARKS=OFF -DQUILLON_HEADER_CHECK=OFF \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" "$@"
}

# AddressSanitizer and UndefinedBehaviorSanitizer over everything the sanitizer build has:
# the core, the Linux adapters and their tests, those on a real X server included.
# Debug (-O0): faster to build, and it catches what relies on optimisation, such as
# symmetric transfer becoming a tail call. Arguments go to ctest.
# WORKAROUND(clang 14): its function-type check on coroutine code makes the assembler fail
# ("Cannot represent a difference across sections"); the other checks stay on.
quillon_sanitize_address() {
  local dir="$QUILLON_ROOT/build-address"
  quillon_sanitized_build "$dir" \
    "-fsanitize=address,undefined -fno-sanitize=function -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
  (cd "$dir" && ctest --output-on-failure --no-tests=error -j "$(nproc)" "$@")
}

# ThreadSanitizer over the tests of the code that runs off the main thread: pixel work and
# capture off the main thread with its window lists, the preview disk queue, the input
# trace's writer, the /proc scan, and posting to the main loop from other threads.
# QUILLON_TSAN_TESTS narrows the selection (a ctest regular expression).
quillon_sanitize_thread() {
  local dir="$QUILLON_ROOT/build-thread"
  local tests=${QUILLON_TSAN_TESTS:-'^(PollMainLoop|TaskOffMainThread|LaunchInputTrace|Process[A-Za-z]*|LaunchSurfaceCaptureX11|X11ScreenCaptureService|LaunchPreviewDiskQueue)[.]'}
  QUILLON_TARGETS="quillon_core_threaded_tests quillon_linux_tests quillon_x11_tests sample_apps" \
    quillon_sanitized_build "$dir" "-fsanitize=thread -fno-omit-frame-pointer"
  (cd "$dir" &&
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$QUILLON_ROOT/scripts/tsan.supp ${TSAN_OPTIONS:-}" \
      ctest --output-on-failure --no-tests=error -j "$(nproc)" -L '^(core|linux|x11)$' -R "$tests")
}
