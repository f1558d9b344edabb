#!/usr/bin/env bash
# Quick start, second command: set up, build and run the whole test suite.
# ZOR_PRESET=asan or tsan runs it under the sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
preset="${ZOR_PRESET:-default}"
ctest --preset "$preset"
