#!/usr/bin/python3
"""Writes the seven sample template workbooks of Kestrel into this folder.

Each worksheet holds a header row of column titles (one per template column, in column order,
unused columns included) and a few example rows. Key columns (chip numbers, room and tag
numbers, item and goods codes, employee numbers) are stored as text so that leading zeros
survive; some cells are left empty on purpose so that the checking pass writes its defaults.

Run with Debian's python3-xlwt:  /usr/bin/python3 templates/make_templates.py [OUTPUT_DIR]
The generated .xls files are committed; the build never runs this script.
"""

import datetime
import os
import sys

import xlwt

HEADER_STYLE = xlwt.easyxf("font: bold on; pattern: pattern solid, fore_colour light_green")
TEXT_STYLE = xlwt.easyxf(num_format_str="@")
DATE_STYLE = xlwt.easyxf(num_format_str="yyyy-mm-dd")
MONEY_STYLE = xlwt.easyxf(num_format_str="0.00")


class Text(str):
    """A cell value that must be stored as a text cell even though it looks like a number."""


def write_cell(sheet, row, column, value):
    if value is None:
        return  # an empty cell: the checking pass writes the default
    if isinstance(value, Text):
        sheet.write(row, column, str(value), TEXT_STYLE)
    elif isinstance(value, datetime.date):
        sheet.write(row, column, value, DATE_STYLE)
    elif isinstance(value, float):
        sheet.write(row, column, value, MONEY_STYLE)
    else:
        sheet.write(row, column, value)


def add_sheet(book, name, titles, rows):
    sheet = book.add_sheet(name)
    for column, title in enumerate(titles):
        sheet.write(0, column, title, HEADER_STYLE)
        sheet.col(column).width = 256 * max(10, 2 * len(title) + 2)
    for row_index, row in enumerate(rows, start=1):
        if len(row) != len(titles):
            raise ValueError(f"{name}: row {row_index + 1} has {len(row)} cells, "
                             f"the layout has {len(titles)} columns")
        for column, value in enumerate(row):
            write_cell(sheet, row_index, column, value)


def save(folder, file_name, sheets):
    book = xlwt.Workbook(encoding="utf-8")
    for name, titles, rows in sheets:
        add_sheet(book, name, titles, rows)
    book.save(os.path.join(folder, file_name))


T = Text
D = datetime.date

STORED_VALUE_TITLES = [
    "卡类型名称", "卡芯编号", "卡面编号", "作废标志(y/n/g)", "会员密码", "卡中金额", "卡中积分",
    "有效日期", "发卡日期", "备用(不导入)", "顾问", "会员姓名", "性别(男/女)", "电话",
    "允许发短信(y/n)", "生日", "邮编", "地址", "证件",
]
STORED_VALUE_ROWS = [
    ["金卡", T("0000100001"), T("VIP0001"), "n", T("123456"), 1000.0, 200, T("2026-12-31"),
     T("2024-01-15"), None, "王经理", "张伟", "男", T("13812345678"), "y", T("1985-06-18"),
     T("518000"), "深圳市南山区科技园路8号", T("440301198506180012")],
    ["金卡", T("0000100002"), T("VIP0002"), "n", None, 2580.5, 0, D(2026, 6, 30),
     D(2024, 3, 8), None, "王经理", "李娜", "女", T("13923456789"), "n", None,
     None, "深圳市福田区深南大道1001号", None],
    ["银卡", T("0000100003"), None, None, T("888888"), 500.0, 50, None, None, None,
     "刘顾问", "陈静", "女", T("13687654321"), None, T("1992-11-02"), T("518040"),
     "深圳市罗湖区人民南路22号", T("440303199211020046")],
    ["银卡", T("0000100004"), T("S0004"), "g", None, None, None, T("2025-12-31"),
     T("2023-07-01"), None, "刘顾问", "赵强", None, None, "y", None, None, None, None],
    ["钻石卡", T("0000100005"), T("D0005"), "n", T("202020"), 10000.0, 1500, T("2027-08-31"),
     T("2024-08-31"), None, "周店长", "孙丽华", "女", T("13798765432"), "y",
     D(1978, 2, 14), T("518052"), "深圳市宝安区新安街道创业路5号", T("440306197802140028")],
    ["普通卡", T("0000100006"), None, None, None, 0.0, None, None, None, None, None, None,
     None, None, None, None, None, None, None],
]

