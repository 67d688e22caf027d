#!/usr/bin/env python3
"""Hostile command lines and files, run through the real program.

    hostile.py PROGRAM SOURCE_DIR

Each case runs PROGRAM in a scratch folder furnished with the example curve
and flood record, links to them, a folder, a plain file and an earlier output,
and checks:
  - the exit status and the first line of standard error (and, where given,
    the second line, or the first line of standard output);
  - every file that was there before and is no output of the case: its bytes
    unchanged;
  - each output: complete after a success (a result or CSV ending its last
    line with CR LF, a PNG ending with its IEND chunk), and absent, or its
    earlier bytes unchanged, after a failure; no other new name (no
    temporary left behind);
  - standard error free of control characters other than the line end.
A case root cannot check (a read-only folder does not stop root) is skipped,
and says so. Exit status 0 when every case that ran passed.
"""

import hashlib
import os
import subprocess
import sys
import tempfile
import threading
import zipfile

PROGRAM = os.path.abspath(sys.argv[1])
SOURCE = os.path.abspath(sys.argv[2])
EXAMPLES = os.path.join(SOURCE, "examples")

HEADING = "time,level,outflow\n"


def flood(*records):
    return HEADING + "".join(r + "\n" for r in records)


def utf16(text):
    return b"\xff\xfe" + text.encode("utf-16-le")


# A record whose fourth record lies six hours before the third.
OUT_OF_ORDER = flood("2007-07-29 00-00-00,524.75,0", "2007-07-29 06-00-00,524.84,90",
                     "2007-07-29 12-00-00,524.88,90", "2007-07-29 06-00-00,524.89,90")
# Hours of a 19th-century day: their stored values run backwards within a day.
EIGHTEEN_FIFTY = flood("1850-06-01 00-00-00,524.75,0", "1850-06-01 06-00-00,524.84,90",
                       "1850-06-01 07-00-00,524.88,90", "1850-06-02 00-00-00,524.89,90")
ABSURD = flood("1900-01-01 00-00-00,524.75,900000000000000", "9999-01-01 00-00-00,524.84,900000000000000")
TWO = flood("2007-07-29 00-00-00,524.75,0", "2007-07-29 06-00-00,524.84,90")
EVAPORATING = flood("2007-07-29 00-00-00,524.75,0,1", "2007-07-29 06-00-00,524.84,90,1",
                    "2007-07-29 07-00-00,524.88,90,2")
WITH_LOSS = flood("2007-07-29 00-00-00,524.75,0", "2007-07-29 06-00-00,524.84,90,1",
                  "2007-07-29 07-00-00,524.88,90,2")

FILES = "--curve curve.txt --flood flood.txt".split()
NOTHING = ": nothing was read or written."
NOT_TEXT = "not a text file in the system's code page."
LONG_NAME = "n" * 300 + ".txt"


def case(name, args, status, first, **more):
    c = {"name": name, "args": args, "status": status, "first": first, "outputs": [], "files": {}}
    c.update(more)
    return c


