#!/usr/bin/python3
# Writes invoice.xlsx, the spreadsheet sample: an invoice whose number and
# customer come from the application's data (DBVALUE), whose prices are looked
# up on a second sheet (VLOOKUP), and whose VAT rate and discount come from
# the workbook's script (SCRIPT, see invoice.pas). Needs python3-openpyxl.
#   examples/data/sheets/make-invoice.py
import os
import openpyxl

here = os.path.dirname(os.path.abspath(__file__))
wb = openpyxl.Workbook()
ws = wb.active
ws.title = 'Invoice'
ws['A1'] = 'Invoice'
ws['B1'] = '=DBVALUE("Orders","Number")'
ws['A2'] = 'Customer'
ws['B2'] = '=DBVALUE("Orders","Customer")'
ws['A4'], ws['B4'], ws['C4'], ws['D4'] = 'Item', 'Qty', 'Unit price', 'Net'
items = [('Widget', 4), ('Gadget', 2), ('Sprocket', 10)]
for i, (item, qty) in enumerate(items, start=5):
    ws[f'A{i}'] = item
    ws[f'B{i}'] = qty
    ws[f'C{i}'] = f'=VLOOKUP(A{i},Prices!A:B,2,FALSE)'
    ws[f'D{i}'] = f'=B{i}*C{i}'
    for col in 'CD':
        ws[f'{col}{i}'].number_format = '#,##0.00'
ws['C8'], ws['D8'] = 'Pieces', '=SCRIPT("Pieces")'
ws['C9'], ws['D9'] = 'Net total', '=SUM(D5:D7)'
ws['C10'], ws['D10'] = 'Discount', '=-SCRIPT("Discount(" & D9 & ")")'
ws['C11'], ws['D11'] = 'VAT', '=ROUND((D9+D10)*SCRIPT("VatRate"),2)'
ws['C12'], ws['D12'] = 'Total', '=D9+D10+D11'
for r in range(9, 13):
    ws[f'D{r}'].number_format = '#,##0.00'
ws.column_dimensions['A'].width = 14
ws.column_dimensions['C'].width = 12
prices = wb.create_sheet('Prices')
for r, (item, price) in enumerate([('Gadget', 24.5), ('Sprocket', 3.2), ('Widget', 12.75)], start=1):
    prices[f'A{r}'] = item
    prices[f'B{r}'] = price
wb.save(os.path.join(here, 'invoice.xlsx'))
