#!/usr/bin/env python3
"""A Microsoft SQL Server 2000 (8.0.2039) stand-in for the tests: test equipment, not a server.

It speaks TDS 7.1 on a loopback port (prelogin, login, SQL batches, RPCs, attention), keeps its
tables in an SQLite file and translates the small part of T-SQL that the tool and the FreeTDS and
Qt ODBC drivers send. It behaves as SQL Server documents for what the tool relies on:
transactions and @@TRANCOUNT; with XACT_ABORT ON an error or an attention rolls back the open
transaction and ends the batch; a dropped connection rolls back; varchar keeps the collation's code
page ('?' for a character it cannot hold) and counts bytes, nvarchar keeps UTF-16; datetime and
smalldatetime refuse dates outside their ranges; INFORMATION_SCHEMA.COLUMNS and
COLLATIONPROPERTY answer from the table definitions. Every request is written to a log, one JSON
object a line: kind, text or procedure, parameter types, transaction count.

The schema is SQLite DDL whose declared types are SQL Server's (varchar(50), nvarchar(20),
datetime, smalldatetime, numeric(18,2), int, bit, text, ...); CHECK constraints are SQLite's own.
"""
import argparse
import datetime
import functools
import json
import os
import re
import socket
import sqlite3
import struct
import sys
import threading
import time

COLLATIONS = {
    # name: (LCID, comparison flags, sort id, code page)
    "Chinese_PRC_CI_AS": (0x0804, 0x0D, 0, "cp936"),
    "SQL_Latin1_General_CP1_CI_AS": (0x0409, 0x0D, 52, "cp1252"),
}
CODE_PAGE_NUMBERS = {"cp936": 936, "cp1252": 1252}

DONE_MORE, DONE_ERROR, DONE_INXACT, DONE_COUNT, DONE_ATTN = 0x1, 0x2, 0x4, 0x10, 0x20
PROC_IDS = {1: "sp_cursor", 2: "sp_cursoropen", 3: "sp_cursorprepare", 4: "sp_cursorexecute",
            5: "sp_cursorprepexec", 6: "sp_cursorunprepare", 7: "sp_cursorfetch",
            8: "sp_cursoroption", 9: "sp_cursorclose", 10: "sp_executesql", 11: "sp_prepare", 12: "sp_execute", 13: "sp_prepexec",
            15: "sp_unprepare"}
EPOCH = datetime.datetime(1900, 1, 1)


class SqlError(Exception):
    def __init__(self, number, message, severity=16):
        super().__init__(message)
        self.number, self.message, self.severity = number, message, severity


# ---------------------------------------------------------------- the tables and their types


class Column:
    def __init__(self, name, declared):
        self.name = name
        match = re.match(r"\s*(\w+)\s*(?:\(\s*(\d+)\s*(?:,\s*\d+\s*)?\))?", declared or "")
        base = (match.group(1) if match else "").lower()
        self.type = {"integer": "int"}.get(base, base or "sql_variant")
        self.length = int(match.group(2)) if match and match.group(2) else None
        if self.type in ("text", "ntext"):
            self.length = 2147483647 if self.type == "text" else 1073741823
        if self.type in ("varchar", "char", "nvarchar", "nchar") and self.length is None:
            self.length = 1

    @property
    def code_paged(self):
        return self.type in ("varchar", "char", "text")

    @property
    def unicode(self):
        return self.type in ("nvarchar", "nchar", "ntext")


class Catalog:
    """The declared columns of every table, read from SQLite's own catalogue."""

    def __init__(self, db):
        self.tables = {}
        names = [r[0] for r in db.execute(
            "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%'")]
        for table in names:
            self.tables[table] = [Column(r[1], r[2]) for r in
                                  db.execute("SELECT * FROM pragma_table_info(?)", (table,))]
        self.by_column = {}
        for columns in self.tables.values():
            for column in columns:
                self.by_column.setdefault(column.name.lower(), column)


