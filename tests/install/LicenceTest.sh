#!/usr/bin/env bash
# Every library the given programs and libraries load comes from a package
# whose licence has been checked (licences.txt): nothing GPL-only is linked.
set -uo pipefail
allow="$(dirname "$0")/licences.txt"
fail=0
declare -A seen=()
for bin in "$@"; do
  [[ -e "$bin" ]] || { echo "missing: $bin"; fail=1; continue; }
  while read -r lib; do
    [[ -n "$lib" && -z "${seen[$lib]:-}" ]] || continue
    seen[$lib]=1
    [[ "$lib" == */libZorCompCore.so* ]] && continue
    pkg=$(dpkg -S "$(readlink -f "$lib")" 2>/dev/null | head -1 | cut -d: -f1)
    [[ -n "$pkg" ]] || pkg=$(dpkg -S "$lib" 2>/dev/null | head -1 | cut -d: -f1)
    if [[ -z "$pkg" ]]; then
      echo "$lib (from $bin) belongs to no Debian package: check its licence"; fail=1
    elif ! grep -qE "^${pkg//+/\\+}[[:space:]]" "$allow"; then
      echo "$lib (from $bin) comes from $pkg, whose licence is not checked in licences.txt"; fail=1
    fi
  done < <(ldd "$bin" | awk '$3 ~ /^\// {print $3} $1 ~ /^\// {print $1}')
done
exit $fail
