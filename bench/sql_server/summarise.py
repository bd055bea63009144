#!/usr/bin/python3
"""Prints the table of scripts/bench-sqlserver.sh from its lines of results on standard input:
ROUND SERVER_WALL SERVER_CPU REQUESTS EMBEDDED_WALL EMBEDDED_CPU (seconds, requests counted).

Usage: summarise.py ROWS DELAY_MS < results
"""

import statistics
import sys

rows, delay = int(sys.argv[1]), sys.argv[2]
runs = [[float(x) for x in line.split()] for line in sys.stdin if line.strip()]
print("%d stored-value rows, %s ms per round trip" % (rows, delay))
print("%5s | %10s %9s %8s %8s %9s | %10s %9s %8s | %7s" % (
    "round", "SQL Server", "rows/s", "tool CPU", "requests", "req/row",
    "embedded", "rows/s", "tool CPU", "ratio"))
for r, sw, sc, req, ew, ec in runs:
    print("%5d | %9.1fs %9.0f %7.1fs %8d %9.4f | %9.1fs %9.0f %7.1fs | %7.2f" % (
        r, sw, rows / sw, sc, req, req / rows, ew, rows / ew, ec, sw / ew))


def spread(values, form):
    return ("median " + form + " (" + form + " to " + form + ")") % (
        statistics.median(values), min(values), max(values))


columns = list(zip(*runs))
print("SQL Server wall:   " + spread(columns[1], "%.1fs"))
print("SQL Server rows/s: " + spread([rows / w for w in columns[1]], "%.0f"))
print("SQL Server CPU:    " + spread(columns[2], "%.1fs"))
print("requests per row:  " + spread([q / rows for q in columns[3]], "%.4f"))
print("embedded wall:     " + spread(columns[4], "%.1fs"))
print("embedded rows/s:   " + spread([rows / w for w in columns[4]], "%.0f"))
print("wall ratio SQL Server / embedded: " + spread([s / e for s, e in zip(columns[1], columns[4])], "%.2f"))
