#!/usr/bin/python3
"""Writes a stored-value card template of many rows for the import benchmark.

Usage: make_stored_value.py OUTPUT.xls|OUTPUT.xlsx [ROWS]   (default 65000 rows below the header)

Rows are varied the way a real branch's data is: a few card types, unique chip numbers stored as
text, some empty cells that the checking pass fills with defaults, money and points as numbers,
dates as text. An .xls (python3-xlwt) holds at most 65,535 rows below its header; an .xlsx is
written by python3-openpyxl's write-only mode, as a branch's export would be, up to 1,048,575.
"""

import sys

CARD_TYPES = ["金卡", "银卡", "钻石卡", "普通卡", "贵宾卡"]
SURNAMES = "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗"
GIVEN = ["伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋", "勇", "艳", "杰", "娟", "涛"]
ADVISERS = ["王经理", "刘顾问", "周店长", ""]

TITLES = [
    "卡类型名称", "卡芯编号", "卡面编号", "作废标志(y/n/g)", "会员密码", "卡中金额", "卡中积分",
    "有效日期", "发卡日期", "备用(不导入)", "顾问", "会员姓名", "性别(男/女)", "电话",
    "允许发短信(y/n)", "生日", "邮编", "地址", "证件",
]


def row_values(index):
    """The 19 cells of template row index (0-based); None leaves the cell empty."""
    name = SURNAMES[index % len(SURNAMES)] + GIVEN[(index // 7) % len(GIVEN)]
    chip = "B%09d" % (index + 1)
    return [
        CARD_TYPES[index % len(CARD_TYPES)],
        chip,
        None if index % 4 == 0 else "F%07d" % (index + 1),
        None if index % 10 == 0 else "n",
        None if index % 3 == 0 else "%06d" % (index * 7919 % 1000000),
        None if index % 9 == 0 else float(100 * (index % 50) + 0.5 * (index % 2)),
        None if index % 5 == 0 else float(index % 1000),
        None if index % 6 == 0 else "2026-%02d-%02d" % (index % 12 + 1, index % 28 + 1),
        None if index % 8 == 0 else "2024-%02d-%02d" % (index % 12 + 1, index % 28 + 1),
        None,
        ADVISERS[index % len(ADVISERS)] or None,
        name,
        None if index % 11 == 0 else ("男" if index % 2 else "女"),
        "13%09d" % (index * 37 % 1000000000),
        None if index % 13 == 0 else ("y" if index % 3 else "n"),
        None if index % 7 == 0 else "19%02d-%02d-%02d" % (60 + index % 40, index % 12 + 1,
                                                          index % 28 + 1),
        "518%03d" % (index % 1000),
        "深圳市南山区科技园路%d号" % (index % 500 + 1),
        "44030%013d" % index,
    ]


def write_xlsx(path, rows):
    import openpyxl

    book = openpyxl.Workbook(write_only=True)
    sheet = book.create_sheet("充值卡")
    sheet.append(TITLES)
    for index in range(rows):
        sheet.append(row_values(index))
    book.save(path)


def write_xls(path, rows):
    import xlwt

    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("充值卡")
    text = xlwt.easyxf(num_format_str="@")
    for column, title in enumerate(TITLES):
        sheet.write(0, column, title)
    for index in range(rows):
        for column, value in enumerate(row_values(index)):
            if value is None:
                continue
            if isinstance(value, float):
                sheet.write(index + 1, column, value)
            else:
                sheet.write(index + 1, column, value, text)
        if index % 1000 == 999:
            sheet.flush_row_data()
    book.save(path)


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: make_stored_value.py OUTPUT.xls|OUTPUT.xlsx [ROWS]")
    path = sys.argv[1]
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 65000
    xlsx = path.lower().endswith(".xlsx")
    if rows > (1048575 if xlsx else 65535):
        sys.exit("a worksheet holds at most %d rows below its header" % (1048575 if xlsx else 65535))
    if xlsx:
        write_xlsx(path, rows)
    else:
        write_xls(path, rows)


if __name__ == "__main__":
    main()
