#!/usr/bin/python3
"""The list exports read back by other programs, cell by cell against the database file.

Runs the report test program's ReadbackFiles test (which writes a generated database, its
search list exported as ANSI and Unicode text and as a workbook of two sheets, and a manifest
of the list) into a temporary folder, then reads the database with sqlite3, the text files with
csv, the workbook with xlrd and, converted to CSV, with LibreOffice, and compares every cell
with what the list shows or the sheet must hold. The folder is removed afterwards.

    export_readback.py <reports_tests.exe> <wine-run.sh>
"""
import csv
import datetime
import decimal
import glob
import json
import math
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile

import xlrd

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import checked_gtest  # noqa: E402

NBSP = "\u00a0"
MAX_CELL = 32767
FIRST_TRUE_SERIAL = 61  # 1 March 1900: before it the sheet's day numbers are off by one


class Problems:
    def __init__(self):
        self.items = []

    def check(self, ok, what):
        if not ok:
            self.items.append(what)

    def report(self):
        for p in self.items[:30]:
            print("MISMATCH:", p)
        if len(self.items) > 30:
            print("... and %d more" % (len(self.items) - 30))
        return not self.items


def close(a, b):
    """Reals agree to the 15 digits the ODBC driver hands over."""
    return abs(a - b) <= 1e-13 * max(1.0, abs(b))


def ole_datetime(x):
    return datetime.datetime(1899, 12, 30) + datetime.timedelta(days=x)


def short_date(x):
    """The user's short date (Czech: d. M. yyyy) with the time of day when there is one."""
    d = ole_datetime(x)
    d = d.replace(microsecond=0) + datetime.timedelta(seconds=round(d.microsecond / 1e6))
    text = "%d. %d. %d" % (d.day, d.month, d.year)
    if d.hour or d.minute or d.second:
        text += " %d:%02d" % (d.hour, d.minute)
        if d.second:
            text += ":%02d" % d.second
    return text


def czech_real(x):
    """A real as the list shows it: four decimals, then the Czech number format (two decimals,
    a no-break space after the thousands)."""
    plain = decimal.Decimal("%.4f" % x).quantize(decimal.Decimal("0.01"), rounding=decimal.ROUND_HALF_UP)
    sign = "-" if plain < 0 else ""
    whole, fraction = ("%.2f" % abs(plain)).split(".")
    assert len(whole) <= 6, "the grouping of longer numbers is not modelled here"
    if len(whole) > 3:
        whole = whole[:-3] + NBSP + whole[-3:]
    return sign + whole + "," + fraction


def czech_whole(x):
    """A whole-number column (the altitude): rounded half away from zero, thousands grouped."""
    n = int(decimal.Decimal(repr(x)).quantize(decimal.Decimal("1"), rounding=decimal.ROUND_HALF_UP))
    whole = str(abs(n))
    assert len(whole) <= 6, "the grouping of longer numbers is not modelled here"
    if len(whole) > 3:
        whole = whole[:-3] + NBSP + whole[-3:]
    return ("-" if n < 0 else "") + whole


def degrees(v):
    a = abs(v)
    whole = math.floor(a)
    a = math.fmod(whole, 360.0) + (a - whole)
    total = math.floor(a * 3600.0 + 1e-3)
    d, m, s = total // 3600, total // 60 % 60, total % 60
    return "%d\u00b0 %d' %d\"" % (-d if v < 0 else d, m, s)


def kind_of(declared):
    declared = (declared or "").upper()
    for word, kind in (("INT", "int"), ("DOUBLE", "real"), ("REAL", "real"), ("DATE", "date"), ("BOOL", "bool")):
        if word in declared:
            return kind
    return "text"


def shown(column, kind, value):
    """What the list shows for a value: the text files must hold exactly this."""
    if value is None:
        return ""
    if column["degrees"]:
        return degrees(value)
    if column.get("whole"):
        return czech_whole(value)
    if kind == "int":
        return str(int(value))
    if kind == "real":
        return czech_real(value)
    if kind == "date":
        return short_date(value)
    if kind == "bool":
        return "Ano" if value else "Ne"
    return str(value)


