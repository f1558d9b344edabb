#!/usr/bin/env bash
# Builds sample.sqlite from sample.sql (needs the sqlite3 shell). Given the
# path of a built zorcc, also writes orders-packet.xml, the orders with their
# customers and totals as an XML data packet.
#   examples/data/make-sample-db.sh [path/to/zorcc]
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

if [[ $# -ge 1 ]]; then
  "$1" data packet --db sample.sqlite -o orders-packet.xml --sql "
    select o.id, c.name as customer, c.city, o.order_date, o.shipped, o.status,
           count(i.id) as items, round(sum(i.quantity * i.price), 2) as total
    from orders o
    join customers c on c.id = o.customer_id
    join order_items i on i.order_id = o.id
    group by o.id
    order by o.id"
  echo "orders-packet.xml: $(grep -c '<ROW ' orders-packet.xml) orders"
fi
