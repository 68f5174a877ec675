#!/usr/bin/env bash
# Installs what is missing, builds the program, creates a sample contacts
# database in data/ when there is none, and starts the window there.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release
cmake --build --preset release

mkdir -p data
if [ ! -e data/fihrist.mdb ]; then
    build/release/tools/velmora-rehber-db create data/fihrist.mdb --sample 200
fi
cd data
exec ../build/release/app/velmora-rehber