def install_triggers(db, catalog, code_page):
    """varchar keeps the code page ('?' for what it cannot hold) and counts bytes; nvarchar counts
    characters; datetime and smalldatetime refuse dates they cannot hold."""
    for table, columns in catalog.tables.items():
        checks = []
        for c in columns:
            q = '"%s"' % c.name
            if c.code_paged and c.length and c.type != "text":
                checks.append("(length(CAST(NEW.%s AS BLOB)) > %d AND cp_bytes(NEW.%s) > %d)"
                              % (q, c.length, q, c.length))
            elif c.unicode and c.length and c.type != "ntext":
                checks.append("length(NEW.%s) > %d" % (q, c.length))
        dates = []
        for c in columns:
            q = '"%s"' % c.name
            if c.type == "datetime":
                dates.append("NEW.%s < '1753-01-01'" % q)
            elif c.type == "smalldatetime":
                dates.append("(NEW.%s < '1900-01-01' OR NEW.%s > '2079-06-06 23:59:59')" % (q, q))
        fixes = [c for c in columns if c.code_paged]
        for event in ("INSERT", "UPDATE"):
            body = ""
            if checks:
                body += "SELECT RAISE(ABORT, 'E8152') WHERE %s;" % " OR ".join(checks)
            if dates:
                body += "SELECT RAISE(ABORT, 'E242') WHERE %s;" % " OR ".join(dates)
            if body:
                db.execute('CREATE TEMP TRIGGER "k_%s_%s" BEFORE %s ON main."%s" BEGIN %s END'
                           % (table, event, event, table, body))
        if not fixes:
            continue
        non_ascii = " OR ".join('length(CAST(NEW."%s" AS BLOB)) <> length(NEW."%s")'
                                % (c.name, c.name) for c in fixes)
        sets = ", ".join('"%s" = CASE WHEN length(CAST("%s" AS BLOB)) <> length("%s") THEN '
                         'cp_fix("%s") ELSE "%s" END' % ((c.name,) * 5) for c in fixes)
        db.execute('CREATE TEMP TRIGGER "k_%s_fix_insert" AFTER INSERT ON main."%s" WHEN %s '
                   'BEGIN UPDATE "%s" SET %s WHERE rowid = NEW.rowid; END'
                   % (table, table, non_ascii, table, sets))
        for c in fixes:
            db.execute('CREATE TEMP TRIGGER "k_%s_fix_%s" AFTER UPDATE OF "%s" ON main."%s" WHEN '
                       'length(CAST(NEW."%s" AS BLOB)) <> length(NEW."%s") BEGIN UPDATE "%s" SET '
                       '"%s" = cp_fix("%s") WHERE rowid = NEW.rowid; END'
                       % (table, c.name, c.name, table, c.name, c.name, table, c.name, c.name))


# ---------------------------------------------------------------- the T-SQL subset


TOKEN = re.compile(r"""(?P<str>[Nn]?'(?:[^']|'')*')|(?P<br>\[[^\]]*\])|(?P<word>@@?\w+|\w+)"""
                   r"""|(?P<space>\s+)|(?P<other>.)""", re.S)
SPLITTERS = {"UPDATE", "INSERT", "DELETE", "BEGIN", "COMMIT", "ROLLBACK", "IF", "SET", "SAVE",
             "SELECT"}


def tokens(text):
    return [(m.lastgroup, m.group()) for m in TOKEN.finditer(text)]


@functools.lru_cache(maxsize=256)
def split_batch(text):
    """Statements of a batch: at semicolons and before a keyword that starts a statement."""
    statements, current, depth = [], [], 0
    words = []  # the words of the current statement at depth 0

    def starts_here(word):
        if not words or words[0] == "IF" and len(words) <= 4:  # IF @@TRANCOUNT > 0 <statement>
            return False
        first, last = words[0], words[-1]
        if word == "SELECT":
            return last not in ("UNION", "ALL", "EXISTS", "INSERT") and first in ("SET", "IF")
        if word == "SET":
            return first == "SET"
        if word in ("BEGIN", "COMMIT", "ROLLBACK"):
            return True
        return last not in ("ON", "OF", "FOR", "INSTEAD")

    for kind, value in tokens(text):
        upper = value.upper()
        if kind == "other" and value == ";" and depth == 0:
            statements.append("".join(current))
            current, words = [], []
            continue
        if kind == "other":
            depth += {"(": 1, ")": -1}.get(value, 0)
        if kind == "word" and depth == 0:
            if upper in SPLITTERS and starts_here(upper):
                statements.append("".join(current))
                current, words = [], []
            words.append(upper)
        elif kind in ("str", "other") and depth == 0 and words:
            words.append(value)
        current.append(value)
    statements.append("".join(current))
    return tuple(s.strip() for s in statements if s.strip())


@functools.lru_cache(maxsize=256)
def statement_words(statement):
    """The words of a statement outside literals, upper-cased, separated by single blanks."""
    return " ".join(v.upper() for k, v in tokens(statement) if k == "word")


