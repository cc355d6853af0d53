#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite (unit, ui, e2e); exits
# non-zero on any failure. `scripts/test.sh -L unit` runs one kind.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
cd build
# Unit and widget tests run side by side on every core; the end-to-end tests are marked to run
# alone.
ctest --output-on-failure --timeout 600 -j "$(nproc)" "$@"