POINTS_TITLES = [
    "卡类型名称", "卡芯编号", "卡面编号", "作废标志(y/n/g)", "卡密码", "卡中积分", "有效日期",
    "发卡日期", "备用(不导入)", "顾问", "客人姓名", "性别(男/女)", "电话", "允许发短信(y/n)",
    "生日", "邮编", "地址", "证件",
]
POINTS_ROWS = [
    ["积分金卡", T("0000200001"), T("JF0001"), "n", T("111111"), 3200, T("2027-01-01"),
     T("2024-01-01"), None, "王经理", "黄磊", "男", T("13511112222"), "y", T("1988-09-09"),
     T("510000"), "广州市天河区体育西路3号", T("440106198809090015")],
    ["积分金卡", T("0000200002"), None, None, None, 800, None, D(2024, 5, 20), None,
     "王经理", "吴敏", "女", T("13622223333"), None, None, None, "广州市越秀区北京路88号",
     None],
    ["积分银卡", T("0000200003"), T("JF0003"), "n", None, None, T("2026-10-31"), None, None,
     "刘顾问", "郑海", None, None, "n", D(1990, 4, 1), None, None, None],
    ["积分银卡", T("0000200004"), T("JF0004"), "y", T("654321"), 120, None, None, None, None,
     "冯晓燕", "女", T("13733334444"), "y", None, T("510600"), "广州市海珠区江南大道中9号",
     T("440105199507070024")],
    ["积分普通卡", T("0000200005"), None, None, None, 0, None, None, None, None, "何军", "男",
     None, None, None, None, None, None],
    # A blank-out flag and a sex outside the lists are replaced by "n" and "男".
    ["积分普通卡", T("JF20000A6"), T("JF0006"), "x", None, 60, None, None, None, None, "宋涛",
     "M", None, "y", None, None, None, None],
    # The same chip number in another letter case: skipped.
    ["积分普通卡", T("jf20000a6"), T("JF0007"), "n", None, 70, None, None, None, None, "宋涛",
     "男", None, "n", None, None, None, None],
]

COUNT_CARD_TITLES = [
    "卡类型名称", "卡芯编号", "卡面编号", "作废标志(y/n/g)", "卡密码", "卡中次数", "卡中积分",
    "有效日期", "发卡日期", "备用(不导入)", "顾问", "客人姓名", "性别(男/女)", "电话",
    "允许发短信(y/n)", "生日", "邮编", "地址", "证件",
]
TIME_PERIOD_TITLES = list(COUNT_CARD_TITLES)
TIME_PERIOD_TITLES[5] = "剩余次数"

TREATMENT_ROWS = [
    ["足疗十次卡", T("0000300001"), T("LC0001"), "n", T("123123"), 10, 0, T("2026-12-31"),
     T("2024-02-01"), None, "周店长", "林小红", "女", T("13900001111"), "y", T("1983-03-03"),
     T("518000"), "深圳市南山区海德三道15号", T("440305198303030021")],
    ["足疗十次卡", T("0000300002"), T("LC0002"), None, None, 8, None, None, None, None,
     "周店长", "杨帆", "男", T("13900002222"), None, None, None, None, None],
    ["推拿二十次卡", T("0000300003"), T("LC0003"), "n", None, 20, 100, D(2026, 3, 31),
     D(2024, 4, 1), None, "刘顾问", "高建国", None, T("13900003333"), "n", D(1970, 12, 12),
     None, "深圳市福田区华强北路6号", None],
    ["推拿二十次卡", T("0000300004"), T("LC0004"), "g", T("000000"), None, None, None, None,
     None, None, "马丽", "女", None, "y", None, None, None, None],
    ["桑拿五次卡", T("0000300005"), T("LC0005"), "n", None, 5, 0, None, T("2024-06-18"),
     None, "王经理", "罗斌", "男", T("13900005555"), None, None, T("518100"),
     "深圳市宝安区西乡大道100号", T("440306198001010033")],
    # A blank-out flag and a sex outside the lists are replaced by "n" and "男".
    ["桑拿五次卡", T("LC30000A6"), T("LC0006"), "X", None, 5, None, None, None, None, None,
     "钱伟", "M", None, "y", None, None, None, None],
    # The same chip number in another letter case: skipped.
    ["桑拿五次卡", T("lc30000a6"), T("LC0007"), "n", None, 5, None, None, None, None, None,
     "钱伟", "男", None, "n", None, None, None, None],
]

