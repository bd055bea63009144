#!/usr/bin/python3
"""Runs a command and writes its wall time, processor time (user and system, all threads) and
peak resident memory, for machines without GNU time. Usage: measure.py METRICS_FILE COMMAND [ARGS...]; the command's own output passes through
and its exit status is returned."""

import os
import subprocess
import sys
import time


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__ + "\n")
        return 64
    started = time.perf_counter()
    child = subprocess.Popen(argv[2:])
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - started
    with open(argv[1], "w", encoding="utf-8") as metrics:
        metrics.write("wall_seconds\t%.3f\n" % wall)
        metrics.write("cpu_seconds\t%.3f\n" % (usage.ru_utime + usage.ru_stime))
        metrics.write("peak_rss_kib\t%d\n" % usage.ru_maxrss)  # KiB on Linux
    return os.waitstatus_to_exitcode(status)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
