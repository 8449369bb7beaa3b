#!/usr/bin/env bash
# Proves that the suite bites: plants each deliberate fault of tools/mutations/ alone,
# rebuilds incrementally, runs the tests that fault should trip, and reports whether they
# failed (caught) or passed (missed). The tree is restored after each fault, also when the
# script is interrupted. Exits non-zero when a fault is missed, cannot be planted, or its
# text is gone.
#
# Usage: tools/mutation-check.sh [-b BUILD] [--check-text] [NAME ...]
#   NAME          a fault's file name without .fault (default: every fault); a prefix is enough.
#   -b            the build folder to rebuild and test in (default: build, configured as the
#                 README test command configures it).
#   --check-text  plant nothing and build nothing: only report, for each fault, whether the
#                 text it changes is still found exactly once.
#
# A fault file names the fault and its tests, then the exact lines it finds and what they
# become; tools/fault-planter.py describes the format and does the planting.
set -euo pipefail
cd "$(dirname "$0")/.."
build="build"
check_text=""
patterns=()
while [ $# -gt 0 ]; do
  case "$1" in
    -b) build="$2"; shift 2 ;;
    --check-text) check_text=1; shift ;;
    *) patterns+=("$1"); shift ;;
  esac
done
faults=()
for pattern in "${patterns[@]:-}"; do
  for file in tools/mutations/"$pattern"*.fault; do
    [ -f "$file" ] && faults+=("$file")
  done
done
[ ${#faults[@]} -gt 0 ] || { echo "mutation check: no fault matches ${patterns[*]:-}" >&2; exit 2; }
planter=(python3 tools/fault-planter.py)
if [ -n "$check_text" ]; then
  exec "${planter[@]}" check "${faults[@]}"
fi

tools/install-deps.sh
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
jobs="$(nproc)"
log="$build/mutation-logs"
mkdir -p "$log"

# The originals of the files a planted fault changed; a run killed outright leaves them here,
# and the next one puts them back before anything else.
saved="$log/planted-originals"
restore() {
  if [ -d "$saved" ]; then
    "${planter[@]}" restore "$saved" || echo "mutation check: could not put back $saved; see git diff" >&2
  fi
}
[ ! -d "$saved" ] || echo "Putting back the source a killed run left with a fault planted"
restore
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
gone=()
printf '%-44s %-8s %s\n' "fault" "result" "what it does"
for file in "${faults[@]}"; do
  name="$(basename "$file" .fault)"
  fault="$(sed -n 's/^Fault: //p' "$file" | head -n 1)"
  tests="$(sed -n 's/^Tests: //p' "$file" | head -n 1)"
  status=0
  "${planter[@]}" plant "$file" "$saved" >"$log/$name.log" 2>&1 || status=$?
  if [ $status -eq 3 ]; then
    printf '%-44s %-8s %s\n' "$name" "GONE" "$(head -n 1 "$log/$name.log")"
    gone+=("$name")
    continue
  elif [ $status -ne 0 ]; then
    printf '%-44s %-8s %s\n' "$name" "BROKEN" "cannot be planted (see $log/$name.log)"
    broken+=("$name")
    continue
  fi
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
echo "${#faults[@]} faults: $caught caught, ${#missed[@]} missed, ${#broken[@]} could not be planted," \
  "${#gone[@]} with their text gone"
[ ${#missed[@]} -eq 0 ] && [ ${#broken[@]} -eq 0 ] && [ ${#gone[@]} -eq 0 ]
