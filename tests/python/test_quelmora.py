"""The Python module against the batch mode, run on the same files.

The batch mode writes its numbers as the program's four-decimal texts; the
module hands out the doubles themselves. Each value of the module is turned
into text by the program's own formatter (quelmora._number_text, the
function the result file is written with), so a line rebuilt from the arrays
equals the batch mode's line exactly when the two runs made the same numbers.
Beyond the texts, records made from arrays, from a DataFrame and from the
files are computed alike and compared bit for bit.

Run by ctest with PYTHONPATH at the build's python folder, QUELMORA_PROGRAM
the built program and QUELMORA_REALDATA_DIR the real reservoirs' records.
"""

import os
import subprocess
import sys
import threading
from pathlib import Path

import numpy as np
import pytest

import quelmora

PROGRAM = os.environ["QUELMORA_PROGRAM"]
SOURCE = Path(os.environ["QUELMORA_SOURCE_DIR"])
REAL = Path(os.environ["QUELMORA_REALDATA_DIR"])
EXAMPLES = SOURCE / "examples"

try:
    import pandas
except ImportError:
    pandas = None

FIELDS = ("level", "storage", "storage_change", "step", "storage_rate", "outflow", "mean_outflow", "inflow")


def batch(args, cwd=None):
    return subprocess.run([PROGRAM, *args], capture_output=True, cwd=cwd)


def script_number(x):
    # The summary and corrected files write the table's text with '.'.
    return quelmora._number_text(x).replace(",", ".")


def script_time(t):
    return np.datetime_as_string(t, unit="s").replace("T", " ")


def result_lines(result):
    rows = zip(result.time, *(getattr(result, f) for f in FIELDS))
    return [quelmora._stamp_text(t) + "," + "".join(quelmora._number_text(v) + "," for v in values)
            for t, *values in rows]


def summary_lines(summary):
    lines = ["item,value,unit,time"]
    for name, item in summary.items():
        value = "" if item.value is None else (
            str(item.value) if isinstance(item.value, int) else script_number(item.value))
        time = "" if item.time is None else script_time(item.time)
        lines.append(f"{name},{value},{item.unit},{time}")
    return lines


def corrected_lines(result):
    corrected = result.corrected if result.corrected is not None else result.inflow
    return ["time,inflow,corrected_inflow"] + [
        f"{script_time(t)},{script_number(q)},{script_number(c)}"
        for t, q, c in zip(result.time[1:], result.inflow[1:], corrected[1:])]


def text_lines(path):
    return Path(path).read_bytes().decode("utf-8").split("\r\n")[:-1]


def stamps_across_day_zero(tmp_path):
    # Values before 1899-12-30 hold date minus time of day: the conversion
    # from and to datetime64 must follow them.
    lines = ["time,level,outflow"] + [
        f"1899-12-{d:02d} {h:02d}-{m:02d}-00,{524.75 + 0.01 * i},{10 * i}"
        for i, (d, h, m) in enumerate([(29, 0, 0), (29, 18, 30), (30, 0, 0), (30, 6, 15), (31, 23, 59)])]
    path = tmp_path / "day_zero.txt"
    path.write_text("\n".join(lines) + "\n")
    return path


# (name, curve, flood, options as batch mode's, loss field read for the arrays)
CASES = [
    ("examples", EXAMPLES / "curve.txt", EXAMPLES / "flood.txt", {}, None),
    ("examples corrected", EXAMPLES / "curve.txt", EXAMPLES / "flood.txt",
     {"smooth": 3, "negative": "redistribute"}, None),
    ("day zero", EXAMPLES / "curve.txt", stamps_across_day_zero, {"outflow": "end"}, None),
    ("tankan", REAL / "tankan_curve.txt", REAL / "tankan_flood.txt", {}, None),
    ("tankan corrected", REAL / "tankan_curve.txt", REAL / "tankan_flood.txt",
     {"smooth": 5, "negative": "redistribute", "bank_storage": 0.05}, None),
    ("powell 1983 agency balance", REAL / "powell_curve_pre2017_live.txt", REAL / "powell_1983_flood_evap.txt",
     {"outflow": "end", "bank_storage": 0.08, "losses": 4}, 4),
]


