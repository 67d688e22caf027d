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
import warnings
from fractions import Fraction
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


def examples(**options):
    return quelmora.compute(quelmora.read_curve(EXAMPLES / "curve.txt"), quelmora.read_record(EXAMPLES / "flood.txt"),
                            **options)


# The long-record checks' refusals: (name, batch's options, compute's).
for name, args, options in [
        ("repair with nothing to mend", ["--repair"], {"repair": True}),
        ("two smoothings", ["--smooth", "3", "--smooth-tolerance", "10"], {"smooth": 3, "smooth_tolerance": 10}),
        ("tolerance not positive", ["--smooth-tolerance", "0"], {"smooth_tolerance": 0}),
        ("spike not positive", ["--spike", "-0.5"], {"spike": -0.5}),
        ("resolution not a number", ["--gauge-resolution", "1 mm"], {"gauge_resolution": "1 mm"}),
        ("water year start unused", ["--water-year-start", "4"], {"water_year_start": 4}),
        ("water year start not a month", ["--negative", "scale:water-year", "--water-year-start", "13"],
         {"negative": "scale:water-year", "water_year_start": 13}),
        ("reference columns alone", ["--compare-columns", "time=1,value=2"], {"reference_columns": "time=1,value=2"}),
        ("reference missing", ["--compare", "none.csv"], {"reference": "none.csv"})]:
    ERRORS.append((name, lambda p, args=args: ["--flood", str(EXAMPLES / "flood.txt"), *args],
                   lambda p, options=options: examples(**options), None))
ERRORS.append(("unknown period", lambda p: ["--flood", str(EXAMPLES / "flood.txt"), "--summary-by", "week", "w.csv"],
               lambda p: examples().periods("week"), None))


@pytest.mark.parametrize("name,args,call,line", ERRORS, ids=[e[0] for e in ERRORS])
def test_errors_as_batch_mode(tmp_path, monkeypatch, name, args, call, line):
    monkeypatch.chdir(tmp_path)
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


# ---------------------------------------------------------------- long records

POWELL = REAL / "powell_1963_2026_flood.txt"
# The agency's curve with its area column (the gauge noise takes the lake's
# area from it) and its daily file, in their units.
AGENCY_CURVE = {"columns": "level=1,storage=2,area=4", "units": "level=ft,storage=af,area=acres"}
AGENCY = {"columns": "time=Date,level=Elevation (feet),outflow=Total Release (cfs)", "units": "level=ft,flow=cfs",
          "missing": "skip"}
# The program's unit of each unit batch mode writes in, and its size in it.
UNITS = {"ft": ("m", Fraction(381, 1250)), "cfs": ("m^3/s", Fraction(381, 1250) ** 3),
         "af": ("10^8m^3", Fraction("1233.48183754752") / 10**8)}


def agency_with_gaps(tmp_path):
    # Levels and outflows blanked inside the record, for the repair to bring
    # back (the file's own gaps all lie before its first level).
    lines = (AS_PUBLISHED / "powell_daily_usbr.csv").read_text("utf-8").split("\n")
    for number, fields in ((8001, (1,)), (8002, (1,)), (12000, (9,)), (15000, (1, 9))):
        cells = lines[number - 1].split(",")
        lines[number - 1] = ",".join(" " if f in fields else c for f, c in enumerate(cells))
    (tmp_path / "gaps.csv").write_text("\n".join(lines), "utf-8")
    return tmp_path / "gaps.csv"


def month_drained(tmp_path):
    # Days on the examples' curve: June fills, July drains with no outflow (a
    # month of negative volume), August rises in jumps with falls between.
    days = np.arange("2007-06-01", "2007-09-01", dtype="datetime64[D]")
    month = days.astype("datetime64[M]").astype(int) % 12
    levels = 505 + np.cumsum(np.choose(month - 5, [0.05, -0.1, 0]) + (month == 7) * np.where(np.arange(92) % 2, 0.7, -0.6))
    lines = ["time,level,outflow"] + [f"{d} 00-00-00,{z:.4f},{0 if m == 6 else 50}" for d, z, m in zip(days, levels, month)]
    (tmp_path / "drained.txt").write_text("\n".join(lines) + "\n")
    return tmp_path / "drained.txt"


