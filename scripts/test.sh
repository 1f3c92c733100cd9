#!/usr/bin/env bash
# Sets up the machine, checks formatting, builds and runs the test suite under two presets: the normal debug
# build, then the build with the address and undefined-behaviour sanitizers (the README's test section says which
# rows run under which). At the end it prints the wall time of every phase, also when one failed, so that
# a change that slows the command shows at once.
set -euo pipefail
cd "$(dirname "$0")/.."

phase_names=()
phase_seconds=()
print_phases() {
    local status=$? i total=0
    [ ${#phase_names[@]} -gt 0 ] || return 0
    echo
    echo "wall time of each phase:"
    for i in "${!phase_names[@]}"; do
        printf '  %-12s %4d s\n' "${phase_names[$i]}" "${phase_seconds[$i]}"
        total=$((total + phase_seconds[i]))
    done
    printf '  %-12s %4d s (%d min %02d s)\n' total "$total" $((total / 60)) $((total % 60))
    [ "$status" -eq 0 ] || echo "failed in: ${phase_names[-1]}"
}
trap print_phases EXIT

# phase NAME COMMAND...: runs COMMAND and keeps its wall time under NAME.
phase() {
    local name=$1 started=$SECONDS status=0
    shift
    phase_names+=("$name")
    "$@" || status=$?
    phase_seconds+=($((SECONDS - started)))
    return "$status"
}

# Most of an end-to-end script's time is spent waiting on the pop-up, its X server or its cluster: two tests a
# core keep the processors busy.
jobs=$(($(nproc) * 2))

phase set-up bash scripts/setup.sh --tests
phase format bash scripts/format.sh --check
phase "build dev" bash scripts/build.sh dev
phase "test dev" ctest --preset dev -j"$jobs"
phase "build asan" bash scripts/build.sh asan
phase "test asan" ctest --preset asan -j"$jobs"
