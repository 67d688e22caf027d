#!/usr/bin/env python3
"""The batch mode's --xlsx workbook, read by openpyxl, against the text
outputs of the same run: every number of 计算表 equals the result file's,
修正 the corrected-inflow file's, 摘要 the summary file's, each time the
--table file's, and 过程线 holds the --hydrograph picture byte for byte.

The numbers compare exactly: the workbook holds the double nearest to each
four-decimal text of the files and stores it with 16 significant digits,
which read back as that same double; Python's float() of the text gives the
double nearest to the same decimal. Equal doubles, or a fault.

Usage: result_workbook_check.py PROGRAM SOURCE_DIR REALDATA_DIR
"""

import datetime
import decimal
import os
import subprocess
import sys
import tempfile
import zipfile

import openpyxl

PROGRAM, SOURCE, REALDATA = sys.argv[1:4]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def lines(path, end):
    with open(path, "rb") as f:
        text = f.read().decode("utf-8")
    check(text.endswith(end), f"{path} does not end its lines with {end!r}")
    return text[: -len(end)].split(end)


def same_number(cell, text, where):
    """The cell holds the number the text writes, exactly."""
    if text == "":
        check(cell is None, f"{where}: {cell!r} where the file has nothing")
        return
    ok = isinstance(cell, (int, float)) and float(cell) == float(decimal.Decimal(text))
    check(ok, f"{where}: {cell!r} is not the file's {text}")


def iso(value):
    return datetime.datetime.fromisoformat(value)


def same_time(cell, when, where):
    # openpyxl turns the serial into a datetime to the microsecond; the
    # record's stamps are whole milliseconds.
    ok = isinstance(cell, datetime.datetime) and abs(cell - when) < datetime.timedelta(milliseconds=0.5)
    check(ok, f"{where}: {cell!r} is not {when}")


def run_case(folder, name, curve, flood, extra):
    out = {k: os.path.join(folder, f"{name}.{k}") for k in ("txt", "csv", "tidy", "corr", "png", "xlsx")}
    args = [PROGRAM, "--curve", curve, "--flood", flood, "--out", out["txt"], "--summary", out["csv"],
            "--table", out["tidy"], "--hydrograph", out["png"], "--xlsx", out["xlsx"]] + extra
    corrected = bool(extra)
    if corrected:
        args += ["--corrected", out["corr"]]
    for locale in ("C.UTF-8", "de_DE.UTF-8"):
        run = subprocess.run(args, env=dict(os.environ, LC_ALL=locale), capture_output=True)
        check(run.returncode == 0, f"{name} under {locale}: status {run.returncode}: {run.stderr!r}")
        if run.returncode != 0:
            return
        book = openpyxl.load_workbook(out["xlsx"])
        expected_sheets = ["计算表", "摘要"] + (["修正"] if corrected else []) + ["过程线"]
        check(book.sheetnames == expected_sheets, f"{name}: sheets {book.sheetnames}")

        result = lines(out["txt"], "\r\n")
        table = list(book["计算表"].iter_rows(values_only=True))
        times = [iso(row.split(",")[0]) for row in lines(out["tidy"], "\n")[1:]]
        check(len(table) == len(result) == len(times) + 2, f"{name}: {len(table)} rows for {len(result)} lines")
        for r, (row, line) in enumerate(zip(table, result)):
            fields = [f.strip() for f in line.split(",")]
            if r < 2:
                check(list(row) == fields[:9], f"{name} 计算表 heading {r + 1}: {row}")
                continue
            same_time(row[0], times[r - 2], f"{name} 计算表 row {r + 1} time")
            for c in range(1, 9):
                same_number(row[c], fields[c], f"{name} 计算表 {r + 1}:{c + 1}")

        summary = lines(out["csv"], "\r\n")[1:]
        rows = list(book["摘要"].iter_rows(values_only=True))[1:]
        check(len(rows) == len(summary), f"{name}: {len(rows)} summary items for {len(summary)}")
        for row, line in zip(rows, summary):
            item, value, unit, when = line.split(",")
            check(row[0] == item and (row[3] or "") == unit, f"{name} 摘要 {item}: {row}")
            same_number(row[2], value, f"{name} 摘要 {item}")
            if when:
                same_time(row[4], datetime.datetime.strptime(when, "%Y-%m-%d %H:%M:%S"), f"{name} 摘要 {item} time")
            else:
                check(row[4] is None, f"{name} 摘要 {item}: a time where the file has none")

        if corrected:
            rows = list(book["修正"].iter_rows(values_only=True))[2:]
            corr = lines(out["corr"], "\r\n")[1:]
            check(len(rows) == len(corr), f"{name}: {len(rows)} corrected rows for {len(corr)}")
            for row, line in zip(rows, corr):
                when, inflow, fixed = line.split(",")
                same_time(row[0], datetime.datetime.strptime(when, "%Y-%m-%d %H:%M:%S"), f"{name} 修正 {when}")
                same_number(row[1], inflow, f"{name} 修正 {when} inflow")
                same_number(row[2], fixed, f"{name} 修正 {when} corrected")

        with zipfile.ZipFile(out["xlsx"]) as z, open(out["png"], "rb") as f:
            media = [n for n in z.namelist() if n.startswith("xl/media/")]
            check(len(media) == 1 and z.read(media[0]) == f.read(), f"{name}: 过程线 is not the hydrograph")


with tempfile.TemporaryDirectory(prefix="quelmora-xlsx-") as folder:
    examples = os.path.join(SOURCE, "examples")
    run_case(folder, "examples", os.path.join(examples, "curve.txt"), os.path.join(examples, "flood.txt"),
             ["--smooth", "3", "--negative", "redistribute"])
    run_case(folder, "tankan", os.path.join(REALDATA, "tankan_curve.txt"), os.path.join(REALDATA, "tankan_flood.txt"), [])
    run_case(folder, "powell", os.path.join(REALDATA, "powell_curve_pre2017_live.txt"),
             os.path.join(REALDATA, "powell_1983_flood.txt"), ["--smooth", "5"])

for f in failures[:30]:
    print(f)
if failures:
    print(f"{len(failures)} failures")
sys.exit(1 if failures else 0)