@pytest.mark.parametrize("name,curve,flood,options,loss_field", CASES, ids=[c[0] for c in CASES])
def test_same_as_batch_mode(tmp_path, name, curve, flood, options, loss_field):
    if callable(flood):
        flood = flood(tmp_path)
    out, summary, corrected = tmp_path / "result.txt", tmp_path / "summary.csv", tmp_path / "corrected.csv"
    args = ["--curve", str(curve), "--flood", str(flood), "--out", str(out), "--summary", str(summary),
            "--corrected", str(corrected)]
    for key, value in options.items():
        args += ["--" + key.replace("_", "-"), str(value)]
    run = batch(args)
    assert run.returncode == 0, run.stderr.decode()

    result = quelmora.compute(quelmora.read_curve(curve), quelmora.read_record(flood), **options)
    assert result_lines(result) == text_lines(out)[2:]
    assert summary_lines(result.summary) == text_lines(summary)
    assert corrected_lines(result) == text_lines(corrected)
    assert (result.corrected is None) == ("smooth" not in options and "negative" not in options)

    # The same record from arrays, bit for bit; its losses as series.
    record = quelmora.read_record(flood)
    losses = None
    if loss_field:
        losses = np.loadtxt(flood, delimiter=",", skiprows=1, usecols=loss_field - 1, encoding="utf-8")
    from_arrays = quelmora.Record(record.time, record.level, record.outflow, losses=losses)
    assert np.array_equal(from_arrays.time, record.time)
    array_options = {k: v for k, v in options.items() if k != "losses"}
    read = quelmora.read_curve(curve)
    again = quelmora.compute(quelmora.Curve(read.level, read.storage), from_arrays, **array_options)
    for field in FIELDS + ("time",):
        assert np.array_equal(getattr(again, field), getattr(result, field)), field
    if pandas is not None:
        frame = result.to_pandas()
        if losses is not None:
            frame["evaporation"] = losses
        from_frame = quelmora.Record.from_pandas(frame, losses="evaporation" if loss_field else None)
        third = quelmora.compute(quelmora.read_curve(curve), from_frame, **array_options)
        assert np.array_equal(third.inflow, result.inflow)
        assert list(frame.columns[:len(FIELDS)]) == list(FIELDS)


def test_time_round_trip():
    rng = np.random.default_rng(22)
    first = np.datetime64("0001-01-01T00:00:00.000").astype(np.int64)
    last = np.datetime64("9999-12-31T23:59:59.999").astype(np.int64)
    ms = np.concatenate([rng.integers(first, last, 20000),
                         rng.integers(-2209161600000 - 10 * 86400000, -2209161600000 + 10 * 86400000, 20000),
                         [first, last, -2209161600000, -2209161600001]])
    times = ms.astype("datetime64[ms]")
    record = quelmora.Record(times, np.zeros(len(ms)), np.zeros(len(ms)))
    assert np.array_equal(record.time, times)
    # Other units and datetime objects are the same moments.
    near = times[20000:21000]   # within datetime64[ns]
    assert np.array_equal(quelmora.Record(near.astype("datetime64[ns]"), np.zeros(1000), np.zeros(1000)).time, near)
    assert np.array_equal(quelmora.Record(list(near[:10].astype(object)), np.zeros(10), np.zeros(10)).time, near[:10])
    for bad in (np.array(["2020-01-01T00:00:00.0001"], "datetime64[us]"), np.array(["NaT"], "datetime64[ms]")):
        with pytest.raises(ValueError):
            quelmora.Record(bad, [1.0], [1.0])


def bad_level_file(tmp_path):
    path = tmp_path / "bad.txt"
    path.write_text("time,level,outflow\n2007-07-29 00-00-00,524.75,0\n2007-07-29 06-00-00,5x4,9\n")
    return path


