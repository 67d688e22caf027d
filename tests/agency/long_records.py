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


PUBLISHED = os.path.join(DATA, "as-published")
AS_PUBLISHED = ["--curve", os.path.join(PUBLISHED, "powell_capacity_pre2017.csv"),
                "--curve", os.path.join(PUBLISHED, "powell_capacity_2017.csv") + "@2022-07-01",
                "--curve-columns", "level=1,storage=2",
                "--columns", "time=Date,level=Elevation (feet),outflow=Total Release (cfs),loss=Evaporation (af)",
                "--units", "level=ft,storage=af,flow=cfs,loss=af", "--missing", "skip",
                "--outflow", "end", "--bank-storage", "0.08"]


def published(flood, *args, status=0):
    r = subprocess.run([PROGRAM] + AS_PUBLISHED + ["--flood", flood] + list(args), capture_output=True,
                       env=dict(os.environ, LC_ALL="C.UTF-8"))
    if r.returncode != status:
        failures.append("%s: exit %d: %s" % (" ".join(args), r.returncode, r.stderr.decode(errors="replace")[-300:]))
    return r


def blanked(days):
    """The agency's file with the fields {day: (field, ...)} blanked."""
    path = os.path.join(TMP, "blanked_%d.csv" % len(os.listdir(TMP)))
    with open(os.path.join(PUBLISHED, "powell_daily_usbr.csv"), encoding="utf-8-sig") as f, \
            open(path, "w", encoding="utf-8") as out:
        for line in f:
            fields = line.rstrip("\n").split(",")
            for k in days.get(fields[0].strip(), ()):
                fields[k] = ""
            out.write(",".join(fields) + "\n")
    return path


def skipped_repair():
    daily = os.path.join(PUBLISHED, "powell_daily_usbr.csv")
    outs = {}
    for name, extra in [("plain", []), ("repair", ["--repair", "--table", os.path.join(TMP, "sk.csv")])]:
        outs[name] = os.path.join(TMP, "sk_%s.txt" % name)
        r = published(daily, "--out", outs[name], "--summary", "-", *extra)
        s = summary(r.stdout.decode())
        if name == "repair":
            told = r.stderr.decode()
    check(open(outs["plain"], "rb").read() == open(outs["repair"], "rb").read(),
          "as published, --repair leaves the result as it was")
    # The 292 records the agency left without a level all precede its first
    # level (1963): nothing lies before them to interpolate from.
    check(s["skipped_records"]["value"] == "292" and s["repaired_records"]["value"] == "0",
          "skipped %s, repaired %s" % (s["skipped_records"]["value"], s["repaired_records"]["value"]))
    check("272 more skipped records not repaired" in told and "no record before it" in told,
          "the records left out are told")
    rows = table(os.path.join(TMP, "sk.csv"))
    check([r["flag"] for r in rows[:293]] == ["skipped"] * 292 + [""] and rows[0]["time"] == "1963-03-11T00:00:00",
          "--table shows the 292 skipped records first, flagged")

    # Differential: a level blanked in the file and repaired is the spike
    # repaired (the same interpolation); a blanked outflow is the mean of its
    # neighbours (daily steps).
    spike = os.path.join(TMP, "spike.csv")
    published(daily, "--out", os.path.join(TMP, "sp.txt"), "--spike", "0.656", "--repair", "--table", spike)
    gaps = blanked({"02-Aug-1985": (1,), "15-Jun-2000": (9,)})
    mended = os.path.join(TMP, "mended.csv")
    r = published(gaps, "--out", os.path.join(TMP, "md.txt"), "--repair", "--table", mended, "--summary", "-")
    s2 = summary(r.stdout.decode())
    a = {x["time"][:10]: x for x in table(spike)}
    b = {x["time"][:10]: x for x in table(mended)}
    same = all(a[d][c] == b[d][c] for d in ("1985-08-02", "1985-08-03") for c in ("level_ft", "inflow_cfs"))
    check(same and b["1985-08-02"]["flag"] == "repaired",
          "a blanked level repaired is the spike repaired: %s / %s cfs" % (a["1985-08-03"]["inflow_cfs"],
                                                                           b["1985-08-03"]["inflow_cfs"]))
    q = [float(b[d]["outflow_cfs"]) for d in ("2000-06-14", "2000-06-15", "2000-06-16")]
    check(abs(q[1] - (q[0] + q[2]) / 2) < 1e-9 * q[1] and b["2000-06-15"]["flag"] == "repaired",
          "a blanked outflow is interpolated: %s" % q)
    check(s2["skipped_records"]["value"] == "292" and s2["repaired_records"]["value"] == "2", "two brought back")
    read = float(next(x for x in rows if x["time"].startswith("2000-06-15"))["outflow_cfs"])
    moved = num(s2, "inflow_volume") - num(s, "inflow_volume")   # acre-feet, as --units gives it
    check(s2["inflow_volume"]["unit"] == "af" and abs(moved - (q[1] - read) * 86400 / 43560) < 1e-3,
          "the volume moves by the interpolated outflow's water alone (%.4f af)" % moved)
    r = published(gaps, "--check", "--repair", status=1)
    lines = [l for l in r.stdout.decode().splitlines() if "repaired" in l]
    check(len(lines) == 2 and "level 3" in lines[0] and "outflow" in lines[1], "--check lists the two: %s" % lines)


screening()
noise()
water_years()
held()
comparison()
skipped_repair()
for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