TIME_PERIOD_ROWS = [
    ["月卡", T("0000400001"), T("SD0001"), "n", T("321321"), 30, 0, T("2025-12-31"),
     T("2024-12-01"), None, "王经理", "谢婷", "女", T("13600006666"), "y", T("1991-07-21"),
     None, "深圳市南山区蛇口工业八路2号", None],
    ["月卡", T("0000400002"), T("SD0002"), None, None, 30, None, None, None, None, "王经理",
     "韩磊", "男", T("13600007777"), None, None, None, None, None],
    ["季卡", T("0000400003"), T("SD0003"), "n", None, 90, 50, D(2026, 2, 28), D(2024, 3, 1),
     None, "刘顾问", "唐雪", None, None, "n", D(1987, 10, 5), T("518031"),
     "深圳市福田区车公庙泰然九路", T("440304198710050040")],
    ["年卡", T("0000400004"), T("SD0004"), "n", T("999999"), 365, 300, T("2026-12-31"),
     T("2025-01-01"), None, "周店长", "许志明", "男", T("13600008888"), "y", None, None,
     "深圳市龙岗区龙城大道77号", T("440307197905050018")],
    ["年卡", T("0000400005"), T("SD0005"), "g", None, None, None, None, None, None, None,
     "邓佳", "女", None, None, None, None, None, None],
    # The number of a treatment card: a time-period card all the same.
    ["月卡", T("0000300001"), T("SD0006"), "x", None, 30, None, None, None, None, None, "林小红",
     "F", None, "y", None, None, None, None],
    # The same chip number again: skipped.
    ["月卡", T("0000400005"), T("SD0007"), "n", None, 30, None, None, None, None, None, "邓佳",
     "女", None, "n", None, None, None, None],
]

ROOM_TITLES = ["房间类型名称", "房号", "房名", "床位数"]
ROOM_ROWS = [
    ["足疗区", T("101"), "足疗101房", 2],
    ["足疗区", T("102"), "足疗102房", 2],
    ["足疗区", T("103"), "足疗103房", None],
    ["贵宾区", T("201"), "贵宾201房", 1],
    ["贵宾区", T("202"), "贵宾202房", None],
    ["桑拿区", T("301"), "桑拿301房", 4],
]
LOCKER_TITLES = ["锁牌类型名称", "锁牌号", "锁牌名称", "宾客性别(男宾/女宾)", "手牌卡号",
                 "IC手牌卡号"]
LOCKER_ROWS = [
    ["男宾锁牌", T("0001"), "男宾1号", "男宾", T("A0001"), T("IC00000001")],
    ["男宾锁牌", T("0002"), "男宾2号", "男", T("A0002"), T("IC00000002")],
    ["男宾锁牌", T("0003"), "男宾3号", None, None, None],
    ["女宾锁牌", T("1001"), "女宾1号", "女宾", T("B1001"), T("IC00001001")],
    ["女宾锁牌", T("1002"), "女宾2号", "女", T("B1002"), None],
    ["女宾锁牌", T("1003"), "女宾3号", "女宾", None, T("IC00001003")],
    ["女宾锁牌", T("1004"), "女宾4号", "女士", None, None],  # any other text: 女宾
]

ITEM_TITLES = [
    "项目类型名称", "项目编码", "项目名称", "单位", "成本", "价格", "赠送(y/n)", "需要房间(y/n)",
    "计时项目(y/n)", "时长(分钟)", "轮钟数", "加钟分钟数", "销售提成(y/n)", "销售提成金额",
    "市场价(y/n)", "积分(y/n)", "打折(y/n)", "最低折扣率",
]
ITEM_ROWS = [
    ["足疗", T("ZL001"), "中药足浴", "位", 20.0, 98.0, "n", "y", "y", 60, 1, 30, "y", 10.0,
     "n", "y", "y", 0.8],
    ["足疗", T("ZL002"), "泰式足疗", "位", 30.0, 128.0, "n", "y", "y", 90, 1, 45, "y", 15.0,
     "n", "y", "y", 0.8],
    ["按摩", T("AM001"), "全身推拿", "钟", 40.0, 168.0, None, "y", "y", 60, None, None, "y",
     20.0, None, None, "y", None],
    ["按摩", T("AM002"), "肩颈理疗", "钟", None, 88.0, "n", "y", "y", 45, 1, 15, "n", None,
     "n", "y", "n", 1],
    ["洗浴", T("XY001"), "桑拿", "位", 10.0, 58.0, "n", "n", "n", None, None, None, "n", None,
     "n", "y", "y", 0.9],
    ["洗浴", T("XY002"), "搓背", "次", 5.0, 30.0, "n", "n", "n", None, None, None, "y", 5.0,
     "n", "n", "n", None],
]
GOODS_TITLES = [
    "商品类型名称", "商品编码", "商品名称", "单位", "成本", "价格", "赠送(y/n)", "销售提成(y/n)",
    "销售提成金额", "市场价(y/n)", "积分(y/n)", "打折(y/n)", "最低折扣率",
]
GOODS_ROWS = [
    ["饮料", T("YL001"), "可口可乐", "瓶", 2.0, 8.0, "n", "n", None, "n", "y", "y", 0.9],
    ["饮料", T("YL002"), "王老吉", "罐", 2.5, 10.0, "n", "n", None, "n", "y", "y", None],
    ["酒水", T("JS001"), "青岛啤酒", "瓶", 4.0, 15.0, "n", "y", 1.0, "n", "y", "n", 1],
    ["酒水", T("JS002"), "长城干红", "瓶", 45.0, 168.0, None, "y", 10.0, None, None, None,
     None],
    ["小吃", T("XC001"), "瓜子", "碟", 3.0, 12.0, "y", "n", None, "n", "n", "n", None],
    ["香烟", T("YC001"), "中华(软)", "包", 60.0, 75.0, "n", "n", None, "y", "n", "n", 1],
    # A unit the service items already created: found in Sys_Unit, not created again.
    ["小吃", T("XC002"), "自助水果", "位", 15.0, 38.0, "n", "n", None, "n", "y", "y", None],
]