def outside_curve_file(tmp_path):
    path = tmp_path / "outside.txt"
    path.write_text("time,level,outflow\n2007-07-29 00-00-00,524.75,0\n2007-07-29 06-00-00,600,9\n")
    return path


# (name, batch arguments, the same in Python, the failing line or None)
ERRORS = [
    ("missing file", lambda p: ["--flood", str(p / "none.txt")],
     lambda p: quelmora.read_record(p / "none.txt"), None),
    ("bad line", lambda p: ["--flood", str(bad_level_file(p))],
     lambda p: quelmora.read_record(bad_level_file(p)), 3),
    ("outside the curve", lambda p: ["--flood", str(outside_curve_file(p))],
     lambda p: quelmora.compute(quelmora.read_curve(EXAMPLES / "curve.txt"),
                                quelmora.read_record(outside_curve_file(p))), 3),
    ("bad option value", lambda p: ["--flood", str(EXAMPLES / "flood.txt"), "--smooth", "4"],
     lambda p: quelmora.compute(quelmora.read_curve(EXAMPLES / "curve.txt"),
                                quelmora.read_record(EXAMPLES / "flood.txt"), smooth=4), None),
    ("bad option value 2", lambda p: ["--flood", str(EXAMPLES / "flood.txt"), "--bank-storage", "-1"],
     lambda p: quelmora.compute(quelmora.read_curve(EXAMPLES / "curve.txt"),
                                quelmora.read_record(EXAMPLES / "flood.txt"), bank_storage=-1), None),
]


@pytest.mark.parametrize("name,args,call,line", ERRORS, ids=[e[0] for e in ERRORS])
def test_errors_as_batch_mode(tmp_path, name, args, call, line):
    run = batch(["--curve", str(EXAMPLES / "curve.txt"), *args(tmp_path), "--out", str(tmp_path / "r.txt")])
    assert run.returncode != 0
    said = run.stderr.decode().splitlines()
    with pytest.raises(quelmora.Error) as caught:
        call(tmp_path)
    error = caught.value
    assert isinstance(error, ValueError)
    assert "quelmora: " + str(error) == said[0]
    if line is None:
        assert (error.file, error.line) == (None, None)
    else:
        assert error.line == line and said[1].startswith(f"quelmora: {error.file}:{line}:")


def test_arrays_failure_names_the_record():
    curve = quelmora.read_curve(EXAMPLES / "curve.txt")
    times = np.array(["2007-07-29T00", "2007-07-29T06", "2007-07-29T07"], "datetime64[ms]")
    with pytest.raises(quelmora.Error) as caught:
        quelmora.compute(curve, quelmora.Record(times, [524.75, 524.8, 900.0], [0, 9, 9]))
    assert (caught.value.record, caught.value.file) == (2, None)
    with pytest.raises(quelmora.Error, match="'' is not a valid floating point value"):
        quelmora.compute(curve, quelmora.Record(times, [524.75, 524.8, 524.9], [0, 9, 9],
                                                losses=[1.0, np.nan, 2.0]))


