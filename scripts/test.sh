#!/usr/bin/env bash
# Installs what is missing, checks which folder includes which and the
# code's layout, builds with tests (sanitizers on) and runs ctest.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/check-layout.sh
scripts/check-format.sh
cmake --preset test
cmake --build --preset test
ctest --preset test
