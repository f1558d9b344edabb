#!/usr/bin/env bash
# Installs the Debian packages that are missing (see scripts/packages.txt) and
# configures and builds the default preset. Safe to run again: it only installs
# what is missing and rebuilds what changed.
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
while read -r pkg; do
  [[ -z "$pkg" || "$pkg" == \#* ]] && continue
  dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
done < scripts/packages.txt

if ((${#missing[@]})); then
  echo "== installing: ${missing[*]}"
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# A fresh clone elsewhere must hit the same cache: hash paths relative to here.
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
export CCACHE_BASEDIR="$PWD"
export CCACHE_NOHASHDIR=1
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-5G}"
preset="${ZOR_PRESET:-default}"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -- -j2
