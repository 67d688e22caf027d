#!/usr/bin/env python3
"""openpyxl, the workbook library of Python notebooks, against Quelmora's
workbook layer both ways:

1. a document written by Quelmora (``workbook_probe sample``) must read in
   openpyxl with every cell as written: numbers to the last bit, texts
   exactly, date cells as the same datetimes;
2. workbooks written by openpyxl (1900 and 1904 date systems) must read in
   Quelmora (``workbook_probe dump``) with the numbers openpyxl stored
   (it stores 16 significant digits).

Usage: openpyxl_check.py PATH/TO/workbook_probe
"""

import datetime
import json
import os
import subprocess
import sys
import tempfile

import openpyxl
from openpyxl.utils.datetime import MAC_EPOCH, WINDOWS_EPOCH, to_excel

PROBE = sys.argv[1]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def ours_in_openpyxl(folder):
    path = os.path.join(folder, "ours.xlsx")
    run = subprocess.run([PROBE, "sample", path], check=True, capture_output=True, text=True)
    expected = json.loads(run.stdout)
    book = openpyxl.load_workbook(path)
    check(book.sheetnames == [s["name"] for s in expected], f"sheet names {book.sheetnames}")
    for sheet in expected:
        ws = book[sheet["name"]]
        want = {(r, c): (kind, value) for r, c, kind, value in sheet["cells"] if value != ""}
        have = {(cell.row, cell.column) for row in ws.iter_rows() for cell in row if cell.value is not None}
        check(have == set(want), f"{sheet['name']}: cells {sorted(have ^ set(want))} differ")
        for (r, c), (kind, value) in want.items():
            got = ws.cell(r, c).value
            where = f"{sheet['name']}!{ws.cell(r, c).coordinate}"
            if kind == "number":
                check(type(got) in (int, float) and float(got) == value, f"{where}: {got!r} != {value!r}")
            elif kind == "text":
                check(got == value, f"{where}: {got!r} != {value!r}")
            else:
                y, mo, d, h, mi, s, ms = value
                stamp = datetime.datetime(y, mo, d, h, mi, s, ms * 1000)
                check(got == stamp, f"{where}: {got!r} != {stamp!r}")


def openpyxl_in_ours(folder):
    stamps = [datetime.datetime(2024, 7, 24, 14, 0), datetime.datetime(1983, 6, 1),
              datetime.datetime(2026, 1, 11, 23, 59, 59, 500000)]
    numbers = [3490.5, 0.1 + 0.2, 1 / 3, 1e-300, -25551145.78, 123456789012345678, 0.027, -0.0]
    for epoch in (WINDOWS_EPOCH, MAC_EPOCH):
        path = os.path.join(folder, f"openpyxl-{epoch.year}.xlsx")
        book = openpyxl.Workbook()
        book.epoch = epoch
        ws = book.active
        ws.title = "曲线"
        ws.append(["Elevation (ft)", "库容 (亿m³)", "time"])
        for i, (n, t) in enumerate(zip(numbers, stamps * 3)):
            ws.append([n, f"text {i} 水位", t])
        ws["E1"] = True
        ws["E2"] = "=A2*2"  # a formula without a stored result: no value
        book.create_sheet("Second")["A1"] = 1
        book.save(path)

        run = subprocess.run([PROBE, "dump", path], check=True, capture_output=True, text=True)
        sheet = json.loads(run.stdout)
        cells = {(r, c): (kind, date, number, text) for r, c, kind, date, number, text, _ in sheet["cells"]}
        where = f"1904={epoch == MAC_EPOCH}"
        check(sheet["name"] == "曲线" and sheet["date1904"] == (epoch == MAC_EPOCH), f"{where}: sheet {sheet['name']}")
        check(cells[(1, 2)] == ("text", False, 0, "库容 (亿m³)"), f"{where}: B1 {cells[(1, 2)]}")
        check(cells[(1, 5)][:3] == ("boolean", False, 1), f"{where}: E1 {cells[(1, 5)]}")
        check((2, 5) not in cells, f"{where}: E2 {cells.get((2, 5))}")
        for i, (n, t) in enumerate(zip(numbers, stamps * 3)):
            r = i + 2
            # openpyxl stores numbers with 16 significant digits ("%.16g"):
            # what it stored is what must come back.
            kind, date, number, text = cells[(r, 1)]
            stored = float("%.16g" % n)
            check(kind == "number" and not date and number == stored and float(text) == stored,
                  f"{where}: A{r} {cells[(r, 1)]} != {stored!r}")
            check(cells[(r, 2)][3] == f"text {i} 水位", f"{where}: B{r} {cells[(r, 2)]}")
            # The serial openpyxl stored, moved to the 1899-12-30 epoch.
            serial = float("%.16g" % to_excel(t, epoch)) + (1462 if epoch == MAC_EPOCH else 0)
            kind, date, number, text = cells[(r, 3)]
            check(kind == "number" and date and number == serial, f"{where}: C{r} {cells[(r, 3)]} != {serial!r}")


with tempfile.TemporaryDirectory() as folder:
    ours_in_openpyxl(folder)
    openpyxl_in_ours(folder)

for failure in failures:
    print("FAILED:", failure)
print("openpyxl_check:", "ok" if not failures else f"{len(failures)} failures")
sys.exit(1 if failures else 0)
