#!/usr/bin/env bash
# Runs the showcase on the built tools in a scratch folder (a home of its own,
# output under its own out/) and checks that every part ran to the end and
# that nothing was printed twice: no step title and no block of lines repeats.
# Usage: ShowcaseTest.sh <source dir> <build dir> <scratch dir>
set -euo pipefail
src=$1 build=$2 work=$3
rm -rf "$work"
mkdir -p "$work/build" "$work/home"
ln -s "$src/examples" "$work/examples"
ln -s "$src/scripts" "$work/scripts"
ln -s "$build" "$work/build/default"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_CACHE_HOME="$work/home/.cache" ZOR_PRESET=default ZOR_SHOWCASE_NO_BUILD=1
unset ZOR_REGISTRY_DIR
log="$work/showcase.log"
if ! bash "$work/scripts/showcase.sh" >"$log" 2>&1; then
  tail -n 30 "$log"
  echo "FAIL: the showcase stopped early"
  exit 1
fi
# Plain text: no colour codes, no platform chatter on stderr.
sed -e 's/\x1b\[[0-9;]*m//g' "$log" | grep -v -e '^QStandardPaths:' -e 'propagateSizeHints' >"$work/plain.log"
grep -q '^Showcase finished' "$work/plain.log" || { echo "FAIL: no closing line"; exit 1; }
dup_titles=$(grep '^== ' "$work/plain.log" | sort | uniq -d)
if [[ -n "$dup_titles" ]]; then
  printf 'FAIL: steps shown twice:\n%s\n' "$dup_titles"
  exit 1
fi
# A part printed twice shows up as a block of lines seen before.
awk -v n=8 '
  { line[NR] = $0 }
  END {
    for (i = 1; i + n - 1 <= NR; ++i) {
      key = ""
      for (j = i; j < i + n; ++j) key = key line[j] "\n"
      if (key in seen) { printf "FAIL: lines %d-%d repeat lines %d-%d:\n%s", i, i + n - 1, seen[key], seen[key] + n - 1, key; bad = 1; exit 1 }
      seen[key] = i
    }
  }' "$work/plain.log"
echo "showcase: $(grep -c '^== ' "$work/plain.log") steps, each shown once"
