#!/usr/bin/env bash
# Installs what is missing, builds with tests (sanitizers on) and runs ctest.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset test
cmake --build --preset test
ctest --preset test
