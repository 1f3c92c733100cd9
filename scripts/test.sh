#!/usr/bin/env bash
# Sets up the machine, checks formatting, builds and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/format.sh --check
bash scripts/build.sh dev
ctest --preset dev -j2
