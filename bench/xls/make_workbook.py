#!/usr/bin/python3
"""Writes the reader benchmark's workbook: one worksheet of 65,000 rows by 20 columns.

Row 1 is a header; rows 2 to 65,000 hold member-card-like records: Chinese and Latin texts
(many distinct, many repeated), whole and fractional numbers, and dates and date-times carrying
date formats. The content is the same on every run.

Usage: make_workbook.py OUTPUT.xls [ROWS]   (needs Debian's python3-xlwt)
"""

import datetime
import random
import sys

import xlwt

COLUMNS = 20
DEFAULT_ROWS = 65000
MAX_ROWS = 65536  # an .xls worksheet holds no more

HEADERS = [
    "序号", "会员姓名", "卡芯号", "卡类型", "余额", "积分", "开卡日期", "有效期至",
    "最后消费时间", "手机号码", "备注", "折扣", "赠送金额", "门店", "English name",
    "押金", "次数", "出生日期", "单价", "状态",
]
SURNAMES = "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘"
GIVEN = "伟芳娜秀英敏静丽强磊军洋勇艳杰娟涛明超秀兰霞平刚桂英华建国志红玉兰凤梅"
CARD_TYPES = ["金卡", "银卡", "钻石卡", "普通储值卡", "贵宾卡", "员工卡"]
BRANCHES = ["青雁浴场一店", "青雁浴场二店", "足浴城南店", "沐足会所"]
STATES = ["正常", "挂失", "y", "n", "g"]
LATIN = ["Alice", "Bob", "Carol", "Dave", "Eve", "Frank", "Grace", "Heidi"]


def styles():
    date = xlwt.easyxf(num_format_str="yyyy-mm-dd")
    chinese_date = xlwt.easyxf(num_format_str='yyyy"年"m"月"d"日"')
    date_time = xlwt.easyxf(num_format_str="yyyy-mm-dd hh:mm:ss")
    money = xlwt.easyxf(num_format_str="#,##0.00")
    return date, chinese_date, date_time, money


def record(rng, row, base_day):
    """The 20 values of one data row."""
    name = rng.choice(SURNAMES) + rng.choice(GIVEN) + rng.choice(GIVEN)
    opened = base_day + datetime.timedelta(days=rng.randrange(3650))
    last_use = datetime.datetime.combine(opened, datetime.time()) + datetime.timedelta(
        seconds=rng.randrange(86400 * 400))
    return [
        row - 1,
        name,
        "%010d" % rng.randrange(10**10),
        rng.choice(CARD_TYPES),
        round(rng.uniform(0, 20000), 2),
        rng.randrange(100000),
        opened,
        opened + datetime.timedelta(days=365 * rng.randrange(1, 4)),
        last_use,
        "13%09d" % rng.randrange(10**9),
        "第%d号会员，备注：%s" % (row - 1, rng.choice(["无", "老客户", "转卡", "补卡"])),
        rng.choice([1, 0.95, 0.9, 0.85, 0.8]),
        rng.randrange(0, 5000, 50),
        rng.choice(BRANCHES),
        "%s %d" % (rng.choice(LATIN), rng.randrange(1000)),
        rng.choice([0, 10, 20, 50]),
        rng.randrange(1, 100),
        datetime.date(1950, 1, 1) + datetime.timedelta(days=rng.randrange(20000)),
        rng.uniform(1, 1000) * 1.000001,
        rng.choice(STATES),
    ]


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 64
    path = argv[1]
    rows = int(argv[2]) if len(argv) == 3 else DEFAULT_ROWS
    if not 1 <= rows <= MAX_ROWS:
        sys.stderr.write("rows must be 1 to %d\n" % MAX_ROWS)
        return 64

    date, chinese_date, date_time, money = styles()
    column_styles = {4: money, 6: date, 7: chinese_date, 8: date_time, 17: date}
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("会员资料")
    for column, header in enumerate(HEADERS):
        sheet.write(0, column, header)
    rng = random.Random(65000)
    base_day = datetime.date(2015, 1, 1)
    for row in range(2, rows + 1):
        sheet_row = sheet.row(row - 1)
        for column, value in enumerate(record(rng, row, base_day)):
            style = column_styles.get(column)
            if style is None:
                sheet_row.write(column, value)
            else:
                sheet_row.write(column, value, style)
        if row % 1000 == 0:
            sheet.flush_row_data()  # keeps xlwt's memory flat
    book.save(path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