class Session:
    """One client connection: its SQLite connection, its options and its prepared statements."""

    def __init__(self, server):
        self.server = server
        self.code_page = server.code_page
        db = sqlite3.connect(server.db_path, isolation_level=None, check_same_thread=False,
                             timeout=5)
        db.create_function("cp_fix", 1, self.cp_fix, deterministic=True)
        db.create_function("cp_bytes", 1, self.cp_bytes, deterministic=True)
        db.create_function("collationproperty", 2, self.collation_property, deterministic=True)
        db.execute("ATTACH ':memory:' AS meta")
        db.execute("CREATE TABLE meta.columns (TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME "
                   "COLLATE NOCASE, COLUMN_NAME, ORDINAL_POSITION, DATA_TYPE, "
                   "CHARACTER_MAXIMUM_LENGTH, COLLATION_NAME)")
        for table, columns in server.catalog.tables.items():
            for i, c in enumerate(columns, 1):
                char = c.code_paged or c.unicode
                db.execute("INSERT INTO meta.columns VALUES (?,?,?,?,?,?,?,?)",
                           ("branch", "dbo", table, c.name, i, c.type,
                            c.length if char else None, server.collation if char else None))
        db.execute("CREATE TEMP VIEW sysobjects AS SELECT name COLLATE NOCASE AS name, 'U' AS "
                   "xtype, 0 AS id FROM main.sqlite_master WHERE type = 'table' AND name NOT "
                   "LIKE 'sqlite%'")
        install_triggers(db, server.catalog, self.code_page)
        self.db = db
        self.trancount = 0
        self.xact_abort = False
        self.implicit = False
        self.prepared = {}
        self.next_handle = 1
        self.translated = {}

    def cp_fix(self, value):
        if not isinstance(value, str):
            return value
        return value.encode(self.code_page, "replace").decode(self.code_page)

    def cp_bytes(self, value):
        return len(value.encode(self.code_page, "replace")) if isinstance(value, str) else 0

    def collation_property(self, name, what):
        if name is None or str(what).lower() != "codepage":
            return None
        return CODE_PAGE_NUMBERS.get(COLLATIONS.get(name, (0, 0, 0, ""))[3])

    # -- transactions

    def begin(self):
        if self.trancount == 0:
            self.db.execute("BEGIN")
        self.trancount += 1

    def commit(self):
        if self.trancount == 0:
            raise SqlError(3902, "The COMMIT TRANSACTION request has no corresponding "
                                 "BEGIN TRANSACTION.")
        self.trancount -= 1
        if self.trancount == 0:
            self.db.execute("COMMIT")

    def rollback(self):
        if self.trancount == 0:
            raise SqlError(3903, "The ROLLBACK TRANSACTION request has no corresponding "
                                 "BEGIN TRANSACTION.")
        self.abort_transaction()

    def abort_transaction(self):
        if self.trancount > 0:
            self.trancount = 0
            self.db.execute("ROLLBACK")

    # -- statements

    def run_batch(self, text, params=None):
        """Runs the statements of a text; gives a list of (columns, rows) results (None for a
        statement without rows). An error ends the batch under XACT_ABORT; otherwise the batch
        goes on after it, as SQL Server does for statement errors."""
        results = []
        for statement in split_batch(text):
            try:
                results.append(self.run_statement(statement, params or {}))
            except SqlError as error:
                if self.xact_abort:
                    self.abort_transaction()
                results.append(error)
                if self.xact_abort or error.number in (170, 208, 207):
                    break
        return results

    def run_statement(self, statement, params):
        upper = statement_words(statement)
        if upper.startswith("SET "):
            self.set_option(upper)
            return None
        guarded = re.match(r"\s*IF\s+@@TRANCOUNT\s*>\s*0\s+(.*)$", statement, re.S | re.I)
        if guarded:
            return self.run_statement(guarded.group(1), params) if self.trancount else None
        if re.match(r"(BEGIN TRAN|BEGIN TRANSACTION)\b", upper):
            self.begin()
            return None
        if re.match(r"COMMIT\b", upper):
            self.commit()
            return None
        if re.match(r"ROLLBACK\b", upper):
            self.rollback()
            return None
        first = upper.split(" ", 1)[0]
        if self.implicit and self.trancount == 0 and (
                first in ("INSERT", "UPDATE", "DELETE") or first == "SELECT" and " FROM " in upper):
            self.begin()
        sql = self.translated.get(statement)
        if sql is None:
            sql = self.translate(statement)
            if "@@" not in statement:
                self.translated[statement] = sql
        return self.query(sql, params)

    def set_option(self, upper):
        words = upper.split()
        for i, word in enumerate(words[:-1]):
            if word == "XACT_ABORT":
                self.xact_abort = words[i + 1] == "ON"
            elif word == "IMPLICIT_TRANSACTIONS":
                self.implicit = words[i + 1] == "ON"

    def translate(self, statement):
        """T-SQL to SQLite: N'..' literals, literals without N in the code page, TOP n,
        @@TRANCOUNT, INFORMATION_SCHEMA.COLUMNS."""
        out, top, skip = [], None, set()
        parts = tokens(statement)
        for i, (kind, value) in enumerate(parts):
            if i in skip:
                continue
            if kind == "str":
                out.append(value[1:] if value[0] in "Nn" else self.cp_fix(value))
                continue
            if kind == "word" and value.upper() == "TOP" and top is None:
                following = [j for j in range(i + 1, len(parts)) if parts[j][0] != "space"]
                if following and parts[following[0]][1].isdigit():
                    top = parts[following[0]][1]
                    skip.add(following[0])
                    continue
            if kind == "word" and value.upper() == "@@TRANCOUNT":
                out.append(str(self.trancount))
                continue
            out.append(value)
        text = "".join(out)
        text = re.sub(r"INFORMATION_SCHEMA\s*\.\s*COLUMNS", "meta.columns", text, flags=re.I)
        if top is not None:
            text = text.rstrip() + " LIMIT " + top
        return text

    def query(self, sql, params):
        try:
            cursor = self.db.execute(sql, params)
            if cursor.description is None:
                return None
            names = [d[0] for d in cursor.description]
            return names, cursor.fetchall()
        except sqlite3.Error as error:
            raise sql_server_error(str(error), sql)

    # -- RPCs

    def rpc(self, name, params):
        """Runs a procedure call; gives (results, return values)."""
        values = [p[2] for p in params]
        name = name.lower()
        if name in ("sp_prepare", "sp_prepexec"):
            handle = self.next_handle
            self.next_handle += 1
            self.prepared[handle] = (param_names(values[1] or ""), values[2] or "")
            outputs = [(params[0][0], handle)]
            if name == "sp_prepare":
                return [], outputs
            return self.execute_prepared(handle, values[3:]), outputs
        if name == "sp_execute":
            if values[0] not in self.prepared:
                return [SqlError(8179, "Could not find prepared statement with handle %s."
                                 % values[0])], []
            return self.execute_prepared(values[0], values[1:]), []
        if name == "sp_unprepare":
            self.prepared.pop(values[0], None)
            return [], []
        if name == "sp_executesql":
            declared = param_names(values[1] or "") if len(values) > 1 else []
            return self.run_batch(values[0] or "", dict(zip(declared, values[2:]))), []
        return [SqlError(2812, "Could not find stored procedure '%s'." % name)], []

    def execute_prepared(self, handle, values):
        names, statement = self.prepared[handle]
        return self.run_batch(statement, dict(zip(names, values)))


