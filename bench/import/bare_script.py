#!/usr/bin/python3
"""The bare script the import benchmark compares with: xlrd reads the stored-value template and
Python's sqlite3 inserts one member row and one card value log row per template row, every
column the import writes, in one transaction. No checks, no key search, no clean-up.

Usage: bare_script.py TEMPLATE.xls DATABASE MEMBER_COLUMNS LOG_COLUMNS
(the column lists comma-separated, as present in the database)
"""

import sqlite3
import sys

import xlrd

# Template columns (0-based) of the member columns that take a template cell.
MEMBER_FROM_TEMPLATE = {
    "MemberID": 1, "MemberPassword": 4, "CardName": 2, "SumMoney": 5, "MemberName": 11,
    "Phone": 13, "Address": 17, "PostCode": 16, "Sex": 12, "Birthday": 15, "JiFen": 6,
    "CreateDate": 8, "isBlankOut": 3, "EndDate": 7, "CardTypeName": 0, "StartDate": 8,
    "AdviserCode": 10, "AdviserName": 10, "PaperTypeName": 18, "RepeatPassword": 4,
    "CardEndDate": 8, "isSendMsg": 14,
}
LOG_FROM_TEMPLATE = {
    "CardCode": 1, "CardFaceID": 2, "CardGroupName": 0, "ClientName": 11, "JiFenValue": 6,
    "CardValue": 5, "NowJiFenValue": 6, "NowCardValue": 5,
}
CONSTANTS = {"HotelTreeID": "QY", "HotelID": "001", "HotelName": "青雁一店", "FkHotelID": "001"}


def text(cell):
    if cell.ctype == xlrd.XL_CELL_NUMBER:
        return "%.15g" % cell.value
    return cell.value if cell.ctype == xlrd.XL_CELL_TEXT else ""


def row_values(cells, columns, from_template):
    return [text(cells[from_template[c]]) if c in from_template and from_template[c] < len(cells)
            else CONSTANTS.get(c, "0") for c in columns]


def main(argv):
    if len(argv) != 5:
        sys.stderr.write(__doc__)
        return 64
    book = xlrd.open_workbook(argv[1])
    sheet = book.sheet_by_index(0)
    members = argv[3].split(",")
    logs = argv[4].split(",")
    connection = sqlite3.connect(argv[2], isolation_level=None)
    # A template of its own may name members the database holds: those rows are left out, as
    # the import skips them.
    member_insert = "INSERT OR IGNORE INTO HY_Member (%s) VALUES (%s)" % (
        ",".join(members), ",".join("?" * len(members)))
    log_insert = "INSERT INTO HY_CardValueOpLog (%s) VALUES (%s)" % (
        ",".join(logs), ",".join("?" * len(logs)))
    connection.execute("BEGIN")
    for row in range(1, sheet.nrows):
        cells = sheet.row(row)
        inserted = connection.execute(
            member_insert, row_values(cells, members, MEMBER_FROM_TEMPLATE)).rowcount
        if inserted:
            connection.execute(log_insert, row_values(cells, logs, LOG_FROM_TEMPLATE))
    connection.execute("COMMIT")
    connection.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
