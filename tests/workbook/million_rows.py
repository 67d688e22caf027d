#!/usr/bin/env python3
"""A sheet of a million records read by the program holds one row at a time:
its peak memory (RSS) stays within a bound of the same record's as CSV,
whatever the sheet's size. Times, not checked here, are the benchmarks' job.

    million_rows.py PROGRAM SOURCE_DIR [ROWS]
"""

import math
import os
import subprocess
import sys
import tempfile
import zipfile

PROGRAM = os.path.abspath(sys.argv[1])
CURVE = os.path.join(os.path.abspath(sys.argv[2]), "examples", "curve.txt")
ROWS = int(sys.argv[3]) if len(sys.argv) > 3 else 1_000_000
MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
RELS = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG = "http://schemas.openxmlformats.org/package/2006/relationships"
BOUND_MIB = 48   # beyond the CSV run's peak


def records():
    day0 = 39292.0   # 2007-07-29
    for k in range(ROWS):
        # Hourly, in whole seconds' serials as a spreadsheet stores them.
        yield day0 + k / 24.0, 511 + 14 * math.sin(k / 5000.0), 100 + (k % 997)


def write(tmp):
    csv = os.path.join(tmp, "flood.csv")
    book = os.path.join(tmp, "flood.xlsx")
    with open(csv, "w") as f:
        f.write("time,level,outflow\n")
        for t, z, q in records():
            days = int(t)
            seconds = round((t - days) * 86400)
            f.write("%s,%.4f,%d\n" % (stamp(days, seconds), z, q))
    with zipfile.ZipFile(book, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("_rels/.rels", '<Relationships xmlns="%s"><Relationship Id="r1" Type="%s/officeDocument" '
                   'Target="xl/workbook.xml"/></Relationships>' % (PKG, RELS))
        z.writestr("xl/workbook.xml", '<workbook xmlns="%s" xmlns:r="%s"><sheets><sheet name="Flood" sheetId="1" '
                   'r:id="r1"/></sheets></workbook>' % (MAIN, RELS))
        z.writestr("xl/_rels/workbook.xml.rels", '<Relationships xmlns="%s"><Relationship Id="r1" Type="%s/worksheet" '
                   'Target="worksheets/sheet1.xml"/><Relationship Id="r2" Type="%s/styles" Target="styles.xml"/>'
                   '</Relationships>' % (PKG, RELS, RELS))
        z.writestr("xl/styles.xml", '<styleSheet xmlns="%s"><cellXfs><xf numFmtId="0"/><xf numFmtId="22"/>'
                   '</cellXfs></styleSheet>' % MAIN)
        with z.open("xl/worksheets/sheet1.xml", "w", force_zip64=True) as s:
            s.write(('<worksheet xmlns="%s"><sheetData><row r="1"><c t="inlineStr"><is><t>time</t></is></c>'
                     '<c t="inlineStr"><is><t>level</t></is></c><c t="inlineStr"><is><t>outflow</t></is></c></row>'
                     % MAIN).encode())
            chunk = []
            for k, (t, z_, q) in enumerate(records()):
                days = int(t)
                seconds = round((t - days) * 86400)
                chunk.append('<row r="%d"><c s="1"><v>%.10f</v></c><c><v>%.4f</v></c><c><v>%d</v></c></row>'
                             % (k + 2, days + seconds / 86400.0, z_, q))
                if len(chunk) == 10000:
                    s.write("".join(chunk).encode())
                    chunk = []
            s.write(("".join(chunk) + "</sheetData></worksheet>").encode())
    return csv, book


def stamp(days, seconds):
    import datetime
    d = datetime.datetime(1899, 12, 30) + datetime.timedelta(days=days, seconds=seconds)
    return d.strftime("%Y-%m-%d %H:%M:%S")


def peak(args):
    """Runs the program; its exit code and peak RSS in MiB."""
    env = dict(os.environ, LC_ALL="C.UTF-8")
    # Under AddressSanitizer freed blocks wait in its quarantine (256 MiB by
    # default): the peak would measure that, not what the reader holds.
    if "ASAN_OPTIONS" in env:
        env["ASAN_OPTIONS"] += ":quarantine_size_mb=4:thread_local_quarantine_size_kb=64"
    p = subprocess.Popen([PROGRAM] + args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(p.pid, 0)
    err = p.stderr.read().decode(errors="replace")
    return os.waitstatus_to_exitcode(status), usage.ru_maxrss / 1024.0, err


with tempfile.TemporaryDirectory() as tmp:
    csv, book = write(tmp)
    out_csv, out_book = os.path.join(tmp, "a.txt"), os.path.join(tmp, "b.txt")
    rc_csv, rss_csv, err_csv = peak(["--curve", CURVE, "--flood", csv, "--out", out_csv])
    rc_book, rss_book, err_book = peak(["--curve", CURVE, "--flood", book, "--out", out_book])
    print("%d records: CSV %.1f MiB, workbook %.1f MiB (%.1f MB sheet file)"
          % (ROWS, rss_csv, rss_book, os.path.getsize(book) / 1e6))
    failures = []
    if rc_csv or rc_book:
        failures.append("exit %d / %d: %s %s" % (rc_csv, rc_book, err_csv[-300:], err_book[-300:]))
    elif open(out_csv, "rb").read() != open(out_book, "rb").read():
        failures.append("the results differ")
    if rss_book > rss_csv + BOUND_MIB:
        failures.append("the workbook's peak %.1f MiB exceeds the CSV's %.1f + %d MiB" % (rss_book, rss_csv, BOUND_MIB))
    for f in failures:
        print("FAIL:", f)
    sys.exit(1 if failures else 0)
