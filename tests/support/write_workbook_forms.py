#!/usr/bin/python3
"""Writes one worksheet of typed rows in three forms, each by another program's library:
.xls by python3-xlwt, .xlsx by python3-openpyxl, .ods by python3-odf (odfpy).

    write_workbook_forms.py LAYOUT.json OUT_BASE FORM...    (FORM: xls, xlsx, ods)

LAYOUT.json: {"sheet": NAME, "rows": [[CELL, ...], ...], "empty_rows_after": N}
CELL: null (blank), a string, a number, {"date": "YYYY-MM-DD"},
{"datetime": "YYYY-MM-DDTHH:MM:SS"} or {"bool": true}.
"empty_rows_after" (.ods only) declares that many repeated empty rows after the data, as
LibreOffice writes a sheet's unused rows."""
import datetime
import json
import sys


def typed(cell):
    if isinstance(cell, dict):
        if 'date' in cell:
            return datetime.date.fromisoformat(cell['date'])
        if 'datetime' in cell:
            return datetime.datetime.fromisoformat(cell['datetime'])
        return bool(cell['bool'])
    return cell


def write_xls(layout, path):
    import xlwt
    book = xlwt.Workbook(encoding='utf-8')
    sheet = book.add_sheet(layout['sheet'])
    dates = xlwt.easyxf(num_format_str='yyyy-mm-dd')
    stamps = xlwt.easyxf(num_format_str='yyyy-mm-dd hh:mm:ss')
    for r, row in enumerate(layout['rows']):
        for c, cell in enumerate(row):
            value = typed(cell)
            if value is None:
                continue
            if isinstance(value, datetime.datetime):
                sheet.write(r, c, value, stamps)
            elif isinstance(value, datetime.date):
                sheet.write(r, c, value, dates)
            else:
                sheet.write(r, c, value)
    book.save(path)


def write_xlsx(layout, path):
    import openpyxl
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = layout['sheet']
    for r, row in enumerate(layout['rows'], start=1):
        for c, cell in enumerate(row, start=1):
            value = typed(cell)
            if value is None:
                continue
            target = sheet.cell(row=r, column=c, value=value)
            if isinstance(value, datetime.datetime):
                target.number_format = 'yyyy-mm-dd hh:mm:ss'
            elif isinstance(value, datetime.date):
                target.number_format = 'yyyy-mm-dd'
    book.save(path)


def write_ods(layout, path):
    from odf.opendocument import OpenDocumentSpreadsheet
    from odf.table import Table, TableCell, TableRow
    from odf.text import P
    document = OpenDocumentSpreadsheet()
    table = Table(name=layout['sheet'])
    for row in layout['rows']:
        element = TableRow()
        for cell in row:
            value = typed(cell)
            if value is None:
                element.addElement(TableCell())
                continue
            if isinstance(value, bool):
                out = TableCell(valuetype='boolean', booleanvalue='true' if value else 'false')
                shown = 'TRUE' if value else 'FALSE'
            elif isinstance(value, (datetime.date, datetime.datetime)):
                out = TableCell(valuetype='date', datevalue=value.isoformat())
                shown = value.isoformat()
            elif isinstance(value, (int, float)):
                out = TableCell(valuetype='float', value=repr(value))
                shown = repr(value)
            else:
                out = TableCell(valuetype='string')
                shown = value
            out.addElement(P(text=shown))
            element.addElement(out)
        table.addElement(element)
    empty = layout.get('empty_rows_after', 0)
    if empty:
        filler = TableRow(numberrowsrepeated=empty)
        filler.addElement(TableCell(numbercolumnsrepeated=1024))
        table.addElement(filler)
    document.spreadsheet.addElement(table)
    document.save(path)


def main():
    with open(sys.argv[1], encoding='utf-8') as f:
        layout = json.load(f)
    writers = {'xls': write_xls, 'xlsx': write_xlsx, 'ods': write_ods}
    for form in sys.argv[3:]:
        writers[form](layout, sys.argv[2] + '.' + form)


main()