def expected_rows(manifest, db):
    con = sqlite3.connect(db)
    kinds = [kind_of(row[2]) for row in con.execute("PRAGMA table_info(COLLECTVIEW)")]
    rows = []
    for record in manifest["ids"]:
        values = con.execute("SELECT * FROM COLLECTVIEW WHERE ID = ?", (record,)).fetchone()
        rows.append(values)
    con.close()
    return kinds, rows


def check_text_file(problems, path, encoding, delimiter, manifest, kinds, rows):
    columns = manifest["columns"]
    with open(path, encoding=encoding, newline="") as f:
        lines = list(csv.reader(f, delimiter=delimiter))
    name = os.path.basename(path)
    problems.check(len(lines) == len(rows) + 1, "%s: %d lines for %d rows" % (name, len(lines), len(rows)))
    problems.check(lines[0] == [c["caption"] for c in columns], "%s: header %r" % (name, lines[0]))
    for r, (line, values) in enumerate(zip(lines[1:], rows), 1):
        want = [shown(c, kinds[c["ordinal"]], values[c["ordinal"]]) for c in columns]
        problems.check(line == want, "%s line %d: %r against %r" % (name, r, line, want))


def sheet_value(column, kind, value):
    """(xlrd cell type, value) a sheet must hold for a list value."""
    if value is None:  # a blank cell, a coordinate's too
        return xlrd.XL_CELL_EMPTY, ""
    if column["degrees"]:
        return xlrd.XL_CELL_TEXT, shown(column, kind, value)
    if kind in ("int", "real"):
        return xlrd.XL_CELL_NUMBER, float(value)
    if kind == "date":
        if value >= FIRST_TRUE_SERIAL:
            return xlrd.XL_CELL_DATE, float(value)
        return xlrd.XL_CELL_TEXT, short_date(value)
    if kind == "bool":
        return xlrd.XL_CELL_BOOLEAN, 1 if value else 0
    return xlrd.XL_CELL_TEXT, str(value)[:MAX_CELL]


def check_sheet(problems, sheet, columns, kinds, rows):
    header = [c["caption"] for c in columns]  # the captions as the list shows them
    problems.check(sheet.nrows == len(rows) + 1, "%s: %d rows" % (sheet.name, sheet.nrows))
    problems.check([sheet.cell_value(0, i) for i in range(len(columns))] == header,
                   "%s: header %r" % (sheet.name, sheet.row_values(0)))
    long_texts = 0
    for r, values in enumerate(rows, 1):
        for i, c in enumerate(columns):
            want = sheet_value(c, kinds[c["ordinal"]], values[c["ordinal"]])
            cell = sheet.cell(r, i) if i < sheet.row_len(r) else xlrd.sheet.Cell(xlrd.XL_CELL_EMPTY, "")
            got = (cell.ctype, cell.value)
            if want[0] == xlrd.XL_CELL_EMPTY:
                ok = cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK)
            elif want[0] in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
                ok = cell.ctype == want[0] and close(cell.value, want[1])
            else:
                ok = got == want
            long_texts += cell.ctype == xlrd.XL_CELL_TEXT and len(cell.value) >= 10000
            problems.check(ok, "%s cell %d,%d (%s): %r against %r" % (sheet.name, r, i, c["caption"],
                                                                      got, want))
    return long_texts


def lo_date(text):
    """A date cell as LibreOffice's CSV filter writes it in the US locale (formatted even when
    asked for raw values): 09/01/1955, or 05/19/1983 09:15:00 with a time."""
    for layout in ("%m/%d/%Y %H:%M:%S", "%m/%d/%Y"):
        try:
            return datetime.datetime.strptime(text, layout)
        except ValueError:
            pass
    return None


