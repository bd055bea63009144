#!/usr/bin/python3
"""Prints the branch schema and demo data with MEMBERS stored-value members already in HY_Member.

Usage: branch_schema.py MEMBERS
"""

import pathlib
import sys

root = pathlib.Path(__file__).resolve().parents[2]
members = int(sys.argv[1])
for name in ("branch.sql", "demo-data.sql"):
    print((root / "schema" / name).read_text(encoding="utf-8"))
print("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %d) "
      "INSERT INTO HY_Member (HotelTreeID, MemberID, MemberName, CardTypeName, SumMoney) "
      "SELECT '0001', printf('A%%09d', i), '会员' || i, '金卡', i %% 1000 FROM n;" % members)
