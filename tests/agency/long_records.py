#!/usr/bin/env python3
"""Lake Powell's 62 years through the real program: the screening, the gauge's
noise, the scaling per water year, the smoother held to the gauge and the
comparison with the agency's series, each against the figures a hydrologist
checks them by.

    long_records.py PROGRAM REALDATA_DIR
"""

import csv
import io
import os
import subprocess
import sys
import tempfile

PROGRAM = os.path.abspath(sys.argv[1])
DATA = os.path.abspath(sys.argv[2])
CURVE = os.path.join(DATA, "powell_curve_pre2017_live.txt")
FLOOD = os.path.join(DATA, "powell_1963_2026_flood.txt")
TMP = tempfile.mkdtemp()
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def run(*args, status=0, flood=FLOOD):
    base = ["--curve", CURVE, "--flood", flood] if flood else ["--curve", CURVE]
    r = subprocess.run([PROGRAM] + base + list(args), capture_output=True, env=dict(os.environ, LC_ALL="C.UTF-8"))
    if r.returncode != status:
        failures.append("%s: exit %d: %s" % (" ".join(args), r.returncode, r.stderr.decode(errors="replace")[-300:]))
    return r


def summary(text):
    return {row["item"]: row for row in csv.DictReader(io.StringIO(text))}


def table(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def num(row, item):
    return float(row[item]["value"])


def water_year(time):
    y, m = int(time[:4]), int(time[5:7])
    return y + 1 if m >= 10 else y


def screening():
    t = os.path.join(TMP, "plain.csv")
    run("--out", os.path.join(TMP, "r0"), "--spike", "0.2", "--table", t)
    rows = table(t)
    flagged = [r["time"][:10] for r in rows if r["flag"]]
    check(flagged == ["1973-09-29", "1985-08-02"], "--spike 0.2 flags %s" % flagged)
    plain = {r["time"][:10]: float(r["inflow_m3s"]) for r in rows[1:]}
    check(abs(plain["1985-08-02"] + 1789.2) < 0.1 and abs(plain["1985-08-03"] - 2770.3) < 0.1,
          "plain inflows of 1985-08-02/03: %.1f %.1f" % (plain["1985-08-02"], plain["1985-08-03"]))

    t = os.path.join(TMP, "repaired.csv")
    r = run("--out", os.path.join(TMP, "r1"), "--spike", "0.2", "--repair", "--table", t, "--summary", "-")
    rows = table(t)
    check([r["time"][:10] for r in rows if r["flag"] == "repaired"] == ["1973-09-29", "1985-08-02"],
          "--repair marks both records repaired")
    q = {r["time"][:10]: float(r["inflow_m3s"]) for r in rows[1:]}
    check(abs(q["1985-08-02"] - 500.5) < 0.1 and abs(q["1985-08-03"] - 480.7) < 0.1,
          "repaired inflows of 1985-08-02/03: %.2f %.2f" % (q["1985-08-02"], q["1985-08-03"]))
    s = summary(r.stdout.decode())
    check(abs(num(s, "inflow_volume") - 7328.1564) <= 0.001, "volume after repair %s" % s["inflow_volume"]["value"])
    told = r.stderr.decode()
    check(told.count(": spike: level") == 2 and "powell_1963_2026_flood.txt:7890:" in told,
          "the spikes are told with their lines")

    r = run("--check", "--spike", "0.2", status=1, flood=FLOOD)
    lines = r.stdout.decode().splitlines()
    check(len(lines) == 2 and ":3565: warning: spike" in lines[0] and ":7890: warning: spike" in lines[1],
          "--check lists the two spikes as warnings: %s" % lines)


def noise():
    r = run("--out", os.path.join(TMP, "r2"), "--gauge-resolution", "0.003048", "--summary", "-")
    s = summary(r.stdout.decode())
    got = (s["negative_inflow_steps"]["value"], s["negative_within_noise"]["value"], s["negative_beyond_noise"]["value"])
    check(got == ("84", "22", "62"), "negative / within / beyond noise: %s" % (got,))


def water_years():
    t, by = os.path.join(TMP, "wy.csv"), os.path.join(TMP, "by.csv")
    run("--out", os.path.join(TMP, "r3"), "--negative", "scale:water-year", "--table", t, "--summary-by", "water-year", by)
    rows = table(t)[1:]
    periods = table(by)
    check(len(periods) == 63, "63 water years (%d)" % len(periods))
    with_negative = [p["period"] for p in periods if int(p["negative_inflow_steps"]) > 0]
    check(len(with_negative) == 32, "%d water years with negative days" % len(with_negative))
    check(all(float(r["corrected_inflow_m3s"]) >= 0 for r in rows), "no negative day left")
    volume, kept = {}, {}
    worst = (1.0, None)
    for r in rows:
        y, q, c, dt = water_year(r["time"]), float(r["inflow_m3s"]), float(r["corrected_inflow_m3s"]), float(r["step_s"])
        volume[y] = volume.get(y, 0.0) + q * dt / 1e8
        kept[y] = kept.get(y, 0.0) + c * dt / 1e8
        if q > 0 and c / q < worst[0]:
            worst = (c / q, y)
    check(max(abs(volume[y] - kept[y]) for y in volume) <= 1e-4, "each water year keeps its volume")
    check(worst[1] == 1982 and abs((1 - worst[0]) * 100 - 1.02) < 0.01,
          "largest scaling down %.3f %% in WY%s" % ((1 - worst[0]) * 100, worst[1]))
    per_wy = {int(p["period"][2:]): float(p["inflow_volume"]) for p in periods}
    check(all(abs(per_wy[y] - volume[y]) < 1e-3 for y in volume), "--summary-by's volumes are the table's")


def held():
    t = os.path.join(TMP, "held.csv")
    r = run("--out", os.path.join(TMP, "r4"), "--smooth-tolerance", "10", "--table", t, "--summary", "-")
    s = summary(r.stdout.decode())
    rows = table(t)[1:]
    negative = sum(1 for r in rows if float(r["corrected_inflow_m3s"]) < 0)
    check(negative == 0, "--smooth-tolerance 10 leaves %d negative days" % negative)
    check(num(s, "smooth_rms_departure") <= 0.010, "RMS departure %s m" % s["smooth_rms_departure"]["value"])
    check(abs(num(s, "inflow_volume_corrected") - num(s, "inflow_volume")) <= 0.01, "volume kept")
    largest = s["smooth_largest_departure"]
    print("     peak %s, largest departure %s m on %s, %s solves" % (s["peak_inflow_corrected"]["value"],
          largest["value"], largest["time"], s["smooth_solves"]["value"]))
    check(largest["time"].startswith("1985-08-02"), "the largest departure is at the spike")


def comparison():
    r = run("--losses", "4", "--outflow", "end", "--bank-storage", "0.08", "--out", os.path.join(TMP, "r5"),
            "--compare", os.path.join(DATA, "powell_1983_published.csv"),
            "--compare-columns", "time=time,value=published_inflow_m3s", "--summary", "-",
            flood=os.path.join(DATA, "powell_1983_flood_evap.txt"))
    s = summary(r.stdout.decode())
    check(abs(num(s, "compare_rmse") - 0.74) < 0.01, "compare_rmse %s" % s["compare_rmse"]["value"])
    check(abs(num(s, "compare_bias")) < 0.1, "compare_bias %s" % s["compare_bias"]["value"])
    check(num(s, "compare_nse") > 0.9999, "compare_nse %s" % s["compare_nse"]["value"])
    check(s["compare_records"]["value"] == "122", "compare_records %s" % s["compare_records"]["value"])


screening()
noise()
water_years()
held()
comparison()
for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
