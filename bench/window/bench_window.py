#!/usr/bin/python3
"""Times the window's "充值卡导入" against kestrel-import on the same template and database.

Usage: bench_window.py BIN_DIR WORK_DIR [ROUNDS]

Runs the real window under Xvfb with a window manager (openbox), as an operator would: the
button is pressed with the mouse (xdotool) and the time runs from the click to the moment the
completion box "充值卡执行完毕!" is mapped. kestrel-import runs the same import on a copy of the
same branch database, timed from its start to its exit. For each template size (20,000 and
60,000 stored-value rows) the two run in turn, ROUNDS times, each on a fresh copy of the
database. The window's caption changes are recorded from the X server (its _NET_WM_NAME), and
the distinct row numbers it showed are counted.

Needs: Xvfb, openbox, xdotool, python3-xlib, python3-xlwt, sqlite3, and the built kestrel and
kestrel-import in BIN_DIR. The templates are made by ../import/make_stored_value.py.
"""

import os
import re
import shutil
import statistics
import subprocess
import sys
import time

from Xlib import X, Xatom, display as xdisplay

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
TEMPLATE = "青雁充值卡模板.xls"
BOX_TITLE = "换第三方软件"
WINDOW_TITLE_START = "青雁软件"
BUTTON_CENTRE = (120 + 60, 181 + 25)  # btnStart's centre in the window's client area
SIZES = (20000, 60000)
TIMEOUT = 300.0