@functools.lru_cache(maxsize=256)
def param_names(declaration):
    return tuple(m.group(1) for m in re.finditer(r"@(\w+)\s+\w+", declaration))


def sql_server_error(text, sql):
    if "E8152" in text:
        return SqlError(8152, "String or binary data would be truncated.")
    if "E242" in text:
        return SqlError(242, "The conversion of a char data type to a datetime data type "
                             "resulted in an out-of-range datetime value.")
    if "CHECK constraint failed" in text:
        return SqlError(547, "The statement conflicted with the CHECK constraint. (%s)" % text)
    if "NOT NULL constraint failed" in text:
        return SqlError(515, "Cannot insert the value NULL into column. (%s)" % text)
    if "UNIQUE constraint failed" in text:
        return SqlError(2627, "Violation of UNIQUE KEY constraint. (%s)" % text)
    match = re.search(r"no such table: (?:\w+\.)?(\S+)", text)
    if match:
        return SqlError(208, "Invalid object name '%s'." % match.group(1))
    match = re.search(r"no such column: (\S+)", text)
    if match:
        return SqlError(207, "Invalid column name '%s'." % match.group(1))
    if "syntax error" in text or "unrecognized token" in text:
        return SqlError(170, "Line 1: Incorrect syntax near '%s'. (%s)" % (sql[:40], text))
    return SqlError(50000, text)


# ---------------------------------------------------------------- TDS reading


class Reader:
    def __init__(self, data):
        self.data, self.pos = data, 0

    def take(self, count):
        chunk = self.data[self.pos:self.pos + count]
        self.pos += count
        return chunk

    def u8(self):
        return self.take(1)[0]

    def u16(self):
        return struct.unpack("<H", self.take(2))[0]

    def u32(self):
        return struct.unpack("<I", self.take(4))[0]

    def ucs2(self, chars):
        return self.take(chars * 2).decode("utf-16-le")

    def done(self):
        return self.pos >= len(self.data)


@functools.lru_cache(maxsize=16)
def code_page_of(collation):
    lcid = struct.unpack("<I", collation[:4])[0] & 0xFFFFF
    sort_id = collation[4]
    for lc, _, sort, cp in COLLATIONS.values():
        if (sort_id and sort_id == sort) or (not sort_id and lc == lcid):
            return cp
    return "cp1252"


