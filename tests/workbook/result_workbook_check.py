#!/usr/bin/env python3
"""result_workbook_check.py PROGRAM SOURCE_DIR REALDATA_DIR: the --xlsx workbook,
read by openpyxl, holds exactly the numbers of the same run's result, summary
and corrected-inflow files (a cell is the double nearest to the file's
four-decimal text, stored with 16 digits, which read back as that double), the
--table times, and the --hydrograph picture byte for byte."""

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


def check(ok, what):
    if not ok:
        failures.append(what)


def lines(path, end):
    text = open(path, "rb").read().decode("utf-8")
    check(text.endswith(end), f"{path}: lines not ended by {end!r}")
    return text[: -len(end)].split(end)


def same_number(cell, text, where):
    if text == "":
        return check(cell is None, f"{where}: {cell!r} where the file has nothing")
    check(isinstance(cell, (int, float)) and float(cell) == float(decimal.Decimal(text)), f"{where}: {cell!r} != {text}")


def same_time(cell, when, where):
    # openpyxl gives microseconds; the stamps are whole milliseconds.
    if isinstance(when, str):
        when = datetime.datetime.strptime(when, "%Y-%m-%d %H:%M:%S")
    check(isinstance(cell, datetime.datetime) and abs(cell - when) < datetime.timedelta(microseconds=500),
          f"{where}: {cell!r} != {when}")


def run_case(folder, name, curve, flood, correction):
    out = {k: os.path.join(folder, f"{name}.{k}") for k in ("txt", "csv", "tidy", "corr", "png", "xlsx")}
    args = [PROGRAM, "--curve", curve, "--flood", flood, "--out", out["txt"], "--summary", out["csv"], "--table",
            out["tidy"], "--hydrograph", out["png"], "--xlsx", out["xlsx"]]
    args += correction + (["--corrected", out["corr"]] if correction else [])
    for locale in ("C.UTF-8", "de_DE.UTF-8"):
        run = subprocess.run(args, env=dict(os.environ, LC_ALL=locale), capture_output=True)
        check(run.returncode == 0, f"{name} under {locale}: status {run.returncode}: {run.stderr!r}")
        if run.returncode != 0:
            return
        book = openpyxl.load_workbook(out["xlsx"])
        check(book.sheetnames == ["计算表", "摘要"] + (["修正"] if correction else []) + ["过程线"], book.sheetnames)

        result = lines(out["txt"], "\r\n")
        table = list(book["计算表"].iter_rows(values_only=True))
        times = [datetime.datetime.fromisoformat(r.split(",")[0]) for r in lines(out["tidy"], "\n")[1:]]
        check(len(table) == len(result) == len(times) + 2, f"{name}: {len(table)} rows for {len(result)} lines")
        for r, (row, line) in enumerate(zip(table, result)):
            fields = [f.strip() for f in line.split(",")]
            if r < 2:
                check(list(row) == fields[:9], f"{name} 计算表 heading {r + 1}: {row}")
                continue
            same_time(row[0], times[r - 2], f"{name} 计算表 row {r + 1}")
            for c in range(1, 9):
                same_number(row[c], fields[c], f"{name} 计算表 {r + 1}:{c + 1}")

        summary = lines(out["csv"], "\r\n")[1:]
        rows = list(book["摘要"].iter_rows(values_only=True))[1:]
        check(len(rows) == len(summary), f"{name}: {len(rows)} summary items for {len(summary)}")
        for row, line in zip(rows, summary):
            item, value, unit, when = line.split(",")
            check(row[0] == item and (row[3] or "") == unit, f"{name} 摘要 {item}: {row}")
            same_number(row[2], value, f"{name} 摘要 {item}")
            same_time(row[4], when, f"{name} 摘要 {item}") if when else check(row[4] is None, f"{name} 摘要 {item}")

        if correction:
            rows = list(book["修正"].iter_rows(values_only=True))[2:]
            corrected = lines(out["corr"], "\r\n")[1:]
            check(len(rows) == len(corrected), f"{name}: {len(rows)} corrected rows for {len(corrected)}")
            for row, line in zip(rows, corrected):
                when, inflow, fixed = line.split(",")
                same_time(row[0], when, f"{name} 修正 {when}")
                same_number(row[1], inflow, f"{name} 修正 {when} inflow")
                same_number(row[2], fixed, f"{name} 修正 {when} corrected")

        with zipfile.ZipFile(out["xlsx"]) as z:
            media = [n for n in z.namelist() if n.startswith("xl/media/")]
            check(len(media) == 1 and z.read(media[0]) == open(out["png"], "rb").read(), f"{name}: 过程线")


with tempfile.TemporaryDirectory(prefix="quelmora-xlsx-") as folder:
    examples = os.path.join(SOURCE, "examples")
    run_case(folder, "examples", os.path.join(examples, "curve.txt"), os.path.join(examples, "flood.txt"),
             ["--smooth", "3", "--negative", "redistribute"])
    run_case(folder, "tankan", os.path.join(REALDATA, "tankan_curve.txt"), os.path.join(REALDATA, "tankan_flood.txt"), [])
    run_case(folder, "powell", os.path.join(REALDATA, "powell_curve_pre2017_live.txt"),
             os.path.join(REALDATA, "powell_1983_flood.txt"), ["--smooth", "5"])
    # The checks' band, flags and reference are in the workbook's picture too.
    run_case(folder, "powell-checks", os.path.join(REALDATA, "powell_curve_pre2017_live.txt"),
             os.path.join(REALDATA, "powell_1983_flood.txt"),
             ["--smooth", "5", "--spike", "0.05", "--gauge-resolution", "0.003048", "--compare",
              os.path.join(REALDATA, "powell_1983_published.csv"), "--compare-columns",
              "time=time,value=published_inflow_m3s"])

print("\n".join(failures[:30] + ([f"{len(failures)} failures"] if failures else [])))
sys.exit(1 if failures else 0)
