#!/usr/bin/env bash
# Quick start, first command: set up, build, and run the showcase — a short,
# commented tour of zorcc on the embedded samples in examples/. Anything it
# produces goes to ./out/.
set -euo pipefail
cd "$(dirname "$0")/.."
# ZOR_SHOWCASE_NO_BUILD=1 runs it on the tools already built (the suite does).
[[ -n "${ZOR_SHOWCASE_NO_BUILD:-}" ]] || bash scripts/setup.sh
preset="${ZOR_PRESET:-default}"
ZORCC="$PWD/build/$preset/tools/zorcc/zorcc"
mkdir -p out

step() { printf '\n\033[1m== %s\033[0m\n' "$*"; }
has() { "$ZORCC" --help | grep -q "^  $1 "; }

step "The library and its modules in start-up order"
"$ZORCC" info

for part in examples/showcase/*.sh; do
  [[ -e "$part" ]] || continue
  # Each capability adds its own part of the tour.
  # shellcheck source=/dev/null
  source "$part"
done

printf '\nShowcase finished; output files are in ./out/\n'