def datetime_text(value):
    text = value.strftime("%Y-%m-%d %H:%M:%S") if value.year >= 1000 else \
        "%04d-%02d-%02d %02d:%02d:%02d" % (value.year, value.month, value.day, value.hour,
                                             value.minute, value.second)
    if value.microsecond:
        text += ".%03d" % (value.microsecond // 1000)
    return text


def read_type(r):
    """A TYPE_INFO: gives (name, reader of one value)."""
    t = r.u8()
    fixed = {0x30: ("tinyint", 1), 0x34: ("smallint", 2), 0x38: ("int", 4), 0x7F: ("bigint", 8),
             0x32: ("bit", 1), 0x3E: ("float", 8), 0x3B: ("real", 4), 0x3D: ("datetime", 8),
             0x3A: ("smalldatetime", 4), 0x3C: ("money", 8), 0x7A: ("smallmoney", 4)}
    if t in fixed:
        name, size = fixed[t]
        return name, lambda: decode_fixed(name, r.take(size))
    if t in (0x26, 0x68, 0x6D, 0x6F, 0x6E, 0x24):
        size = r.u8()
        name = {0x26: "intn", 0x68: "bitn", 0x6D: "floatn", 0x6F: "datetimen", 0x6E: "moneyn",
                0x24: "uniqueidentifier"}[t]

        def variable():
            length = r.u8()
            return None if length == 0 else decode_fixed(
                {"intn": {1: "tinyint", 2: "smallint", 4: "int", 8: "bigint"}.get(length),
                 "bitn": "bit", "floatn": "float" if length == 8 else "real",
                 "datetimen": "datetime" if length == 8 else "smalldatetime",
                 "moneyn": "money" if length == 8 else "smallmoney",
                 "uniqueidentifier": "guid"}[name], r.take(length))
        return "%s(%d)" % (name, size), variable
    if t in (0x6A, 0x6C):
        size, precision, scale = r.u8(), r.u8(), r.u8()

        def decimal():
            length = r.u8()
            if length == 0:
                return None
            sign = r.u8()
            number = int.from_bytes(r.take(length - 1), "little") * (1 if sign else -1)
            return number if scale == 0 else number / 10 ** scale
        return "decimal(%d,%d)" % (precision, scale), decimal
    if t in (0xE7, 0xEF, 0xA7, 0xAF):
        size = r.u16()
        collation = bytes(r.take(5))
        wide = t in (0xE7, 0xEF)
        cp = code_page_of(collation)
        name = {0xE7: "nvarchar", 0xEF: "nchar", 0xA7: "varchar", 0xAF: "char"}[t]

        def text():
            length = r.u16()
            if length == 0xFFFF:
                return None
            raw = r.take(length)
            return raw.decode("utf-16-le") if wide else raw.decode(cp, "replace")
        return "%s(%d)" % (name, size // 2 if wide else size), text
    if t in (0xA5, 0xAD):
        size = r.u16()

        def binary():
            length = r.u16()
            return None if length == 0xFFFF else bytes(r.take(length))
        return "varbinary(%d)" % size, binary
    if t in (0x63, 0x23, 0x22):
        r.u32()
        collation = bytes(r.take(5)) if t != 0x22 else b""
        cp = code_page_of(collation) if collation else None

        def long_value():
            length = r.u32()
            if length == 0xFFFFFFFF:
                return None
            raw = r.take(length)
            if t == 0x63:
                return raw.decode("utf-16-le")
            return raw.decode(cp, "replace") if cp else bytes(raw)
        return {0x63: "ntext", 0x23: "text", 0x22: "image"}[t], long_value
    raise SqlError(8009, "The stand-in does not read TDS type 0x%02X" % t)


def decode_fixed(name, raw):
    if name in ("tinyint",):
        return raw[0]
    if name in ("smallint", "int", "bigint"):
        return int.from_bytes(raw, "little", signed=True)
    if name == "bit":
        return raw[0]
    if name == "float":
        return struct.unpack("<d", raw)[0]
    if name == "real":
        return struct.unpack("<f", raw)[0]
    if name == "datetime":
        days, ticks = struct.unpack("<iI", raw)
        moment = EPOCH + datetime.timedelta(days=days, milliseconds=round(ticks * 10 / 3))
        return datetime_text(moment)
    if name == "smalldatetime":
        days, minutes = struct.unpack("<HH", raw)
        return datetime_text(EPOCH + datetime.timedelta(days=days, minutes=minutes))
    if name == "money":
        high, low = struct.unpack("<iI", raw)
        return ((high << 32) | low) / 10000
    if name == "smallmoney":
        return struct.unpack("<i", raw)[0] / 10000
    return bytes(raw)


def read_rpcs(payload):
    """The procedure calls of an RPC request: (name, [(param name, type, value)])."""
    r = Reader(payload)
    data, end = payload, len(payload)
    calls = []
    while r.pos < end:
        length = r.u16()
        name = PROC_IDS.get(r.u16(), "proc") if length == 0xFFFF else r.ucs2(length)
        r.u16()  # option flags
        params = []
        while r.pos < end and data[r.pos] not in (0x80, 0xFF):
            pos = r.pos
            chars = data[pos]
            pname = data[pos + 1:pos + 1 + 2 * chars].decode("utf-16-le")
            pos += 2 + 2 * chars  # the name, then the status byte
            if data[pos] == 0xE7:  # nvarchar, the most frequent: read here, fast
                size, length = struct.unpack_from("<H5xH", data, pos + 1)
                pos += 10
                value = None if length == 0xFFFF else data[pos:pos + length].decode("utf-16-le")
                r.pos = pos + (0 if length == 0xFFFF else length)
                params.append((pname, "nvarchar(%d)" % (size // 2), value))
                continue
            r.pos = pos
            type_name, read_value = read_type(r)
            params.append((pname, type_name, read_value()))
        calls.append((name, params))
        if r.pos < end:
            r.u8()
    return calls


# ---------------------------------------------------------------- TDS writing


def b_varchar(text):
    return bytes([len(text)]) + text.encode("utf-16-le")


def us_varchar(text):
    return struct.pack("<H", len(text)) + text.encode("utf-16-le")


def done_token(token, status, count=0):
    return struct.pack("<BHHI", token, status, 0xC1 if status & DONE_COUNT else 0, count)


def message_token(token, number, text, severity, line=1):
    body = struct.pack("<iBB", number, 1, severity) + us_varchar(text) + \
        b_varchar("KESTREL-STANDIN") + b_varchar("") + struct.pack("<H", line)
    return bytes([token]) + struct.pack("<H", len(body)) + body


def env_change(kind, new, old=""):
    body = bytes([kind]) + b_varchar(new) + b_varchar(old)
    return b"\xE3" + struct.pack("<H", len(body)) + body


class ResultWriter:
    """COLMETADATA and ROW tokens for a result, typed from the declared columns of the tables
    where a result column bears their name, else from the values."""

    def __init__(self, server):
        self.server = server
        self.collation = server.collation_bytes
        self.code_page = server.code_page

    def column_type(self, name, values):
        declared = self.server.catalog.by_column.get((name or "").lower())
        if declared:
            t = declared.type
            if declared.code_paged:
                return "varchar"
            if declared.unicode:
                return "nvarchar"
            if t in ("datetime", "smalldatetime"):
                return "datetime"
            if t in ("int", "smallint", "tinyint", "bigint"):
                return "bigint" if t == "bigint" else "int"
            if t == "bit":
                return "bit"
            if t in ("numeric", "decimal", "money", "smallmoney", "float", "real"):
                return "float"
        for value in values:
            if isinstance(value, bool) or isinstance(value, int):
                return "bigint" if any(isinstance(v, int) and abs(v) > 2 ** 31 - 1
                                       for v in values) else "int"
            if isinstance(value, float):
                return "float"
            if value is not None:
                return "nvarchar"
        return "nvarchar"

    def metadata(self, names, types):
        out = b"\x81" + struct.pack("<H", len(names))
        for name, t in zip(names, types):
            out += struct.pack("<HH", 0, 0x09)  # user type; flags: nullable, updateable unknown
            out += {"int": b"\x26\x04", "bigint": b"\x26\x08", "bit": b"\x68\x01",
                    "float": b"\x6D\x08", "datetime": b"\x6F\x08",
                    "varchar": b"\xA7\x40\x1F" + self.collation,
                    "nvarchar": b"\xE7\x40\x1F" + self.collation}[t]
            out += b_varchar(name if name and not name.startswith("COUNT(") else "")
        return out

    def value(self, t, v):
        if v is None:
            return b"\xFF\xFF" if t in ("varchar", "nvarchar") else b"\x00"
        if t in ("int", "bigint"):
            return (b"\x04" + struct.pack("<i", int(v))) if t == "int" else \
                (b"\x08" + struct.pack("<q", int(v)))
        if t == "bit":
            return b"\x01" + bytes([1 if v else 0])
        if t == "float":
            return b"\x08" + struct.pack("<d", float(v))
        if t == "datetime":
            moment = parse_stored_date(v)
            if moment is None:
                return b"\x00"
            delta = moment - EPOCH
            ticks = round((delta.seconds + delta.microseconds / 1e6) * 300)
            return b"\x08" + struct.pack("<iI", delta.days, ticks)
        text = v if isinstance(v, str) else str(v)
        raw = text.encode("utf-16-le") if t == "nvarchar" else \
            text.encode(self.code_page, "replace")
        raw = raw[:8000]
        return struct.pack("<H", len(raw)) + raw

    def result(self, names, rows):
        types = [self.column_type(n, [row[i] for row in rows[:50]]) for i, n in enumerate(names)]
        out = bytearray(self.metadata(names, types))
        for row in rows:
            out += b"\xD1"
            for t, v in zip(types, row):
                out += self.value(t, v)
        return bytes(out)


def parse_stored_date(value):
    if not isinstance(value, str):
        return None
    for form in ("%Y-%m-%d %H:%M:%S.%f", "%Y-%m-%d %H:%M:%S", "%Y-%m-%d", "%Y-%m-%dT%H:%M:%S"):
        try:
            return datetime.datetime.strptime(value, form)
        except ValueError:
            pass
    return None


# ---------------------------------------------------------------- the connection


class Connection:
    def __init__(self, server, sock):
        self.server, self.sock = server, sock
        self.session = None
        self.writer = ResultWriter(server)
        self.packet_size = 4096
        self.requests = 0  # messages read: the round trips

    def read_message(self):
        kind, payload = None, bytearray()
        while True:
            header = self.read_exact(8)
            if header is None:
                return None, None
            kind, status, length = header[0], header[1], struct.unpack(">H", header[2:4])[0]
            body = self.read_exact(length - 8)
            if body is None:
                return None, None
            payload += body
            if status & 0x01:
                return kind, bytes(payload)

    def read_exact(self, count):
        data = bytearray()
        while len(data) < count:
            chunk = self.sock.recv(count - len(data))
            if not chunk:
                return None
            data += chunk
        return bytes(data)

    def send(self, kind, payload):
        size = self.packet_size - 8
        chunks = [payload[i:i + size] for i in range(0, len(payload), size)] or [b""]
        out = bytearray()
        for i, chunk in enumerate(chunks):
            status = 0x01 if i == len(chunks) - 1 else 0x00
            out += struct.pack(">BBHHBB", kind, status, len(chunk) + 8, 0, (i + 1) % 256, 0)
            out += chunk
        self.sock.sendall(bytes(out))

    def serve(self):
        try:
            while True:
                kind, payload = self.read_message()
                if kind is None:
                    break
                if self.server.delay:
                    time.sleep(self.server.delay)
                self.requests += 1
                self.handle(kind, payload)
        except (ConnectionError, OSError):
            pass
        finally:
            if self.session:
                self.log({"kind": "disconnect", "trancount": self.session.trancount})
                self.session.db.close()  # an open transaction is rolled back
            self.sock.close()

    def log(self, entry):
        entry["request"] = self.requests
        self.server.log(entry)

    def handle(self, kind, payload):
        if kind == 0x12:
            self.log({"kind": "prelogin"})
            self.send(0x04, prelogin_response())
        elif kind == 0x10:
            self.login(payload)
        elif kind == 0x01:
            text = payload.decode("utf-16-le")
            self.log({"kind": "batch", "text": text, "trancount": self.session.trancount})
            self.send(0x04, self.respond(self.session.run_batch(text), DONE_MORE, 0xFD))
        elif kind == 0x03:
            self.rpc(payload)
        elif kind == 0x06:
            rolled_back = self.session.trancount > 0 and self.session.xact_abort
            self.log({"kind": "attention", "trancount": self.session.trancount})
            if rolled_back:
                self.session.abort_transaction()
            self.send(0x04, done_token(0xFD, DONE_ATTN))
        else:
            self.log({"kind": "unknown", "type": kind})
            self.send(0x04, message_token(0xAA, 50000, "unexpected packet", 16) +
                      done_token(0xFD, DONE_ERROR))

    def login(self, payload):
        r = Reader(payload)
        fields = {}
        for i, name in enumerate(("host", "user", "password", "app", "server", "unused",
                                  "library", "language", "database")):
            offset, length = struct.unpack("<HH", payload[36 + 4 * i:40 + 4 * i])
            fields[name] = payload[offset:offset + 2 * length] if name == "password" else \
                payload[offset:offset + 2 * length].decode("utf-16-le", "replace")
        integrated = bool(payload[25] & 0x80)
        self.log({"kind": "login", "user": fields["user"], "database": fields["database"],
                  "integrated": integrated})
        del r
        if integrated or fields["user"] != self.server.user:
            self.send(0x04, message_token(0xAA, 18456, "Login failed for user '%s'."
                                          % fields["user"], 14) + done_token(0xFD, DONE_ERROR))
            return
        self.session = Session(self.server)
        database = fields["database"] or "branch"
        out = env_change(1, database, "master")
        out += message_token(0xAB, 5701, "Changed database context to '%s'." % database, 0)
        collation = self.server.collation_bytes
        body = bytes([7, 5]) + collation + b"\x00"
        out += b"\xE3" + struct.pack("<H", len(body)) + body
        out += env_change(2, "us_english")
        program = "Microsoft SQL Server"
        ack = bytes([1]) + bytes([0x71, 0x00, 0x00, 0x01]) + b_varchar(program) + \
            bytes([8, 0, 0x07, 0xF7])
        out += b"\xAD" + struct.pack("<H", len(ack)) + ack
        out += env_change(4, "4096", "4096")
        out += done_token(0xFD, 0)
        self.send(0x04, out)

    def rpc(self, payload):
        try:
            calls = read_rpcs(payload)
        except SqlError as error:
            self.log({"kind": "rpc", "error": error.message})
            self.send(0x04, message_token(0xAA, error.number, error.message, 16) +
                      done_token(0xFE, DONE_ERROR))
            return
        out = bytearray()
        for index, (name, params) in enumerate(calls):
            entry = {"kind": "rpc", "proc": name, "trancount": self.session.trancount,
                     "types": [p[1] for p in params]}
            texts = [p[2] for p in params if isinstance(p[2], str)]
            if name in ("sp_prepare", "sp_prepexec") and len(texts) >= 2:
                entry["params"], entry["text"] = params[1][2], params[2][2]
            elif name in ("sp_executesql", "sp_cursoropen") and texts:
                entry["text"] = texts[0]
            elif name in ("sp_execute", "sp_unprepare") and params:
                entry["handle"] = params[0][2]
            self.log(entry)
            results, outputs = self.session.rpc(name, params)
            last = index == len(calls) - 1
            out += self.respond(results, 0, 0xFF)
            out += b"\x79" + struct.pack("<i", 1 if any(isinstance(r, SqlError)
                                                        for r in results) else 0)
            for ordinal, (pname, value) in enumerate(outputs):
                out += b"\xAC" + struct.pack("<H", ordinal) + b_varchar(pname) + b"\x01" + \
                    struct.pack("<HH", 0, 0x09) + b"\x26\x04\x04" + struct.pack("<i", value)
            status = (0 if last else DONE_MORE) | (DONE_INXACT if self.session.trancount else 0)
            if any(isinstance(r, SqlError) for r in results):
                status |= DONE_ERROR
            out += done_token(0xFE, status)
        self.send(0x04, bytes(out))

    def respond(self, results, more_flag, token):
        """The tokens of a batch's or a procedure's results; the last DONE of a batch has no
        DONE_MORE."""
        out = bytearray()
        for index, result in enumerate(results):
            last = index == len(results) - 1 and token == 0xFD
            status = 0 if last else more_flag if token == 0xFD else DONE_MORE
            if self.session.trancount:
                status |= DONE_INXACT
            if isinstance(result, SqlError):
                self.log({"kind": "error", "number": result.number, "message": result.message})
                out += message_token(0xAA, result.number, result.message, result.severity)
                out += done_token(token, status | DONE_ERROR)
            elif result is None:
                out += done_token(token, status)
            else:
                names, rows = result
                out += self.writer.result(names, rows)
                out += done_token(token, status | DONE_COUNT, len(rows))
        if not results and token == 0xFD:
            out += done_token(token, 0)
        return bytes(out)


def prelogin_response():
    options = [(0, bytes([8, 0, 0x07, 0xF7, 0, 0])), (1, b"\x02"), (2, b"\x00")]
    header_length = 5 * len(options) + 1
    header, data = bytearray(), bytearray()
    for token, value in options:
        header += struct.pack(">BHH", token, header_length + len(data), len(value))
        data += value
    return bytes(header + b"\xFF" + data)


# ---------------------------------------------------------------- the server


class Server:
    def __init__(self, args):
        self.db_path = args.db
        self.collation = args.collation
        lcid, flags, sort_id, self.code_page = COLLATIONS[args.collation]
        self.collation_bytes = struct.pack("<I", lcid | (flags << 20)) + bytes([sort_id])
        self.delay = args.delay_ms / 1000.0
        self.user = args.user
        self.log_file = open(args.log, "a", encoding="utf-8") if args.log else None
        self.log_lock = threading.Lock()
        if args.schema and not os.path.exists(args.db):
            db = sqlite3.connect(args.db)
            with open(args.schema, encoding="utf-8") as script:
                db.executescript(script.read())
            db.commit()
            db.close()
        db = sqlite3.connect(args.db)
        self.catalog = Catalog(db)
        db.close()

    def log(self, entry):
        if not self.log_file:
            return
        with self.log_lock:
            self.log_file.write(json.dumps(entry, ensure_ascii=False) + "\n")
            self.log_file.flush()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--db", required=True, help="the SQLite file holding the tables")
    parser.add_argument("--schema", help="DDL run when the SQLite file does not exist")
    parser.add_argument("--collation", default="Chinese_PRC_CI_AS", choices=sorted(COLLATIONS))
    parser.add_argument("--log", help="appends one JSON line per request")
    parser.add_argument("--port-file", help="where the chosen port is written once listening")
    parser.add_argument("--delay-ms", type=float, default=0, help="wait before each answer")
    parser.add_argument("--user", default="sa")
    parser.add_argument("--lifetime", type=float, default=900, help="seconds until it stops")
    args = parser.parse_args()
    server = Server(args)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as f:
            f.write(str(listener.getsockname()[1]))
        os.replace(args.port_file + ".tmp", args.port_file)
    else:
        print(listener.getsockname()[1], flush=True)
    deadline = time.monotonic() + args.lifetime
    listener.settimeout(1.0)
    while time.monotonic() < deadline:
        try:
            sock, _ = listener.accept()
        except socket.timeout:
            continue
        sock.settimeout(None)
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        threading.Thread(target=Connection(server, sock).serve, daemon=True).start()
    listener.close()


if __name__ == "__main__":
    sys.exit(main())