def in_unit(x, unit):
    """A value in the program's units as batch mode writes it in `unit` (one
    rounding)."""
    return float(Fraction(x) / UNITS[unit][1]) if unit in UNITS and np.isfinite(x) else x


def heading_unit(heading):
    name, _, unit = heading.rpartition("_")
    return (name, unit) if unit in UNITS or unit in ("m", "1e8m3", "s", "m3s") else (heading, "")


# (name, curve and its options, flood (a path or a function making one) and
# read_record's options, compute's options with lengths in the flood's level
# unit, --summary-by period)
LONG_CASES = [
    ("spikes repaired, noise, water years scaled", (REAL / "powell_curve_pre2017_live.txt", {}), POWELL, {},
     {"spike": 0.2, "repair": True, "gauge_resolution": 0.003048, "negative": "scale:water-year"}, "water-year"),
    ("held smoother, redistributed", (REAL / "powell_curve_pre2017_live.txt", {}), POWELL, {},
     {"smooth_tolerance": 10, "negative": "redistribute", "gauge_resolution": 0.003048}, "year"),
    ("spikes flagged, April water years", (REAL / "powell_curve_pre2017_live.txt", {}), POWELL, {},
     {"spike": 0.2, "negative": "scale:water-year", "water_year_start": 4}, "water-year"),
    ("agency balance against its published inflow", (REAL / "powell_curve_pre2017_live.txt", {}),
     REAL / "powell_1983_flood_evap.txt", {},
     {"outflow": "end", "bank_storage": 0.08, "losses": 4, "reference": REAL / "powell_1983_published.csv",
      "reference_columns": "time=time,value=published_inflow_m3s", "smooth_tolerance": 5}, "month"),
    ("agency file, gaps and spikes repaired", (AS_PUBLISHED / "powell_capacity_pre2017.csv", AGENCY_CURVE),
     agency_with_gaps, AGENCY, {"spike": 0.6, "repair": True, "gauge_resolution": 0.01, "negative": "scale:month"},
     "water-year"),
    ("a month of negative volume", (EXAMPLES / "curve.txt", {}), month_drained, {},
     {"negative": "scale:month", "gauge_resolution": 0.01}, "month"),
]


