#!/bin/sh
# Rowcaster's entry point, for a fresh machine where even make may be missing (POSIX sh):
#   sh build.sh run      install what is missing, build, start the program
#   sh build.sh test     install what is missing, build, run every test through CTest
#   sh build.sh build    install what is missing and build (the default)
# BUILD_DIR (default build) and BUILD_TYPE (default Release) may be set in the environment.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"
build=${BUILD_DIR:-build}
type=${BUILD_TYPE:-Release}
action=${1:-build}
case "$action" in
  run|test|build) ;;
  *) echo "usage: sh build.sh [run|test|build]" >&2; exit 2 ;;
esac

# Set-up first: only then is it known which generator is there.
bash scripts/setup.sh
# A build folder keeps the generator it was made with; a new one uses Ninja.
generator=Ninja
if [ -f "$build/CMakeCache.txt" ]; then
  generator=$(sed -n 's/^CMAKE_GENERATOR:INTERNAL=//p' "$build/CMakeCache.txt")
fi
cmake -S . -B "$build" -G "$generator" -DCMAKE_BUILD_TYPE="$type" >/dev/null
cmake --build "$build" --parallel "$(nproc)"

case "$action" in
  run)
    if [ -x "$build/rowcaster" ]; then exec "$build/rowcaster"; else exec "$build/rowcaster-cli" --help; fi ;;
  test)
    cd "$build" && exec ctest --output-on-failure --parallel "$(nproc)" ;;
esac