EMPLOYEE_TITLES = [
    "部门名称", "员工类型", "工号", "姓名", "性别(男/女)", "服务员(y/n)", "民族", "出生日期",
    "入职日期", "劳动合同开始日期", "劳动合同结束日期", "电话", "手机", "座机", "学历",
    "籍贯", "婚姻状况", "卡号", "地址", "银行账号",
]
EMPLOYEE_ROWS = [
    ["足疗部", "技师", T("001"), "李芳", "女", "y", "汉族", T("1995-04-12"), T("2022-03-01"),
     T("2022-03-01"), T("2025-02-28"), T("0755-26001234"), T("13500001111"), None, "高中",
     "湖南长沙", "未婚", T("E0001"), "深圳市南山区桃园路1号", T("6222020000000001")],
    ["足疗部", "技师", T("002"), "王磊", "男", "y", None, D(1993, 8, 30), D(2021, 7, 15),
     D(2021, 7, 15), D(2024, 7, 14), None, T("13500002222"), None, "中专", "江西赣州", "已婚",
     T("E0002"), None, T("6222020000000002")],
    ["前厅部", "收银员", T("003"), "陈晓梅", "女", "n", "汉族", None, None, None, None, None,
     T("13500003333"), T("0755-26005678"), "大专", "广东梅州", None, T("E0003"), None, None],
    ["前厅部", "服务员", T("004"), "刘洋", None, None, "壮族", T("1999-01-20"),
     T("2023-05-10"), None, None, None, T("13500004444"), None, None, "广西南宁", None, None,
     None, None],
    ["管理部", "店长", T("005"), "周建华", "男", "n", "汉族", T("1980-10-01"), T("2018-01-02"),
     T("2018-01-02"), T("2028-01-01"), T("0755-26009999"), T("13500005555"), None, "本科",
     "广东深圳", "已婚", T("E0005"), "深圳市福田区梅林路8号", T("6222020000000005")],
    ["保洁部", "保洁员", T("006"), "黄阿姨", "女", "n", None, None, None, None, None, None, None,
     None, None, None, None, None, None, None],
]


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    save(folder, "青雁充值卡模板.xls", [("充值卡", STORED_VALUE_TITLES, STORED_VALUE_ROWS)])
    save(folder, "青雁积分卡模板.xls", [("积分卡", POINTS_TITLES, POINTS_ROWS)])
    save(folder, "青雁疗程次卡模板.xls", [("疗程次卡", COUNT_CARD_TITLES, TREATMENT_ROWS)])
    save(folder, "青雁时段卡模板.xls", [("时段卡", TIME_PERIOD_TITLES, TIME_PERIOD_ROWS)])
    save(folder, "青雁锁牌房间资料模板.xls", [("房间资料", ROOM_TITLES, ROOM_ROWS),
                                               ("锁牌资料", LOCKER_TITLES, LOCKER_ROWS)])
    save(folder, "青雁营业项目资料模板.xls", [("沐足洗浴项目", ITEM_TITLES, ITEM_ROWS),
                                               ("吧台库存项目", GOODS_TITLES, GOODS_ROWS)])
    save(folder, "青雁员工资料模板.xls", [("员工资料", EMPLOYEE_TITLES, EMPLOYEE_ROWS)])


if __name__ == "__main__":
    main()
