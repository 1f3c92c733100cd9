#!/usr/bin/env bash
# Builds the fuzz preset and runs every fuzz target for a bounded time, one after the other.
# Usage: scripts/fuzz.sh [SECONDS]   (60 per target by default)
# The seed corpora in fuzz/corpus are copied to a scratch folder first, so the repository stays as it was;
# fuzz/dict holds each target's dictionary (Qt is not instrumented, so its string compares guide nothing).
# Prints executions and findings per target; exits non-zero only when a target found something (a crash,
# a sanitizer report, a broken invariant, a timeout, a leak or running out of memory).
# REMINDER_FUZZ_BUILD_DIR picks another build folder than the preset's own.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
targets=(fuzz_launch_request fuzz_settings_file fuzz_value_conversions fuzz_date_text fuzz_action_colour
    fuzz_numeric_key)
build_dir="${REMINDER_FUZZ_BUILD_DIR:-build/fuzz}"

bash scripts/setup.sh >/dev/null
cmake --preset fuzz -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j2 --target "${targets[@]}"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/reminder-fuzz.XXXXXX")"
# An undefined-behaviour report must stop the run like an address error, or it would go unnoticed.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export ASAN_OPTIONS="detect_leaks=1"
export LANG=C.UTF-8 TZ=Europe/Rome

total_findings=0
printf '\n%-24s %12s %9s\n' target executions findings
for target in "${targets[@]}"; do
    corpus="$scratch/$target/corpus"
    artifacts="$scratch/$target/findings"
    log="$scratch/$target/log.txt"
    mkdir -p "$corpus" "$artifacts"
    cp -r "fuzz/corpus/$target/." "$corpus/"

    options=(-max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -artifact_prefix="$artifacts/"
        -print_final_stats=1)
    if [ -f "fuzz/dict/$target.dict" ]; then
        options+=(-dict="fuzz/dict/$target.dict")
    fi

    # libFuzzer's own exit status is not used: what counts is the files it leaves behind.
    "$build_dir/fuzz/$target" "$corpus" "${options[@]}" >"$log" 2>&1 || true

    executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    if [ -z "$executions" ]; then
        executions="$(grep -o '^#[0-9]*' "$log" | tail -n 1 | tr -d '#' || true)"
    fi
    findings="$(find "$artifacts" -type f \( -name 'crash-*' -o -name 'timeout-*' -o -name 'leak-*' \
        -o -name 'oom-*' \) | wc -l)"
    # A sanitizer or invariant report that left no input behind still counts.
    if [ "$findings" -eq 0 ] && grep -qE '^(==[0-9]+==ERROR|SUMMARY: |invariant broken)' "$log"; then
        findings=1
    fi
    printf '%-24s %12s %9s\n' "$target" "${executions:-0}" "$findings"
    total_findings=$((total_findings + findings))
done

if [ "$total_findings" -gt 0 ]; then
    echo
    echo "fuzz: $total_findings finding(s); inputs and logs kept in $scratch"
    find "$scratch" -path '*/findings/*' -type f
    exit 1
fi
rm -rf "$scratch"
echo
echo "fuzz: no findings"
