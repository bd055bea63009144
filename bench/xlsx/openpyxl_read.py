#!/usr/bin/python3
"""Reads every cell of worksheet 1 of an .xlsx with Debian's python3-openpyxl in read-only mode
(values only) and turns it into text, for the .xlsx reader benchmark. Prints key<TAB>value lines
like the other harnesses.

Usage: openpyxl_read.py FILE.xlsx
"""

import datetime
import sys
import time

import openpyxl


def cell_text(value):
    if isinstance(value, str):
        return value
    if isinstance(value, bool):
        return "True" if value else "False"
    if isinstance(value, (int, float)):
        return "%.15g" % value
    if isinstance(value, datetime.datetime):
        if value.time() == datetime.time():
            return value.date().isoformat()
        return value.isoformat(" ")
    if isinstance(value, (datetime.date, datetime.time)):
        return value.isoformat()
    return str(value)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 64
    started = time.perf_counter()
    book = openpyxl.load_workbook(argv[1], read_only=True, data_only=True)
    sheet = book.worksheets[0]
    opened = time.perf_counter()
    rows = columns = nonblank = text_chars = 0
    for values in sheet.iter_rows(values_only=True):
        rows += 1
        columns = max(columns, len(values))
        for value in values:
            if value is not None:
                nonblank += 1
                text_chars += len(cell_text(value))
    finished = time.perf_counter()
    book.close()
    print("reader\topenpyxl %s (read-only)" % openpyxl.__version__)
    print("rows\t%d" % rows)
    print("columns\t%d" % columns)
    print("cells\t%d" % (rows * columns))
    print("nonblank\t%d" % nonblank)
    print("text_chars\t%d" % text_chars)
    print("open_seconds\t%.3f" % (opened - started))
    print("read_seconds\t%.3f" % (finished - opened))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