CASES = [
    # --- outputs over inputs and over each other: refused before anything is read
    case("chart over the flood", FILES + ["--chart", "flood.txt", "--out", "r.txt"], 2,
         "quelmora: --chart names flood.txt, the file --flood reads: an output never replaces an input; "
         "nothing was read or written.", outputs=["r.txt"]),
    case("result over ./flood", FILES + ["--out", "./flood.txt"], 2,
         "quelmora: --out names ./flood.txt, the file --flood reads: an output never replaces an input; "
         "nothing was read or written."),
    case("summary over the curve by another path", FILES + ["--out", "r.txt", "--summary", "folder/../curve.txt"], 2,
         "quelmora: --summary names folder/../curve.txt, the file --curve reads: an output never replaces an "
         "input; nothing was read or written.", outputs=["r.txt"]),
    case("corrected over a symbolic link to the flood", FILES + ["--out", "r.txt", "--corrected", "link.txt"], 2,
         "quelmora: --corrected names link.txt, the file --flood reads: an output never replaces an input; "
         "nothing was read or written.", outputs=["r.txt"]),
    case("hydrograph over a hard link to the flood", FILES + ["--out", "r.txt", "--hydrograph", "hard.txt"], 2,
         "quelmora: --hydrograph names hard.txt, the file --flood reads: an output never replaces an input; "
         "nothing was read or written.", outputs=["r.txt"]),
    case("the table over the flood", FILES + ["--out", "r.txt", "--table", "flood.txt"], 2,
         "quelmora: --table names flood.txt, the file --flood reads: an output never replaces an input; "
         "nothing was read or written."),
    case("the workbook over the curve by a symbolic link", FILES + ["--xlsx", "curve-link.txt"], 2,
         "quelmora: --xlsx names curve-link.txt, the file --curve reads: an output never replaces an input; "
         "nothing was read or written."),
    case("the table and the workbook, one file", FILES + ["--out", "r.txt", "--table", "x", "--xlsx", "./x"], 2,
         "quelmora: --xlsx and --table both name ./x: each output needs a file of its own; "
         "nothing was read or written."),
    case("two outputs, one file", FILES + ["--out", "x.txt", "--summary", "x.txt"], 2,
         "quelmora: --summary and --out both name x.txt: each output needs a file of its own; "
         "nothing was read or written.", outputs=["x.txt"]),
    case("one new file by two paths", FILES + ["--out", "new.txt", "--summary", "folder/../new.txt"], 2,
         "quelmora: --summary and --out both name folder/../new.txt: each output needs a file of its own; "
         "nothing was read or written.", outputs=["new.txt"]),
    case("standard output by its descriptor's name", FILES + ["--corrected", "/proc/self/fd/1"], 2,
         "quelmora: --corrected and the result (no --out) both go to standard output: each output needs a place "
         "of its own; nothing was read or written."),
    case("the null device twice", FILES + ["--out", "/dev/null", "--summary", "/dev/null"], 0, ""),
    case("standard output by two names", FILES + ["--out", "/dev/stdout", "--summary", "-"], 2,
         "quelmora: --summary and --out both go to standard output: each output needs a place of its own; "
         "nothing was read or written."),
    case("standard output for the result and the summary", FILES + ["--summary", "-"], 2,
         "quelmora: --summary and the result (no --out) both go to standard output: each output needs a place "
         "of its own; nothing was read or written."),
    case("summary into the file standard output goes to", FILES + ["--summary", "s.csv"], 2,
         "quelmora: --summary and the result (no --out) both name s.csv: each output needs a file of its own; "
         "nothing was read or written.", stdout="s.csv", outputs=["s.csv"]),
    # --- how the files are laid out: bad values are usage errors naming the option
    case("an unknown unit", FILES + ["--units", "flow=cms"], 2, "quelmora: --units: unknown flow unit 'cms' (m3/s or cfs)"),
    case("an unknown area unit", FILES + ["--units", "area=sqmi"], 2,
         "quelmora: --units: unknown area unit 'sqmi' (km2, m2, ha or acres)"),
    case("a repair with nothing to repair", FILES + ["--repair"], 2,
         "quelmora: --repair mends the levels --spike flags and the records --missing skip skips: it needs one of "
         "them"),
    case("columns without the outflow", FILES + ["--columns", "time=1,level=2"], 2,
         "quelmora: --columns: no column for outflow (time, level and outflow are needed)"),
    case("a heading the record does not have", FILES + ["--columns", "time=Zeit,level=2,outflow=3", "--out", "r.txt"], 2,
         "quelmora: --columns: no heading 'Zeit' in flood.txt; its headings: '时间T(m)', '库水位V(m)', "
         "'出库流量(m3/s)'",
         outputs=["r.txt"]),
    case("losses counted two ways", FILES + ["--columns", "time=1,level=2,outflow=3", "--losses", "4"], 2,
         "quelmora: --losses counts the fields of the plain record; with --columns, name the losses there as "
         "loss=COL"),
    case("an offset for stamps that are no UTC", FILES + ["--utc-offset", "+05:00"], 2,
         "quelmora: --utc-offset: only Unix stamps are in UTC; give --time-format unix-s or unix-ms"),
    case("a missing value that is no number", FILES + ["--missing-value", "abc"], 2,
         "quelmora: --missing-value: 'abc' is no number"),
    case("a record option without a record", ["--curve", "curve.txt", "--date-order", "dmy"], 2,
         "quelmora: --date-order describes the flood record: it needs --flood"),
    case("a dated curve with no such day", ["--curve", "curve.txt@2022-13-01", "--flood", "flood.txt"], 2,
         "quelmora: --curve: '2022-13-01' in 'curve.txt@2022-13-01' is no date YYYY-MM-DD (a name ending so is "
         "written with '@' at its end)"),
    case("a result over a dated curve", FILES + ["--curve", "curve.txt@2007-07-29", "--out", "curve.txt"], 2,
         "quelmora: --out names curve.txt, the file --curve reads: an output never replaces an input; "
         "nothing was read or written."),
    # --- all outputs or none
    case("a full device among the outputs", FILES + ["--out", "r.txt", "--summary", "/dev/full"], 1,
         "quelmora: /dev/full: Disk full.", outputs=["r.txt"]),
    case("a full device for the workbook", FILES + ["--out", "r.txt", "--table", "t.csv", "--xlsx", "/dev/full"], 1,
         "quelmora: /dev/full: Disk full.", outputs=["r.txt", "t.csv"]),
    case("a missing folder for the table", FILES + ["--out", "r.txt", "--xlsx", "w.xlsx", "--table", "no/t.csv"], 1,
         "quelmora: no/t.csv: Invalid filename.", outputs=["r.txt", "w.xlsx"]),
    case("a missing folder among the outputs", FILES + ["--out", "earlier.txt", "--corrected", "no/c.csv"], 1,
         "quelmora: no/c.csv: Invalid filename.", outputs=["earlier.txt"]),
    case("a folder as an output", FILES + ["--out", "earlier.txt", "--hydrograph", "folder"], 1,
         "quelmora: folder: File access denied.", outputs=["earlier.txt"]),
    case("a file as a folder", FILES + ["--out", "plain.txt/r.txt", "--summary", "s.csv"], 1,
         "quelmora: plain.txt/r.txt: Invalid filename.", outputs=["s.csv"]),
    case("a 300-character name", FILES + ["--out", "r.txt", "--chart", LONG_NAME], 1,
         "quelmora: " + LONG_NAME + ": Invalid filename.", outputs=["r.txt"]),
    case("a read-only folder", FILES + ["--out", "r.txt", "--summary", "ro/s.csv"], 1,
         "quelmora: ro/s.csv: File access denied.", outputs=["r.txt"], root="a read-only folder does not stop root"),
    case("standard output closed", FILES + ["--summary", "s.csv"], 1,
         "quelmora: standard output: Bad file descriptor.", stdout="closed", outputs=["s.csv"]),
    case("standard output on a full device", FILES + ["--summary", "s.csv"], 1,
         "quelmora: standard output: Disk full.", stdout="/dev/full", outputs=["s.csv"]),
    case("every output", FILES + ["--out", "r.txt", "--summary", "s.csv", "--corrected", "c.csv", "--chart",
                                  "c.png", "--hydrograph", "h.png", "--table", "t.csv", "--xlsx", "w.xlsx", "--smooth",
                                  "3", "--negative", "redistribute"],
         0, "", outputs=["r.txt", "s.csv", "c.csv", "c.png", "h.png", "t.csv", "w.xlsx"]),
    # --- odd inputs
    case("a folder as the flood", ["--curve", "curve.txt", "--flood", "folder"], 1, "quelmora: File access denied."),
    case("the flood in a missing folder", ["--curve", "curve.txt", "--flood", "no/flood.txt"], 1,
         "quelmora: Invalid filename."),
    case("a FIFO as the flood", ["--curve", "curve.txt", "--flood", "flood.pipe", "--out", "r.txt"], 0, "",
         fifo_in="flood.pipe", outputs=["r.txt"]),
    case("a FIFO as the summary", FILES + ["--out", "r.txt", "--summary", "s.pipe"], 0, "",
         fifo_out="s.pipe", outputs=["r.txt"]),
    case("an empty flood", FILES, 1, "quelmora: flood.txt: no records: the file has no line after its heading.",
         files={"flood.txt": ""}),
    case("a flood of its heading", FILES, 1,
         "quelmora: flood.txt: no records: the file has no line after its heading.", files={"flood.txt": HEADING}),
    case("lines ended by CR alone", FILES + ["--out", "r.txt"], 1,
         "quelmora: flood.txt: no records: its lines end with CR alone, which the reader does not take as line "
         "ends.", files={"flood.txt": TWO.replace("\n", "\r")}, outputs=["r.txt"]),
    case("lines ended by CR alone, checked", ["--check"] + FILES, 1, "",
         out_first="flood.txt: no records: its lines end with CR alone, which the reader does not take as line ends",
         files={"flood.txt": TWO.replace("\n", "\r")}),
    case("an empty curve", FILES, 1, "quelmora: curve.txt: no points: the file has no line after its heading.",
         files={"curve.txt": ""}),
    case("records out of order, redistributed", FILES + ["--out", "r.txt", "--negative", "redistribute",
                                                         "--table", "t.csv", "--xlsx", "w.xlsx"], 1,
         "quelmora: a record earlier than the one before it (a step of -21600 s): the summary and the corrected "
         "inflow need the records in time order.", second="quelmora: flood.txt:5: 2007-07-29 06-00-00,524.89,90",
         files={"flood.txt": OUT_OF_ORDER}, outputs=["r.txt", "t.csv", "w.xlsx"]),
    case("records of 1850", FILES + ["--out", "r.txt", "--summary", "s.csv"], 0, "",
         files={"flood.txt": EIGHTEEN_FIFTY}, outputs=["r.txt", "s.csv"],
         contains={"r.txt": ",61200,", "s.csv": "\r\npeak_lag,-1,h,"}, lacks={"r.txt": ",-21600,"}),
    case("the table beside the result alone", FILES + ["--out", "r.txt", "--table", "t.csv"], 0, "",
         outputs=["r.txt", "t.csv"], contains={"t.csv": "\n2007-07-29T08:00:00,524.89,"}),
    case("records of 1850, checked", ["--check"] + FILES, 0, "", out_first="",
         files={"flood.txt": EIGHTEEN_FIFTY}),
    case("a loss field counted twice", FILES + ["--losses", "4,4"], 2, "quelmora: --losses names field 4 twice: '4,4'",
         files={"flood.txt": EVAPORATING}),
    case("the longest smoothing window on two records", FILES + ["--out", "r.txt", "--smooth", "2147483647",
                                                                 "--corrected", "c.csv"], 0, "",
         files={"flood.txt": TWO}, outputs=["r.txt", "c.csv"], timeout=5),
    case("an outflow no river has, summed", FILES + ["--out", "r.txt", "--summary", "s.csv"], 1,
         "quelmora: the values look like other units than the ones assumed (a flow of 900000000000000 m^3/s is more "
         "than any river has carried); give the files' units with --units, as --units level=ft,storage=af,flow=cfs",
         second="quelmora: s.csv: inflow_volume is 2.3002177824e+18 10^8m^3: beyond the numbers of four decimals a "
         "summary writes (up to 922337203685477.5807)", files={"flood.txt": ABSURD}, outputs=["r.txt", "s.csv"]),
    case("an outflow no river has, checked", ["--check"] + FILES, 1, "",
         out_first="flood.txt:2: warning: outflow 900000000000000 m^3/s is more than any river carries "
                   "(1000000 m^3/s)", out_contains="warning: a step of 8098.8337 years from line 2",
         files={"flood.txt": ABSURD}),
    case("bank storage beyond every number", FILES + ["--out", "r.txt", "--bank-storage", "1e308"], 2,
         "quelmora: --bank-storage 1e308 is too large: the storage term (1 + K) dV 10^8 / dt goes beyond every "
         "number at flood.txt:3, where the plain term has one.", outputs=["r.txt"]),
    case("the first record without its loss field", FILES + ["--losses", "4"], 1,
         "quelmora: '' is not a valid floating point value.",
         second="quelmora: flood.txt:2: 2007-07-29 00-00-00,524.75,0", files={"flood.txt": WITH_LOSS}),
    case("an option as the result's name", FILES + ["--out", "--help"], 2,
         "quelmora: --out needs a file name, not the option '--help' (a file of that name is given as ./--help)"),
    case("an option as the summary's name", FILES + ["--summary", "--check"], 2,
         "quelmora: --summary needs a file name, not the option '--check' (a file of that name is given as "
         "./--check)"),
    case("a UTF-16 flood", FILES, 1, "quelmora: flood.txt: a UTF-16 file, " + NOT_TEXT,
         files={"flood.txt": utf16(TWO.replace("\n", "\r\n"))}),
    case("a UTF-16 flood, checked", ["--check"] + FILES, 1, "",
         out_first="flood.txt: a UTF-16 file, " + NOT_TEXT[:-1], files={"flood.txt": utf16(TWO)}),
    case("a NUL byte in a number", FILES, 1, "quelmora: flood.txt: a file with NUL bytes, " + NOT_TEXT,
         files={"flood.txt": flood("2007-07-29 00-00-00,524.7\x005,0")}),
    case("escape sequences in a line", FILES, 1,
         "quelmora: '\\x1b[31m52\\x07' is not a valid floating point value.",
         second="quelmora: flood.txt:3: 2007-07-29 06-00-00,\\x1b[31m52\\x07,90",
         files={"flood.txt": flood("2007-07-29 00-00-00,524.75,0", "2007-07-29 06-00-00,\x1b[31m52\x07,90")}),
    case("no display", [], 2,
         "quelmora: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set): the window needs one.",
         nodisplay=True),
]


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def snapshot(folder):
    """Every regular file under the folder (links not followed) and its hash."""
    files = {}
    for root, dirs, names in os.walk(folder):
        for n in names:
            p = os.path.join(root, n)
            if os.path.isfile(p) and not os.path.islink(p):
                files[os.path.relpath(p, folder)] = digest(p)
    return files


