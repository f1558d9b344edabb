#!/usr/bin/env bash
# Quick start, second command: set up, build and run the whole test suite.
# ZOR_PRESET=asan or tsan runs it under the sanitizers; further arguments go to
# ctest (-L install, -R Registry …).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
preset="${ZOR_PRESET:-default}"

# The suite must leave the user's home alone. What the library and Qt write to:
# the XDG folders (settings, registry, caches, data) and new entries in $HOME
# itself. The compiler cache is the build's, not the suite's.
home_listing() {
  find "$HOME" -mindepth 1 -maxdepth 1 -printf '%p\n'
  local dir
  for dir in "${XDG_CONFIG_HOME:-$HOME/.config}" "${XDG_DATA_HOME:-$HOME/.local/share}" \
             "${XDG_STATE_HOME:-$HOME/.local/state}" "${XDG_CACHE_HOME:-$HOME/.cache}"; do
    [[ -d "$dir" ]] || continue
    find "$dir" -path "${CCACHE_DIR:-$HOME/.cache/ccache}" -prune -o -printf '%p %s %T@\n'
  done
}
listing=$(mktemp -d)
trap 'rm -rf "$listing"' EXIT
home_listing | sort >"$listing/before"

status=0
ctest --preset "$preset" "$@" || status=$?

home_listing | sort >"$listing/after"
if ! diff -q "$listing/before" "$listing/after" >/dev/null; then
  echo "The test suite wrote into $HOME:"
  diff "$listing/before" "$listing/after" | grep '^[<>]' | sed -e 's/^</  gone or changed:/' -e 's/^>/  new or changed: /'
  exit 1
fi
exit "$status"
