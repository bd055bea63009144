#!/usr/bin/python3
"""Reads every cell of worksheet 1 with Debian's python3-xlrd and turns it into text, for the
reader benchmark. Prints key<TAB>value lines like the other harnesses.

Usage: xlrd_read.py FILE.xls
"""

import sys
import time

import xlrd


def cell_text(cell, datemode):
    if cell.ctype == xlrd.XL_CELL_TEXT:
        return cell.value
    if cell.ctype == xlrd.XL_CELL_NUMBER:
        return "%.15g" % cell.value
    if cell.ctype == xlrd.XL_CELL_DATE:
        moment = xlrd.xldate_as_datetime(cell.value, datemode)
        if moment.time() == moment.min.time():
            return moment.date().isoformat()
        return moment.isoformat(" ")
    if cell.ctype == xlrd.XL_CELL_BOOLEAN:
        return "True" if cell.value else "False"
    if cell.ctype == xlrd.XL_CELL_ERROR:
        return xlrd.error_text_from_code.get(cell.value, "#ERR")
    return ""


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 64
    started = time.perf_counter()
    book = xlrd.open_workbook(argv[1])
    sheet = book.sheet_by_index(0)
    opened = time.perf_counter()
    nonblank = 0
    text_chars = 0
    for row in range(sheet.nrows):
        for cell in sheet.row(row):
            if cell.ctype not in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                nonblank += 1
                text_chars += len(cell_text(cell, book.datemode))
    finished = time.perf_counter()
    print("reader\txlrd %s" % xlrd.__version__)
    print("rows\t%d" % sheet.nrows)
    print("columns\t%d" % sheet.ncols)
    print("cells\t%d" % (sheet.nrows * sheet.ncols))
    print("nonblank\t%d" % nonblank)
    print("text_chars\t%d" % text_chars)
    print("open_seconds\t%.3f" % (opened - started))
    print("read_seconds\t%.3f" % (finished - opened))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
