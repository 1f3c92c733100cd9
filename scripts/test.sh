#!/usr/bin/env bash
# Sets up the machine, checks formatting, builds and runs the whole test suite twice: the normal debug build,
# then the same suite, end-to-end tests included, built with the address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --tests
bash scripts/format.sh --check
bash scripts/build.sh dev
ctest --preset dev -j2
bash scripts/build.sh asan
ctest --preset asan -j2