def names(folder):
    out = set()
    for root, dirs, files in os.walk(folder):
        for n in dirs + files:
            out.add(os.path.relpath(os.path.join(root, n), folder))
    return out


def complete(path):
    with open(path, "rb") as f:
        data = f.read()
    if path.endswith(".png"):
        return data.startswith(b"\x89PNG") and data[-12:-4] == b"\0\0\0\0IEND"
    if path.endswith(".xlsx"):
        return zipfile.is_zipfile(path) and zipfile.ZipFile(path).testzip() is None
    if os.path.basename(path) == "t.csv":  # the table: LF line ends
        return data.startswith(b"time,") and data.endswith(b"\n")
    return len(data) > 0 and data.endswith(b"\r\n")


def furnish(d, c):
    for n in ("curve.txt", "flood.txt"):
        with open(os.path.join(EXAMPLES, n), "rb") as src, open(os.path.join(d, n), "wb") as dst:
            dst.write(src.read())
    for n, content in c["files"].items():
        with open(os.path.join(d, n), "wb") as f:
            f.write(content.encode() if isinstance(content, str) else content)
    os.symlink("flood.txt", os.path.join(d, "link.txt"))
    os.symlink("curve.txt", os.path.join(d, "curve-link.txt"))
    os.link(os.path.join(d, "flood.txt"), os.path.join(d, "hard.txt"))
    os.mkdir(os.path.join(d, "folder"))
    os.mkdir(os.path.join(d, "ro"))
    os.chmod(os.path.join(d, "ro"), 0o555)
    with open(os.path.join(d, "plain.txt"), "w") as f:
        f.write("a plain file")
    with open(os.path.join(d, "earlier.txt"), "w") as f:
        f.write("an earlier result\r\n")


