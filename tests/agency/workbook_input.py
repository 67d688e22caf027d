#!/usr/bin/env python3
"""Curves and records given as workbooks, through the real program.

    workbook_input.py PROGRAM SOURCE_DIR REALDATA_DIR

Each run on a workbook must write byte for byte what the same run on the CSV
tables writes: Powell as published (each capacity sheet of the agency's
workbook against its CSV table, the agency's daily file and balance), a
workbook LibreOffice made from CSV (tests/data/workbook, committed: soffice is
no build dependency) and one made here by openpyxl, under several locales.
Then what a user meets: --check naming the sheet's rows, gaps as empty or
#N/A cells skipped with a warning, and the workbook refused as an output.
"""

import datetime
import filecmp
import os
import shutil
import subprocess
import sys
import tempfile

import openpyxl

PROGRAM = os.path.abspath(sys.argv[1])
SOURCE = os.path.abspath(sys.argv[2])
PUBLISHED = os.path.join(os.path.abspath(sys.argv[3]), "as-published")
DATA = os.path.join(SOURCE, "tests", "data", "workbook")

failures = []


def run(args, cwd, locale="C.UTF-8"):
    return subprocess.run([PROGRAM] + args, cwd=cwd, env=dict(os.environ, LC_ALL=locale), capture_output=True)


def same_outputs(what, csv_args, book_args, cwd, tmp, locale="C.UTF-8", outputs=("--out", "--summary", "--table")):
    """Runs both ways; every output file and stderr must be the same."""
    got = []
    for tag, args in (("csv", csv_args), ("book", book_args)):
        files = [os.path.join(tmp, "%s%s.txt" % (tag, o)) for o in outputs]
        extra = [x for o, f in zip(outputs, files) for x in (o, f)]
        r = run(args + extra, cwd, locale)
        if r.returncode != 0:
            failures.append("%s (%s, %s): exit %d: %s" % (what, tag, locale, r.returncode, r.stderr.decode()[-300:]))
            return
        got.append((files, r.stderr))
    (a, err_a), (b, err_b) = got
    for fa, fb in zip(a, b):
        if not filecmp.cmp(fa, fb, shallow=False):
            failures.append("%s (%s): %s differs" % (what, locale, os.path.basename(fa)))
    lines = len(open(a[0], encoding="utf-8").read().splitlines())
    print("%s (%s): %d result lines, byte for byte" % (what, locale, lines))


def powell(tmp):
    flood = ["--flood", "powell_daily_usbr.csv",
             "--columns", "time=Date,level=Elevation (feet),outflow=Total Release (cfs),loss=Evaporation (af)",
             "--units", "level=ft,storage=af,flow=cfs,loss=af", "--missing", "skip",
             "--outflow", "end", "--bank-storage", "0.08"]
    for sheet, csv, columns in (
            ("Pre2017Bathymetry", "powell_capacity_pre2017.csv", "level=Elevation (ft),storage=Live Storage (ac-ft)"),
            ("2017Bathymetry", "powell_capacity_2017.csv", "level=ELEVATION (feet),storage=CAPACITY (acre-feet)")):
        same_outputs("powell " + sheet,
                     ["--curve", csv, "--curve-columns", columns] + flood,
                     ["--curve", "powell_area_capacity.xlsx#" + sheet, "--curve-columns", columns] + flood,
                     PUBLISHED, tmp)


def libreoffice(tmp):
    curve = os.path.join(SOURCE, "examples", "curve.txt")
    for locale in ("C.UTF-8", "de_DE.UTF-8", "zh_CN.UTF-8"):
        same_outputs("libreoffice", ["--curve", curve, "--flood", "flood_hourly.csv"],
                     ["--curve", "curve.xlsx", "--flood", "flood_hourly.xlsx#flood_hourly"], DATA, tmp, locale)


def number(text):
    return float(text) if text else None


def openpyxl_book(tmp):
    """The hourly flood as a hydrologist's sheet: title rows, a helper column,
    real dates, a #N/A and an empty level; the CSV has blanks there."""
    rows = [line.split(",") for line in open(os.path.join(DATA, "flood_hourly.csv")).read().splitlines()]
    gaps = {7: "#N/A", 19: None}   # data row index -> what the sheet holds
    csv = os.path.join(tmp, "flood.csv")
    with open(csv, "w") as f:
        f.write("Note,Time,Level (m),Release (cfs)\n")
        for k, (t, z, q) in enumerate(rows[1:]):
            f.write("x,%s,%s,%s\n" % (t, "" if k in gaps else z, q))
    wb = openpyxl.Workbook()
    wb.active.title = "Readme"
    ws = wb.create_sheet("Data")
    ws.append(["Hourly record, as kept by the operator"])
    ws.append([])
    ws.append(["Note", "Time", "Level (m)", "Release (cfs)"])
    for k, (t, z, q) in enumerate(rows[1:]):
        stamp = datetime.datetime.strptime(t, "%Y-%m-%d %H:%M:%S")
        level = gaps[k] if k in gaps else number(z)
        ws.append(["x", stamp, level, number(q)])
        if k in gaps and gaps[k]:
            ws.cell(row=ws.max_row, column=3).data_type = "e"
    book = os.path.join(tmp, "operator.xlsx")
    wb.save(book)
    curve = os.path.join(SOURCE, "examples", "curve.txt")
    mapping = ["--columns", "time=Time,level=Level (m),outflow=Release (cfs)", "--units", "flow=cfs",
               "--missing", "skip"]
    for locale in ("C.UTF-8", "sv_SE.UTF-8"):
        same_outputs("openpyxl", ["--curve", curve, "--flood", csv] + mapping,
                     ["--curve", curve, "--flood", book + "#Data"] + mapping, tmp, tmp, locale)
    # The skipped rows are named by the sheet's rows (data row k is row k + 4),
    # the sheet as the user named it (sheet names ignore case).
    r = run(["--curve", curve, "--flood", book + "#data"] + mapping + ["--out", os.path.join(tmp, "o.txt")], tmp)
    err = r.stderr.decode()
    for k in gaps:
        if "operator.xlsx#data:%d: skipped: level" % (k + 4) not in err:
            failures.append("openpyxl: skipping row %d not told: %s" % (k + 4, err[-300:]))
    # --check names the row of a level that is no number.
    ws.cell(row=30, column=3).value = "52x.1"
    wb.save(book)
    r = run(["--check", "--curve", curve, "--flood", book + "#Data"] + mapping, tmp)
    if r.returncode == 0 or b"operator.xlsx#Data:30: " not in r.stdout + r.stderr:
        failures.append("check: row 30 not named: %r" % (r.stdout + r.stderr)[-400:])
    # The workbook is an input: no output may replace it.
    before = open(book, "rb").read()
    r = run(["--curve", curve, "--flood", book + "#Data"] + mapping + ["--out", book], tmp)
    if r.returncode == 0 or open(book, "rb").read() != before:
        failures.append("the workbook was replaced by --out (exit %d)" % r.returncode)


with tempfile.TemporaryDirectory() as tmp:
    powell(tmp)
    libreoffice(tmp)
    openpyxl_book(tmp)

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