def test_computations_in_threads_agree():
    curve = quelmora.read_curve(REAL / "powell_curve_pre2017_live.txt")
    record = quelmora.read_record(REAL / "powell_1983_flood_evap.txt")
    results = [None] * 4

    def work(k):
        results[k] = quelmora.compute(curve, record, outflow="end", bank_storage=0.02 * (k % 2), losses=4)

    seen = []

    def look():
        # The record read while it is being computed on: no deadlock.
        seen.extend(len(record.level) for _ in range(50))

    threads = [threading.Thread(target=work, args=(k,)) for k in range(4)]
    threads += [threading.Thread(target=look) for _ in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert seen == [123] * 100
    assert np.array_equal(results[0].inflow, results[2].inflow)
    assert np.array_equal(results[1].inflow, results[3].inflow)
    assert not np.array_equal(results[0].inflow, results[1].inflow)


def test_without_pandas(monkeypatch):
    result = quelmora.compute(quelmora.read_curve(EXAMPLES / "curve.txt"), quelmora.read_record(EXAMPLES / "flood.txt"))
    monkeypatch.setitem(sys.modules, "pandas", None)
    with pytest.raises(ImportError, match="python3-pandas"):
        result.to_pandas()


AS_PUBLISHED = REAL / "as-published"
@pytest.mark.parametrize("columns", ["time=time,level=level,outflow=outflow",
                                     {"time": "time", "level": 3, "outflow": "OUTFLOW"}])
def test_columns_by_heading(columns):
    mapped = quelmora.read_record(AS_PUBLISHED / "tankan_event_2024072617.csv", columns=columns)
    plain = quelmora.read_record(REAL / "tankan_flood.txt")
    for field in ("time", "level", "outflow"):
        assert np.array_equal(getattr(mapped, field), getattr(plain, field))


def test_units_convert_exactly():
    from fractions import Fraction
    curve = quelmora.read_curve(EXAMPLES / "curve.txt", units={"level": "ft", "storage": "af"})
    rows = [line.split(",") for line in (EXAMPLES / "curve.txt").read_text("utf-8").splitlines()[1:]]
    assert list(curve.level) == [float(Fraction(z) * Fraction("0.3048")) for z, _ in rows]
    assert list(curve.storage) == [float(Fraction(v) * Fraction("1233.48183754752") / 10**8) for _, v in rows]


def test_passed_over_warned_as_batch_mode(tmp_path):
    # The agency's daily file: 292 records with a gap, 5 lines of notes.
    flood = AS_PUBLISHED / "powell_daily_usbr.csv"
    columns = "time=Date,level=Elevation (feet),outflow=Total Release (cfs)"
    with pytest.warns(quelmora.ReadWarning) as caught:
        record = quelmora.read_record(flood, columns=columns, units="level=ft,flow=cfs", missing="skip")
    told = batch(["--curve", str(AS_PUBLISHED / "powell_capacity_pre2017.csv"), "--curve-columns",
                  "level=1,storage=2", "--flood", str(flood), "--columns", columns,
                  "--units", "level=ft,storage=af,flow=cfs", "--missing", "skip", "--out", str(tmp_path / "r.txt")])
    assert told.returncode == 0, told.stderr
    batch_lines = [l.removeprefix("quelmora: ") for l in told.stderr.decode().splitlines()
                   if ": skipped: " in l or "more records skipped" in l or "taken as notes" in l]
    # 20 skipped records listed, the count of the others, the notes.
    assert len(batch_lines) == 22
    assert [str(w.message) for w in caught] == batch_lines
    assert len(record) == 22661


def test_workbooks_read_as_their_csv_tables():
    """A sheet (FILE.xlsx#SHEET, title rows above the heading) and a workbook
    LibreOffice made read as the CSV tables they came from, to the bit."""
    published = REAL / "as-published"
    columns = {"level": "Elevation (ft)", "storage": "Live Storage (ac-ft)"}
    units = {"level": "ft", "storage": "af"}
    sheet = quelmora.read_curve(f"{published / 'powell_area_capacity.xlsx'}#Pre2017Bathymetry", columns=columns,
                                units=units)
    table = quelmora.read_curve(published / "powell_capacity_pre2017.csv", columns=columns, units=units)
    assert len(sheet.level) == len(table.level) > 600
    assert np.array_equal(sheet.level, table.level) and np.array_equal(sheet.storage, table.storage)
    data = SOURCE / "tests" / "data" / "workbook"
    book = quelmora.read_record(data / "flood_hourly.xlsx")
    csv = quelmora.read_record(data / "flood_hourly.csv")
    for field in ("time", "level", "outflow"):
        assert np.array_equal(getattr(book, field), getattr(csv, field)), field
    with pytest.raises(quelmora.Error, match="no such sheet"):
        quelmora.read_record(f"{data / 'flood_hourly.xlsx'}#Missing")