def start_x():
    """Starts Xvfb on a free display and openbox on it; gives (display name, processes)."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=[write_end],
                            stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_end, 16)
        if not chunk:
            raise RuntimeError("Xvfb did not start")
        number += chunk
    os.close(read_end)
    name = ":" + number.decode().strip()
    env = dict(os.environ, DISPLAY=name)
    wm = subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL)
    conn = xdisplay.Display(name)
    deadline = time.monotonic() + 10
    check = conn.intern_atom("_NET_SUPPORTING_WM_CHECK")
    while conn.screen().root.get_full_property(check, X.AnyPropertyType) is None:
        if time.monotonic() > deadline:
            raise RuntimeError("openbox did not start")
        time.sleep(0.05)
    conn.close()
    return name, [wm, xvfb]


class Screen:
    """The X server as the benchmark watches it: managed windows and their titles."""

    def __init__(self, name):
        self.conn = xdisplay.Display(name)
        self.root = self.conn.screen().root
        self.client_list = self.conn.intern_atom("_NET_CLIENT_LIST")
        self.wm_name = self.conn.intern_atom("_NET_WM_NAME")
        self.utf8 = self.conn.intern_atom("UTF8_STRING")
        self.root.change_attributes(event_mask=X.PropertyChangeMask)

    def clients(self):
        prop = self.root.get_full_property(self.client_list, Xatom.WINDOW)
        return [self.conn.create_resource_object("window", w) for w in (prop.value if prop else [])]

    def title(self, window):
        try:
            prop = window.get_full_property(self.wm_name, self.utf8)
        except Exception:  # the window went away
            return None
        if prop is None:
            return None
        value = prop.value
        return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)

    def find(self, predicate):
        for window in self.clients():
            title = self.title(window)
            if title is not None and predicate(title):
                return window
        return None

    def wait_for(self, predicate, timeout):
        deadline = time.monotonic() + timeout
        while True:
            found = self.find(predicate)
            if found is not None:
                return found
            if time.monotonic() > deadline:
                raise RuntimeError("no window appeared")
            time.sleep(0.02)

    def origin(self, window):
        coords = window.translate_coords(self.root, 0, 0)
        return -coords.x, -coords.y


def fresh_copy(base, target):
    for suffix in ("", "-journal"):
        if os.path.exists(target + suffix):
            os.remove(target + suffix)
    shutil.copyfile(base, target)
    subprocess.run(["sync"], check=True)


def row_count(database):
    out = subprocess.run(["sqlite3", database, "SELECT COUNT(*) FROM HY_Member"],
                         check=True, capture_output=True, text=True)
    return int(out.stdout)


def time_window(screen, folder, env):
    """Seconds from the click to the completion box, and the captions shown meanwhile."""
    program = subprocess.Popen([os.path.join(folder, "kestrel")], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        main = screen.wait_for(lambda t: t.startswith(WINDOW_TITLE_START), 30)
        time.sleep(0.5)  # let the window settle (its identity is read when shown)
        main.change_attributes(event_mask=X.PropertyChangeMask)
        x, y = screen.origin(main)
        subprocess.run(["xdotool", "mousemove", str(x + BUTTON_CENTRE[0]),
                        str(y + BUTTON_CENTRE[1])], env=env, check=True)
        screen.conn.sync()
        while screen.conn.pending_events():
            screen.conn.next_event()
        captions = []
        start = time.monotonic()
        subprocess.run(["xdotool", "click", "1"], env=env, check=True)
        deadline = start + TIMEOUT
        while time.monotonic() < deadline:
            event = screen.conn.next_event()
            if event.type != X.PropertyNotify:
                continue
            if event.window == main and event.atom == screen.wm_name:
                captions.append(screen.title(main))
            elif event.window == screen.root and event.atom == screen.client_list:
                if screen.find(lambda t: t == BOX_TITLE) is not None:
                    return time.monotonic() - start, captions
        raise RuntimeError("the completion box did not appear")
    finally:
        program.terminate()
        program.wait()


def time_cli(folder, env):
    start = time.monotonic()
    done = subprocess.run([os.path.join(folder, "kestrel-import"), "--dir", folder, "stored-value"],
                          env=env, capture_output=True, text=True)
    seconds = time.monotonic() - start
    if done.returncode != 0 or "充值卡执行完毕!" not in done.stdout:
        raise RuntimeError("kestrel-import failed: " + done.stdout + done.stderr)
    return seconds


def prepare(bin_dir, work, rows):
    """A folder with the programs, the template of that many rows and Kestrel.ini."""
    folder = os.path.join(work, "run-%d" % rows)
    os.makedirs(folder, exist_ok=True)
    for program in ("kestrel", "kestrel-import"):
        shutil.copy2(os.path.join(bin_dir, program), folder)
    template = os.path.join(work, "stored-value-%d.xls" % rows)
    if not os.path.exists(template):
        subprocess.run(["/usr/bin/python3", os.path.join(SOURCE, "bench/import/make_stored_value.py"),
                        template + ".part", str(rows)], check=True)
        os.rename(template + ".part", template)
    shutil.copyfile(template, os.path.join(folder, TEMPLATE))
    with open(os.path.join(folder, "Kestrel.ini"), "w", encoding="utf-8") as ini:
        ini.write("[Kestrel]\ndbtype=sqlite\ndbname=branch.db\n")
    return folder


def base_database(work):
    path = os.path.join(work, "base.db")
    if os.path.exists(path):
        os.remove(path)
    for script in ("schema/branch.sql", "schema/demo-data.sql"):
        with open(os.path.join(SOURCE, script), "rb") as sql:
            subprocess.run(["sqlite3", path], stdin=sql, check=True)
    return path


def spread(values):
    return "%.2f (%.2f-%.2f)" % (statistics.median(values), min(values), max(values))


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    bin_dir, work = sys.argv[1], sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) == 4 else 3
    os.makedirs(work, exist_ok=True)
    base = base_database(work)
    name, processes = start_x()
    env = dict(os.environ, DISPLAY=name, LANG="zh_CN.UTF-8", LC_ALL="zh_CN.UTF-8")
    results = []
    try:
        screen = Screen(name)
        for rows in SIZES:
            folder = prepare(bin_dir, work, rows)
            database = os.path.join(folder, "branch.db")
            window_times, cli_times, shown = [], [], []
            for _ in range(rounds):
                fresh_copy(base, database)
                seconds, captions = time_window(screen, folder, env)
                if row_count(database) < rows:
                    raise RuntimeError("the window did not import every row")
                window_times.append(seconds)
                shown.append(len({m.group(1) for m in (re.match(r"当前第(\d+)", c or "")
                                                         for c in captions) if m}))
                fresh_copy(base, database)
                cli_times.append(time_cli(folder, env))
            results.append((rows, window_times, cli_times, min(shown)))
    finally:
        for process in processes:
            process.terminate()
            process.wait()

    print("stored-value rows | window: click to box, s | kestrel-import, s | window / kestrel-import"
          " | row numbers the caption showed (fewest of the runs)")
    print("median (min-max) of %d runs each, in turn on fresh copies of one database" % rounds)
    for rows, window_times, cli_times, numbers in results:
        ratios = [w / c for w, c in zip(window_times, cli_times)]
        print("%6d | %s | %s | %s | %d" % (rows, spread(window_times), spread(cli_times),
                                           spread(ratios), numbers))


if __name__ == "__main__":
    main()
