#!/usr/bin/env bash
# Builds (release) and starts the program. Arguments are passed to it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target kestrowline
exec build/release/kestrowline "$@"
