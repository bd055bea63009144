#!/usr/bin/python3
"""Writes the .xlsx reader benchmark's workbook with Debian's python3-openpyxl: the same
65,000 rows by 20 columns as bench/xls/make_workbook.py writes as .xls (same records, same date
and money formats), saved as Office Open XML.

Usage: make_xlsx.py OUTPUT.xlsx [ROWS]
"""

import datetime
import os
import random
import sys

import openpyxl
from openpyxl.cell import WriteOnlyCell

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "xls"))
from make_workbook import DEFAULT_ROWS, HEADERS, record  # noqa: E402

FORMATS = {4: "#,##0.00", 6: "yyyy-mm-dd", 7: 'yyyy"年"m"月"d"日"', 8: "yyyy-mm-dd hh:mm:ss",
           17: "yyyy-mm-dd"}


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 64
    rows = int(argv[2]) if len(argv) == 3 else DEFAULT_ROWS
    book = openpyxl.Workbook(write_only=True)
    sheet = book.create_sheet("会员资料")
    sheet.append(HEADERS)
    rng = random.Random(65000)
    base_day = datetime.date(2015, 1, 1)
    for row in range(2, rows + 1):
        cells = []
        for column, value in enumerate(record(rng, row, base_day)):
            cell = WriteOnlyCell(sheet, value=value)
            if column in FORMATS:
                cell.number_format = FORMATS[column]
            cells.append(cell)
        sheet.append(cells)
    book.save(argv[1])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