@pytest.mark.parametrize("name,curve,flood,read_options,options,period", LONG_CASES, ids=[c[0] for c in LONG_CASES])
def test_long_record_checks_as_batch_mode(tmp_path, name, curve, flood, read_options, options, period):
    """The arrays, flags, summary, periods and warnings against batch mode's
    --out, --table, --summary and --summary-by, on a record computed with
    other choices first: a record computed again is a record read afresh."""
    flood = flood(tmp_path) if callable(flood) else flood
    (curve, curve_options), feet = curve, "level=ft" in read_options.get("units", "")
    files = {k: tmp_path / k for k in ("out", "table", "summary", "periods")}
    args = ["--curve", str(curve), "--flood", str(flood), "--out", str(files["out"]), "--table", str(files["table"]),
            "--summary", str(files["summary"]), "--summary-by", period, str(files["periods"])]
    if curve_options:
        args += ["--curve-columns", curve_options["columns"], "--units", curve_options["units"] + ",flow=cfs"]
    options_named = {"reference": "compare", "reference_columns": "compare-columns", "units": None}
    for key, value in [*read_options.items(), *options.items()]:
        if options_named.get(key, key):
            args.append("--" + options_named.get(key, key).replace("_", "-") + ("" if value is True else f"={value}"))
    run = batch(args)
    assert run.returncode == 0, run.stderr.decode()
    told = [line.removeprefix("quelmora: ") for line in run.stderr.decode().splitlines()
            if "the period's inflow volume is negative" in line]

    with warnings.catch_warnings():
        warnings.simplefilter("ignore", quelmora.ReadWarning)
        record = quelmora.read_record(flood, **read_options)
    curve = quelmora.read_curve(curve, **curve_options)
    as_read = (record.time, record.level, record.outflow)
    quelmora.compute(curve, record, spike=0.05, repair=True)
    # Lengths batch mode reads in feet, as it reads them (long double).
    metres = {k: float(np.longdouble(v) * 381 / 1250) if feet and k in ("spike", "gauge_resolution") else v
              for k, v in options.items()}
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always", RuntimeWarning)
        result = quelmora.compute(curve, record, **metres)
    assert [str(w.message) for w in caught if w.category is RuntimeWarning] == told
    assert all(np.array_equal(a, b) for a, b in zip((record.time, record.level, record.outflow), as_read))
    if "reference" in options:
        # The reference as arrays is the reference as a file.
        rows = [line.split(",")[:2] for line in Path(options["reference"]).read_text().splitlines()[1:]]
        arrays = ([np.datetime64(t.replace(" ", "T")) for t, _ in rows], [float(v) for _, v in rows])
        plain = {k: v for k, v in options.items() if not k.startswith("reference")}
        assert quelmora.compute(curve, record, **plain, reference=arrays).summary == result.summary

    assert result_lines(result) == text_lines(files["out"])[2:]
    summary = [line.split(",") for line in text_lines(files["summary"])[1:]]
    assert [line[0] for line in summary] == list(result.summary)
    for (name, value, unit, time), item in zip(summary, result.summary.values()):
        assert item.unit == UNITS.get(unit, (unit,))[0], name
        assert value == ("" if item.value is None else str(item.value) if isinstance(item.value, int)
                         else script_number(in_unit(item.value, unit))), name
        assert time == ("" if item.time is None else script_time(item.time)), name

    heading, *rows = [line.split(",") for line in text_lines(files["periods"])]
    columns = [heading_unit(h) for h in heading]
    periods = result.periods(period)
    assert [["" if row[k] is None else script_time(row[k]) if isinstance(row[k], np.datetime64)
             else str(row[k]) if isinstance(row[k], (int, str)) else script_number(in_unit(row[k], unit))
             for k, unit in columns] for row in periods] == rows
    assert list(periods.to_pandas().reset_index().columns) == [k for k, _ in columns]

    # The table's doubles exactly; a record skipped and not brought back has a
    # row there, none in the result.
    heading, *table = [line.split(",") for line in Path(files["table"]).read_text("utf-8").splitlines()]
    screened = "spike" in options or "repair" in options
    table = [cells for cells in table if cells[-1] != "skipped"]
    assert (list(result.flag) if screened else result.flag) == ([c[-1] for c in table] if screened else None)
    assert (result.sigma is None) == ("gauge_resolution" not in options)
    assert [c[0] for c in table] == list(np.datetime_as_string(result.time, unit="s"))
    names = {"outflow_term": "mean_outflow", "corrected_inflow": "corrected"}
    for k, (key, unit) in [(k, heading_unit(h)) for k, h in enumerate(heading) if h not in ("time", "flag")]:
        values = getattr(result, names.get(key, key)).copy()
        values[0] = values[0] if key in ("level", "storage", "outflow") else np.nan   # the first has no step
        assert np.array_equal([np.nan if c[k] == "" else float(c[k]) for c in table],
                              [in_unit(v, unit) for v in values], equal_nan=True), key
    if pandas is not None and screened:
        assert list(result.to_pandas()["flag"]) == list(result.flag)


def test_powell_long_record_figures():
    curve = quelmora.read_curve(REAL / "powell_curve_pre2017_live.txt")
    record = quelmora.read_record(POWELL)
    spikes = quelmora.compute(curve, record, spike=0.2)
    flagged = np.flatnonzero(spikes.flag == "spike")
    assert list(np.datetime_as_string(spikes.time[flagged], unit="D")) == ["1973-09-29", "1985-08-02"]
    assert np.allclose(spikes.inflow[flagged[1]:flagged[1] + 2], [-1789.2, 2770.3], atol=0.05)
    repaired = quelmora.compute(curve, record, spike=0.2, repair=True)
    assert np.allclose(repaired.inflow[flagged[1]:flagged[1] + 2], [500.5, 480.7], atol=0.05)
    assert abs(repaired.summary["inflow_volume"].value - 7328.1564) <= 0.001
    noise = quelmora.compute(curve, record, gauge_resolution=0.003048).summary
    assert [noise[k].value for k in ("negative_inflow_steps", "negative_within_noise", "negative_beyond_noise")] == \
        [84, 22, 62]