def check_libreoffice(problems, workbook, folder, manifest, kinds, rows):
    """LibreOffice's CSV filter writes every sheet (option -1) as UTF-8, values unformatted."""
    out = os.path.join(folder, "lo")
    os.mkdir(out)
    profile = "file://" + os.path.join(folder, "lo-profile")
    result = subprocess.run(
        ["soffice", "-env:UserInstallation=" + profile, "--headless", "--convert-to",
         "csv:Text - txt - csv (StarCalc):44,34,76,1,,1033,false,true,false,false,false,-1",
         "--outdir", out, workbook], capture_output=True, timeout=300)
    files = sorted(glob.glob(os.path.join(out, "*.csv")))
    problems.check(len(files) == 2, "LibreOffice wrote %r (%s)" % (files, result.stderr[-300:]))
    sheets = {"Výběr": manifest["columns"], "Druhý": manifest["columns"][:manifest["second_sheet_columns"]]}
    for path in files:
        name = next((s for s in sheets if path.endswith("-" + s + ".csv")), None)
        problems.check(name is not None, "LibreOffice sheet file %s" % path)
        if name is None:
            continue
        columns = sheets[name]
        with open(path, encoding="utf-8", newline="") as f:
            lines = list(csv.reader(f))
        problems.check(lines[0][:len(columns)] == [c["caption"] for c in columns],
                       "LibreOffice %s header %r" % (name, lines[0]))
        problems.check(len(lines) == len(rows) + 1, "LibreOffice %s: %d lines" % (name, len(lines)))
        for r, (line, values) in enumerate(zip(lines[1:], rows), 1):
            for i, c in enumerate(columns):
                kind, value = sheet_value(c, kinds[c["ordinal"]], values[c["ordinal"]])
                got = line[i] if i < len(line) else ""
                if kind == xlrd.XL_CELL_DATE:
                    ok = lo_date(got) == ole_datetime(value).replace(microsecond=0) + datetime.timedelta(
                        seconds=round(ole_datetime(value).microsecond / 1e6))
                elif kind == xlrd.XL_CELL_NUMBER:
                    try:
                        ok = close(float(got), value)
                    except ValueError:
                        ok = False
                elif kind == xlrd.XL_CELL_BOOLEAN:
                    ok = got.upper() in (("TRUE", "1") if value else ("FALSE", "0"))
                else:
                    ok = got == value.replace("\r\n", "\n")  # its cells break lines with LF alone
                problems.check(ok, "LibreOffice %s cell %d,%d (%s): %r against %r" % (name, r, i, c["caption"],
                                                                                       got, value))


def main():
    exe, wine_run = sys.argv[1], sys.argv[2]
    folder = tempfile.mkdtemp(prefix="zor_readback_")
    try:
        env = dict(os.environ, ZOR_READBACK_DIR=checked_gtest.windows_path(folder))
        with open(os.path.join(folder, "run.log"), "w+", errors="replace") as log:
            failures = checked_gtest.run_checked(wine_run, exe, ["--gtest_filter=ReadbackFiles.*", "--gtest_color=no"],
                                                 env=env, output=log)
            log.seek(0)
            output = log.read()
        if failures or not os.path.exists(os.path.join(folder, "manifest.json")):
            print(output[-5000:])
            print("\n".join(failures))
            print("the export files were not written")
            return 1
        with open(os.path.join(folder, "manifest.json"), encoding="utf-8") as f:
            manifest = json.load(f)
        kinds, rows = expected_rows(manifest, os.path.join(folder, "ZorBase.mdb"))
        problems = Problems()
        problems.check(len(rows) == 400, "%d rows listed" % len(rows))
        check_text_file(problems, os.path.join(folder, "ansi.txt"), "cp1250", ";", manifest, kinds, rows)
        check_text_file(problems, os.path.join(folder, "unicode.txt"), "utf-16", "\t", manifest, kinds, rows)
        workbook = os.path.join(folder, "sesit.xls")
        book = xlrd.open_workbook(workbook)
        problems.check(book.sheet_names() == ["Výběr", "Druhý"], "sheets %r" % book.sheet_names())
        long_texts = check_sheet(problems, book.sheet_by_name("Výběr"), manifest["columns"], kinds, rows)
        problems.check(long_texts > 0, "no text of 10,000 characters went through the workbook")
        check_sheet(problems, book.sheet_by_name("Druhý"),
                    manifest["columns"][:manifest["second_sheet_columns"]], kinds, rows)
        check_libreoffice(problems, workbook, folder, manifest, kinds, rows)
        ok = problems.report()
        print("%d rows x %d columns read back %s" % (len(rows), len(manifest["columns"]),
                                                     "intact" if ok else "with differences"))
        return 0 if ok else 1
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
