#!/usr/bin/env bash
# The core tests (composition, conversion runs on several threads, readers, the fuzz targets'
# saved inputs) under ASan+UBSan and under TSan, each in a build folder of its own. Any report
# fails the run.
#   scripts/check_sanitizers.sh [address|thread]...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(address thread)
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
for kind in "${kinds[@]}"; do
  build="$root/build-$kind"
  echo "== $kind: building in $build"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DROWCASTER_SANITIZE="$kind" >/dev/null
  cmake --build "$build" --target rowcaster_tests rowcaster-cli rowcaster_data regression_dbf regression_xls regression_csv regression_xlsx regression_records
  echo "== $kind: core tests"
  "$build/rowcaster_tests" --gtest_brief=1
  "$build/regression_dbf" "$root/tests/fuzz/inputs/dbf"
  "$build/regression_xls" "$root/tests/fuzz/inputs/xls"
  "$build/regression_csv" "$root/tests/fuzz/inputs/csv"
  "$build/regression_xlsx" "$root/tests/fuzz/inputs/xlsx"
  "$build/regression_records" "$root/tests/fuzz/inputs/records"
done
echo "sanitizers: no report"
