#!/usr/bin/env python3
"""The agencies' files as they are published, through the real program.

    as_published.py PROGRAM REALDATA_DIR

Powell: the two capacity tables (the 2017 one from 2022-07-01), the daily file
with its columns, units, gaps and notes, the agency's balance (outflow at the
step's end, bank storage 0.08, evaporation as a loss): the computed inflow
against the file's own published inflow, as RMSE over three periods, each
within its bound. Tankan: the source's five-column file with its byte-order
mark read by columns gives the result of the converted record byte for byte,
under several locales.
"""

import csv
import datetime
import math
import os
import re
import subprocess
import sys
import tempfile

PROGRAM = os.path.abspath(sys.argv[1])
DATA = os.path.abspath(sys.argv[2])
PUBLISHED = os.path.join(DATA, "as-published")
CFS = 0.028316846592  # m^3/s

failures = []


def run(args, locale="C.UTF-8"):
    env = dict(os.environ, LC_ALL=locale)
    return subprocess.run([PROGRAM] + args, cwd=PUBLISHED, env=env, capture_output=True)


def powell():
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "powell.txt")
        summary = os.path.join(tmp, "summary.csv")
        # zh_CN writes four-digit years and '.' decimals in the result file.
        r = run(["--curve", "powell_capacity_pre2017.csv", "--curve", "powell_capacity_2017.csv@2022-07-01",
                 "--curve-columns", "level=1,storage=2",
                 "--flood", "powell_daily_usbr.csv",
                 "--columns", "time=Date,level=Elevation (feet),outflow=Total Release (cfs),loss=Evaporation (af)",
                 "--units", "level=ft,storage=af,flow=cfs,loss=af", "--missing", "skip",
                 "--outflow", "end", "--bank-storage", "0.08", "--out", out, "--summary", summary],
                locale="zh_CN.UTF-8")
        if r.returncode != 0:
            failures.append("powell: exit %d: %s" % (r.returncode, r.stderr.decode(errors="replace")[-400:]))
            return
        err = r.stderr.decode()
        if "lines at the end taken as notes" not in err or "more records skipped" not in err:
            failures.append("powell: the notes and the skipped records are not told: " + err[-300:])
        # Every record is either in the result or counted as skipped.
        told = sum(1 for l in err.splitlines() if ": skipped: " in l)
        more = re.search(r": (\d+) more records skipped", err)
        skipped = told + (int(more.group(1)) if more else 0)
        items = {row[0]: row[1] for row in csv.reader(open(summary, encoding="utf-8"))}
        results = len(open(out, encoding="utf-8").read().splitlines()) - 2
        lines = sum(1 for l in open(os.path.join(PUBLISHED, "powell_daily_usbr.csv"), encoding="utf-8-sig")) - 1
        print("powell: %d records, %d skipped, 5 note lines, %d lines" % (results, skipped, lines))
        if items.get("skipped_records") != str(skipped) or results + skipped + 5 != lines:
            failures.append("powell: skipped_records %r, %d told; %d results + %d skipped + 5 notes != %d lines"
                            % (items.get("skipped_records"), skipped, results, skipped, lines))
        computed = {}
        with open(out, encoding="utf-8") as f:
            for line in f.read().splitlines()[2:]:
                fields = line.split(",")
                y, m, d = map(int, re.findall(r"\d+", fields[0])[:3])
                if fields[8].strip():
                    computed[datetime.date(y, m, d)] = float(fields[8])
    published = {}
    with open(os.path.join(PUBLISHED, "powell_daily_usbr.csv"), encoding="utf-8-sig") as f:
        for row in csv.reader(f):
            try:
                day = datetime.datetime.strptime(row[0].strip(), "%d-%b-%Y").date()
            except (ValueError, IndexError):
                continue
            if row[4].strip():
                published[day] = float(row[4]) * CFS
    for first, last, bound in [("1983-05-01", "1983-08-31", 0.8), ("2010-01-01", "2022-06-30", 1.7),
                               ("2022-07-01", "2026-01-11", 2.5)]:
        a, b = datetime.date.fromisoformat(first), datetime.date.fromisoformat(last)
        days = [d for d in computed if a <= d <= b and d in published]
        if len(days) < (b - a).days * 0.9:
            failures.append("powell %s..%s: only %d days compared" % (first, last, len(days)))
            continue
        rmse = math.sqrt(sum((computed[d] - published[d]) ** 2 for d in days) / len(days))
        print("powell %s..%s: %d days, RMSE %.3f m^3/s (bound %.1f)" % (first, last, len(days), rmse, bound))
        if not rmse <= bound:
            failures.append("powell %s..%s: RMSE %.3f > %.1f" % (first, last, rmse, bound))


def tankan():
    with tempfile.TemporaryDirectory() as tmp:
        for locale in ["C.UTF-8", "de_DE.UTF-8", "zh_CN.UTF-8"]:
            a, b = os.path.join(tmp, "a.txt"), os.path.join(tmp, "b.txt")
            r1 = run(["--curve", "../tankan_curve.txt", "--flood", "tankan_event_2024072617.csv",
                      "--columns", "time=time,level=level,outflow=outflow", "--out", a], locale)
            r2 = run(["--curve", "../tankan_curve.txt", "--flood", "../tankan_flood.txt", "--out", b], locale)
            if r1.returncode or r2.returncode:
                failures.append("tankan %s: exit %d/%d %s" % (locale, r1.returncode, r2.returncode, r1.stderr[-300:]))
                continue
            same = open(a, "rb").read() == open(b, "rb").read()
            print("tankan %s: %s" % (locale, "identical" if same else "DIFFERENT"))
            if not same:
                failures.append("tankan %s: the published file's result differs from the record's" % locale)


powell()
tankan()
for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
