# Data sets: queries over the sample shop database, and a query as an XML data packet.
if has data; then
  step "The sample database's customers (rows cached, columns typed from their declarations)"
  "$ZORCC" data query --db examples/data/sample.sqlite --sql "select id, name, city, vip, since from customers order by id"
  step "One order's items as JSON; a product picture shows as its size and image format"
  "$ZORCC" data query --db examples/data/sample.sqlite --json --param order=8 --sql "
    select i.id as item, i.quantity, p.name, i.price, p.picture
    from order_items i join products p on p.id = i.product_id
    where i.order_id = :order order by i.id"
  step "The orders with their totals as an XML data packet for report templates"
  "$ZORCC" data packet --db examples/data/sample.sqlite -o out/orders-packet.xml --sql "
    select o.id, c.name as customer, o.order_date, round(sum(i.quantity * i.price), 2) as total
    from orders o join customers c on c.id = o.customer_id join order_items i on i.order_id = o.id
    group by o.id order by o.id"
  grep -m 3 '<ROW ' out/orders-packet.xml
  step "A query against a table that does not exist: the driver's message, exit status 1"
  "$ZORCC" data query --db examples/data/sample.sqlite --sql "select * from invoices" || true
fi
