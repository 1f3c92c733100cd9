#!/usr/bin/env bash
# Runs the end-to-end set N times in a row under each preset (dev and asan by default; each runs the rows its
# test preset selects), as many tests at a time as the test command runs, and prints how many runs failed and how often each test failed. A flaky test shows up here long
# before it shows up in CI. The output of every failed run is kept in build/e2e-repeat/.
#
#   scripts/e2e-repeat.sh N [PRESET...]
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:?usage: scripts/e2e-repeat.sh N [PRESET...]}"
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "error: N must be a positive whole number, not '$runs'" >&2; exit 2; }
shift
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(dev asan)

kept="$PWD/build/e2e-repeat"
rm -rf "$kept"
mkdir -p "$kept"
for preset in "${presets[@]}"; do
    bash scripts/build.sh "$preset" >/dev/null
done

jobs=$(($(nproc) * 2))
declare -A failures=()
failed_runs=0
total=0
started=$(date +%s)
for run in $(seq 1 "$runs"); do
    for preset in "${presets[@]}"; do
        total=$((total + 1))
        log="$kept/run-$run-$preset.log"
        if ctest --preset "$preset" -j"$jobs" -R '^e2e\.' >"$log" 2>&1; then
            echo "run $run $preset: passed"
            rm -f "$log"
            continue
        fi
        failed_runs=$((failed_runs + 1))
        # ctest lists the tests that failed in its last run as "INDEX:NAME", one a line.
        names=$(cut -d: -f2- "build/$preset/Testing/Temporary/LastTestsFailed.log" 2>/dev/null || true)
        [ -n "$names" ] || names="(ctest itself failed)"
        echo "run $run $preset: FAILED $(tr '\n' ' ' <<<"$names")(output in $log)"
        while read -r name; do
            failures["$preset $name"]=$((${failures["$preset $name"]:-0} + 1))
        done <<<"$names"
    done
done

echo
echo "runs: $total ($runs of each of: ${presets[*]}) in $((($(date +%s) - started) / 60)) min; failed runs: $failed_runs"
if [ ${#failures[@]} -eq 0 ]; then
    echo "failures per test: none"
else
    echo "failures per test:"
    for key in "${!failures[@]}"; do
        echo "  $key: ${failures[$key]}"
    done | sort
fi
[ "$failed_runs" -eq 0 ]