def run_case(c):
    """None when the case passed, else what went wrong; 'skip: ...' to skip."""
    if c.get("root") and os.geteuid() == 0:
        return "skip: " + c["root"]
    with tempfile.TemporaryDirectory(prefix="quelmora-hostile-") as d:
        furnish(d, c)
        threads = []
        got = {}
        if "fifo_in" in c:
            os.mkfifo(os.path.join(d, c["fifo_in"]))
            text = open(os.path.join(d, "flood.txt"), "rb").read()

            def feed(path=os.path.join(d, c["fifo_in"])):
                with open(path, "wb") as f:
                    f.write(text)
            threads.append(threading.Thread(target=feed, daemon=True))
        if "fifo_out" in c:
            os.mkfifo(os.path.join(d, c["fifo_out"]))

            def drain(path=os.path.join(d, c["fifo_out"])):
                with open(path, "rb") as f:
                    got["fifo"] = f.read()
            threads.append(threading.Thread(target=drain, daemon=True))
        for t in threads:
            t.start()
        # Standard output redirected to a file: the shell makes it first.
        stdout = c.get("stdout")
        out_file = None
        if stdout == "closed":
            out_target = subprocess.DEVNULL
        elif stdout:
            out_file = open(stdout if stdout.startswith("/") else os.path.join(d, stdout), "wb")
            out_target = out_file
        else:
            out_target = subprocess.PIPE
        before = snapshot(d)
        before_names = names(d)
        env = dict(os.environ, LC_ALL="C.UTF-8")
        if c.get("nodisplay"):
            for v in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
                env.pop(v, None)
        try:
            p = subprocess.run([PROGRAM] + c["args"], cwd=d, env=env, stdin=subprocess.DEVNULL, stdout=out_target,
                               stderr=subprocess.PIPE, timeout=c.get("timeout", 120),
                               pass_fds=(), preexec_fn=(lambda: os.close(1)) if stdout == "closed" else None)
        except subprocess.TimeoutExpired:
            return "took longer than %s s" % c.get("timeout", 120)
        finally:
            if out_file:
                out_file.close()
        for t in threads:
            t.join(5)
        problems = []
        err = p.stderr.decode("utf-8", "replace")
        lines = err.split("\n")
        if p.returncode != c["status"]:
            problems.append("status %d, not %d" % (p.returncode, c["status"]))
        if lines[0] != c["first"]:
            problems.append("first line %r, not %r" % (lines[0], c["first"]))
        if "second" in c and (len(lines) < 2 or lines[1] != c["second"]):
            problems.append("second line %r, not %r" % (lines[1] if len(lines) > 1 else None, c["second"]))
        if "out_first" in c:
            out = (p.stdout or b"").decode("utf-8", "replace")
            if out.split("\n")[0] != c["out_first"]:
                problems.append("first output line %r, not %r" % (out.split("\n")[0], c["out_first"]))
            if c.get("out_contains", "") not in out:
                problems.append("no %r on standard output" % c["out_contains"])
            if any(ch in out for ch in "\0\x1b\x07\r"):
                problems.append("control characters on standard output")
        if any(ch < " " and ch not in "\n\t" for ch in err):
            problems.append("control characters on standard error: %r" % err)
        outputs = set(c["outputs"])
        after = snapshot(d)
        for name, h in before.items():
            if name in outputs and p.returncode == 0:
                continue
            if after.get(name) != h:
                problems.append("%s changed" % name)
        for name in outputs:
            path = os.path.join(d, name)
            if p.returncode == 0:
                if not os.path.isfile(path) or not complete(path):
                    problems.append("%s missing or incomplete" % name)
            elif name not in before and os.path.exists(path):
                problems.append("%s written by a run that failed" % name)
        new = names(d) - before_names - (outputs if p.returncode == 0 else set())
        if new:
            problems.append("new names: %s" % sorted(new))
        for name, text in c.get("contains", {}).items():
            if text.encode() not in open(os.path.join(d, name), "rb").read():
                problems.append("%s lacks %r" % (name, text))
        for name, text in c.get("lacks", {}).items():
            if text.encode() in open(os.path.join(d, name), "rb").read():
                problems.append("%s holds %r" % (name, text))
        if "fifo_out" in c and not got.get("fifo", b"").endswith(b"\r\n"):
            problems.append("the FIFO got %r" % got.get("fifo"))
        return "; ".join(problems) or None


def main():
    failed = 0
    for c in CASES:
        outcome = run_case(c)
        if outcome is None:
            print("ok    %s" % c["name"])
        elif outcome.startswith("skip: "):
            print("skip  %s (%s)" % (c["name"], outcome[6:]))
        else:
            failed += 1
            print("FAIL  %s: %s" % (c["name"], outcome))
    print("%d cases, %d failed" % (len(CASES), failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
