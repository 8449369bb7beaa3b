#!/usr/bin/env bash
# Proves that the suite bites: plants each deliberate fault of tools/mutations/ alone,
# rebuilds incrementally, runs the tests that fault should trip, and reports whether they
# failed (caught) or passed (missed). The tree is restored after each fault, also when the
# script is interrupted. Exits non-zero when a fault is missed or cannot be planted.
#
# Usage: tools/mutation-check.sh [-b BUILD] [NAME ...]
#   NAME  a fault's file name without .patch (default: every fault); a prefix is enough.
#   -b    the build folder to rebuild and test in (default: build, configured as the README
#         test command configures it).
#
# A fault file is a patch (`git diff` output) after a header of two lines:
#   Fault: what the planted fault does, in words
#   Tests: a ctest -R regular expression naming the tests that must catch it
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="build"
if [ "${1:-}" = "-b" ]; then
  build="$2"
  shift 2
fi
faults=()
for pattern in "${@:-}"; do
  for file in tools/mutations/"$pattern"*.patch; do
    [ -f "$file" ] && faults+=("$file")
  done
done
[ ${#faults[@]} -gt 0 ] || { echo "mutation check: no fault matches $*" >&2; exit 2; }

tools/install-deps.sh
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
jobs="$(nproc)"
log="$build/mutation-logs"
mkdir -p "$log"

planted=""
restore() {
  if [ -n "$planted" ]; then
    git -C "$root" apply -R "$planted" || echo "mutation check: could not remove $planted; see git diff" >&2
    planted=""
  fi
}
trap restore EXIT
trap 'exit 130' INT TERM

# The unplanted tree must build and pass, or every fault would look caught.
echo "Building the tree as it is"
cmake --build "$build" -j"$jobs" >"$log/baseline-build.log" 2>&1 \
  || { echo "mutation check: the tree does not build (see $log/baseline-build.log)" >&2; exit 2; }

# The tests the faults name must pass on the unplanted tree, or a failure proves nothing.
union="$(for file in "${faults[@]}"; do sed -n 's/^Tests: \(.*\)/(\1)/p' "$file" | head -n 1; done | sort -u | paste -sd '|')"
echo "Running the named tests on the tree as it is"
xvfb-run -a -s "-screen 0 1920x1080x24" ctest --test-dir "$build" -R "$union" -j"$jobs" --timeout 300 \
  >"$log/baseline-tests.log" 2>&1 \
  || { echo "mutation check: the tests fail without a fault (see $log/baseline-tests.log)" >&2; exit 2; }

caught=0
missed=()
broken=()
printf '%-44s %-8s %s\n' "fault" "result" "what it does"
for file in "${faults[@]}"; do
  name="$(basename "$file" .patch)"
  fault="$(sed -n 's/^Fault: //p' "$file" | head -n 1)"
  tests="$(sed -n 's/^Tests: //p' "$file" | head -n 1)"
  if [ -z "$tests" ] || ! git apply --check "$file" 2>"$log/$name.log"; then
    printf '%-44s %-8s %s\n' "$name" "BROKEN" "does not apply (see $log/$name.log)"
    broken+=("$name")
    continue
  fi
  git apply "$file"
  planted="$file"
  if ! cmake --build "$build" -j"$jobs" >"$log/$name.log" 2>&1; then
    result="BROKEN"
    broken+=("$name")
  elif xvfb-run -a -s "-screen 0 1920x1080x24" \
      ctest --test-dir "$build" -R "$tests" -j"$jobs" --timeout 300 --stop-on-failure >>"$log/$name.log" 2>&1; then
    if grep -q "No tests were found" "$log/$name.log"; then
      result="BROKEN"
      broken+=("$name")
    else
      result="MISSED"
      missed+=("$name")
    fi
  else
    result="caught"
    caught=$((caught + 1))
  fi
  restore
  printf '%-44s %-8s %s\n' "$name" "$result" "$fault"
done

# Leave the build matching the restored tree.
cmake --build "$build" -j"$jobs" >"$log/final-build.log" 2>&1 || true
echo "${#faults[@]} faults: $caught caught, ${#missed[@]} missed, ${#broken[@]} could not be planted"
[ ${#missed[@]} -eq 0 ] && [ ${#broken[@]} -eq 0 ]
