#!/usr/bin/env bash
# Builds sample.sqlite from sample.sql (needs the sqlite3 shell).
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp sample.sqlite.XXXXXX)
trap 'rm -f "$tmp"' EXIT
rm -f "$tmp"
sqlite3 -bail "$tmp" < sample.sql
sqlite3 "$tmp" 'VACUUM;'
mv "$tmp" sample.sqlite
trap - EXIT
echo "sample.sqlite: $(stat -c %s sample.sqlite) bytes"
