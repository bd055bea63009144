#!/usr/bin/python3
"""Writes a large copy of a sample template for the import benchmarks.

Usage: replicate_template.py SAMPLE.xls OUTPUT.xls ROWS

Every worksheet gets its header row and ROWS rows below it, taken from the sample's rows in
turn, cell by cell with their kinds (texts stay texts, dates stay dates). The key column (the
staff number on the employee sheet, the second column elsewhere) gets a unique text per row, so
that every row is new to an empty branch database.
"""

import datetime
import sys

import xlrd
import xlwt

KEY_COLUMNS = {"员工资料": 3}  # 1-based; the second column where not named
TEXT = xlwt.easyxf(num_format_str="@")
DATE = xlwt.easyxf(num_format_str="yyyy-mm-dd")


def copy_cell(book, sheet, out, row, column, cell):
    if cell.ctype == xlrd.XL_CELL_EMPTY:
        return
    if cell.ctype == xlrd.XL_CELL_TEXT:
        out.write(row, column, cell.value, TEXT)
    elif cell.ctype == xlrd.XL_CELL_DATE:
        moment = datetime.datetime(*xlrd.xldate_as_tuple(cell.value, book.datemode))
        out.write(row, column, moment, DATE)
    else:
        out.write(row, column, cell.value)


def main():
    sample, output, rows = sys.argv[1], sys.argv[2], int(sys.argv[3])
    book = xlrd.open_workbook(sample)
    workbook = xlwt.Workbook(encoding="utf-8")
    for sheet in book.sheets():
        out = workbook.add_sheet(sheet.name)
        for column in range(sheet.ncols):
            out.write(0, column, sheet.cell_value(0, column))
        key = KEY_COLUMNS.get(sheet.name, 2) - 1
        for index in range(rows):
            source = 1 + index % (sheet.nrows - 1)
            for column in range(sheet.ncols):
                if column == key:
                    out.write(index + 1, column, "K%08d" % (index + 1), TEXT)
                else:
                    copy_cell(book, sheet, out, index + 1, column, sheet.cell(source, column))
    workbook.save(output)


if __name__ == "__main__":
    main()
