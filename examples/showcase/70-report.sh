# Reports: HTML templates filled from the sample database, JSON, a data
# packet and report variables, with script blocks inside the templates.
if has report; then
  DB=examples/data/sample.sqlite
  R=examples/reports
  step "Invoices: each order with its items (a detail query), totals from a script block, the logo inline"
  "$ZORCC" report render "$R/invoice.html" --db "$DB" -o out/invoice.html \
    --sql Company="select * from company" \
    --sql Orders="select o.id, c.name as customer, c.city, o.order_date, o.status
                  from orders o join customers c on c.id = o.customer_id order by o.id" \
    --sql Items="select p.name as product, i.quantity, i.price
                 from order_items i join products p on p.id = i.product_id
                 where i.order_id = :id order by i.id" \
    --master Items=Orders
  grep -c '<section class="invoice">' out/invoice.html
  grep -o '<img src="data:image/png;base64,.\{16\}' out/invoice.html
  grep -m 2 -o '<p class="total">[^<]*' out/invoice.html

  step "Customers from JSON only: lists, nested objects, inverted sections"
  "$ZORCC" report render "$R/customers.html" --data "$R/customers.json" -o out/customers.html
  grep -c '<li' out/customers.html

  step "Orders from an XML data packet, rows read by their index"
  "$ZORCC" report render "$R/packet.html" --packet Orders=examples/data/orders-packet.xml -o out/packet.html
  grep -A 1 '^<p>First order' out/packet.html

  DASH=(--language JScript --db "$DB"
        --sql Status="select status, count(*) as n from orders group by status order by status"
        --sql Orders="select id from orders"
        --sql Revenue="select round(sum(quantity * price), 2) as total from order_items")
  step "A dashboard with a JScript block and report variables; its cards are dynamic blocks"
  "$ZORCC" report render "$R/dashboard.html" "${DASH[@]}" --var Period=Q1 --var Target=2000 -o out/dashboard.html
  grep -o 'Target [a-z][^<]*' out/dashboard.html

  step "The same page with its cards rendered again for another target: only the cards change"
  "$ZORCC" report render "$R/dashboard.html" "${DASH[@]}" --var Period=Q2 --var Target=3000 \
    --rerender out/dashboard.html -o out/dashboard-refreshed.html
  diff out/dashboard.html out/dashboard-refreshed.html || true

  step "A template whose script does not compile: the message names the line and column"
  "$ZORCC" report check "$R/broken.html" || true
fi
GALLERY="$PWD/build/$preset/examples/gallery/gallery"
if [[ -x "$GALLERY" ]] && has report; then
  step "The gallery's Reports page, headless: the invoices rendered in the page's browser"
  "$GALLERY" --headless --report out/report.png
fi
