#!/usr/bin/python3
"""Runs the figures of ./bench.sh and prints one table. Called by bench.sh with the build folder."""
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

build, peer = sys.argv[1], "--peer" in sys.argv
quick = "--quick" in sys.argv
cli = os.path.join(build, "src", "tresorin-cli")
benchdir = os.path.join(build, "bench")
data = os.path.join(build, "bench-data")
os.makedirs(data, exist_ok=True)
PASSWORD = b"bench password\n"
SIZES = [1000, 10000, 100000]
BIG = 1000000
RUNS = 5
SEARCH_TEXT = "qzxjw"  # as in bench_inprocess: found in almost no entry


def gen(n, name, extra=()):
    path = os.path.join(data, name)
    if not os.path.exists(path):
        subprocess.run([os.path.join(benchdir, "bench_gen"), str(n), path, *extra], check=True)
    return path


def measure(cmd, stdin, runs=RUNS, ok=(0,)):
    """Median wall time (ms) and largest peak RSS (KiB) of a whole process, over several runs."""
    times, rss = [], []
    for _ in range(runs):
        start = time.perf_counter()
        p = subprocess.run(["/usr/bin/time", "-v", *cmd], input=stdin, stdout=subprocess.DEVNULL,
                           stderr=subprocess.PIPE)
        times.append((time.perf_counter() - start) * 1000)
        if p.returncode not in ok:
            sys.exit("failed: %s\n%s" % (" ".join(cmd), p.stderr.decode(errors="replace")))
        rss.append(int(re.search(rb"Maximum resident set size \(kbytes\): (\d+)", p.stderr).group(1)))
    return statistics.median(times), max(rss)


rows = []


def row(figure, value, unit, floor, floor_name, target, limit):
    ratio = value / floor if floor else float("nan")
    met = ratio <= limit if floor else value <= limit
    rows.append((figure, "%.1f %s" % (value, unit), floor_name if floor is None else "%.1f" % floor,
                 "%.2f" % ratio if floor else "-", target, "met" if met else "NOT MET"))
    return value


docs = {n: gen(n, "doc-%d.pass" % n, [os.path.join(data, "doc-%d.xml" % n)] if peer else []) for n in SIZES}
if not quick:
    docs[BIG] = gen(BIG, "doc-%d.pass" % BIG)
empty = gen(0, "empty.pass")
half = gen(100000, "half-100000.pass", ["--half"])

# In-process figures.
out = subprocess.run([os.path.join(benchdir, "bench_inprocess"), "--benchmark_format=json"], check=True,
                     stdout=subprocess.PIPE).stdout
inproc = {}
for b in json.loads(out)["benchmarks"]:
    name, n = b["name"].split("/")[:2]
    inproc[(name, int(n))] = b["real_time"]  # ms

_, base_rss = measure([cli, "info", empty], PASSWORD)
base_ms, _ = measure([cli, "info", empty], PASSWORD)
whole = {}
for n, path in sorted(docs.items()):
    stream = os.path.getsize(path) - 20
    info_ms, info_rss = measure([cli, "info", path], PASSWORD)
    whole[("info", n)] = (info_ms, info_rss)
    if n == BIG:
        floor = inproc[("blowfish_pass", 100000)] * stream / (os.path.getsize(docs[100000]) - 20)
        row("open 1,000,000 (info)", info_ms, "ms", floor, "", "<= 1.0x Blowfish pass (scaled)", 1.0)
        row("peak memory of info 1,000,000", (info_rss - base_rss) / 1024, "MiB", stream / 1048576, "",
            "<= 3x stream", 3.0)
        continue
    exp_ms, exp_rss = measure([cli, "export", path], PASSWORD)
    whole[("export", n)] = (exp_ms, exp_rss)
    # The text is in almost no entry (exit code 1 when none), so nearly every field is scanned whole.
    search_ms, search_rss = measure([cli, "search", path, SEARCH_TEXT], PASSWORD, ok=(0, 1))
    whole[("search", n)] = (search_ms, search_rss)
    bf = inproc[("blowfish_pass", n)]
    row("open %d (info)" % n, info_ms, "ms", bf, "", "<= 1.0x Blowfish pass", 1.0)
    row("export %d" % n, exp_ms, "ms", info_ms, "", "<= 1.5x open", 1.5)
    row("search %d" % n, search_ms, "ms", info_ms + 2 * inproc[("plain_scan", n)], "",
        "<= open + 2x plain scan", 1.0)
    row("in-process search %d" % n, inproc[("search", n)], "ms", inproc[("plain_scan", n)], "",
        "(plain scan as floor)", 2.0)
    row("save %d" % n, inproc[("save", n)], "ms", bf + inproc[("write", n)], "", "<= 1.3x (Blowfish pass + write)", 1.3)
    row("peak memory of info %d" % n, (info_rss - base_rss) / 1024, "MiB", stream / 1048576, "", "<= 3x stream", 3.0)
    row("peak memory of export %d" % n, (exp_rss - base_rss) / 1024, "MiB", stream / 1048576, "", "<= 4x stream", 4.0)

# KeePass 2 XML spells out every field in tags: its text is 1.7 times our JSON's for the same entries.
for n in SIZES:
    for fmt, limit in (("keepass_xml", 2.0), ("csv", 1.5), ("bitwarden_json", 1.5)):
        row("in-process import %s %d" % (fmt.replace("_", "-"), n), inproc[("import_" + fmt, n)], "ms",
            inproc[("import_json", n)], "", "<= %.1fx our JSON import" % limit, limit)

for name in ("info", "export", "search"):
    per10 = whole[(name, 10000)][0] - base_ms
    per100 = whole[(name, 100000)][0] - base_ms
    row("growth of %s, 10,000 to 100,000 (beyond start-up)" % name, per100 / 10, "ms per 10,000", per10, "",
        "<= 1.5x (linear)", 1.5)
for name in ("open", "save", "export"):
    row("growth of in-process %s, 10,000 to 100,000" % name, inproc[(name, 100000)] / 10, "ms per 10,000",
        inproc[(name, 10000)], "", "<= 1.5x (linear)", 1.5)

env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
w = subprocess.run([os.path.join(benchdir, "bench_window"), docs[100000], half], env=env, check=True,
                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.decode()
win = {k: float(v) for k, v in (line.split() for line in w.splitlines())}
row("window start-up to shown", win["startup"], "ms", None, "-", "< 300 ms", 300)
row("window open 100,000 until tree and first group shown", win["open"], "ms", whole[("info", 100000)][0], "",
    "< 2x open", 2.0)
row("window select a group of 50,000", win["select_group"], "ms", None, "-", "< 100 ms", 100)
row("window sort a group of 50,000", win["sort"], "ms", None, "-", "< 100 ms", 100)
row("window search on over 100,000 (about 1% found)", win["search_few"], "ms", None, "-", "< 100 ms", 100)
row("window search on over 100,000 (every entry found)", win["search_all"], "ms", None, "-", "< 100 ms", 100)

# The entry list alone at 60,000 entries (50,000 in the group shown); the bounds catch a quadratic
# fill or sort, not a slow machine.
lines = subprocess.run([os.path.join(benchdir, "bench_view")], env=env, check=True, stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL).stdout.decode()
view = {k: float(v) for k, v in (line.split() for line in lines.splitlines())}
row("view fill a group of 50,000 (select, sort by name, paint)", view["view_fill"], "ms", None, "-", "< 5000 ms", 5000)
row("view sort those 50,000 again and paint", view["view_resort"], "ms", None, "-", "< 5000 ms", 5000)
row("view 2,000 selection moves far down the document", view["view_select"], "ms", None, "-", "< 5000 ms", 5000)

if peer:
    kp = shutil.which("keepassxc-cli")
    kdb = {}
    for n in SIZES:
        kdb[n] = os.path.join(data, "peer-%d.kdbx" % n)
        if not os.path.exists(kdb[n]):
            subprocess.run([kp, "import", "-q", "-p", "-t", "100", os.path.join(data, "doc-%d.xml" % n), kdb[n]],
                           input=b"pw\npw\n", check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    empty_kdb = os.path.join(data, "peer-empty.kdbx")
    if not os.path.exists(empty_kdb):
        subprocess.run([kp, "db-create", "-q", "-p", "-t", "100", empty_kdb], input=b"pw\npw\n", check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    kdf_ms, _ = measure([kp, "ls", "-q", empty_kdb], b"pw\n")
    for n in SIZES:
        # The peer takes many seconds at 100,000 entries: three runs each.
        ls_ms, ls_rss = measure([kp, "ls", "-R", "-q", kdb[n]], b"pw\n", 3)
        ex_ms, ex_rss = measure([kp, "export", "-q", "-f", "xml", kdb[n]], b"pw\n", 3)
        se_ms, se_rss = measure([kp, "search", "-q", kdb[n], SEARCH_TEXT], b"pw\n", 3, ok=(0, 1))
        for what, ours, theirs, theirs_rss in (("open", "info", ls_ms, ls_rss), ("export", "export", ex_ms, ex_rss),
                                               ("search", "search", se_ms, se_rss)):
            our_ms, our_rss = whole[(ours, n)]
            peer_ms = max(theirs - kdf_ms, 0.0)
            rows.append(("peer %s %d: keepassxc-cli %.0f ms (%.0f less key derivation) / tresorin-cli %.0f ms"
                         % (what, n, theirs, peer_ms, our_ms), "%.1fx faster" % (peer_ms / our_ms), "-",
                         "%.1fx" % (peer_ms / our_ms), ">= 30x faster",
                         "met" if peer_ms / our_ms >= 30 else "NOT MET"))
            rows.append(("peer %s %d peak memory: %.0f MiB / %.0f MiB" % (what, n, theirs_rss / 1024, our_rss / 1024),
                         "%.1fx less" % (theirs_rss / our_rss), "-", "%.1fx" % (theirs_rss / our_rss),
                         ">= 10x less", "met" if theirs_rss / our_rss >= 10 else "NOT MET"))

print("Load when the figures were taken: %s" % open("/proc/loadavg").read().strip())
print("Program baseline: tresorin-cli info of an empty document %.1f ms, %.1f MiB peak" % (base_ms, base_rss / 1024))
head = ("figure", "value", "floor", "ratio", "target", "")
widths = [max(len(str(r[i])) for r in rows + [head]) for i in range(6)]
for r in [head] + rows:
    print("  ".join(str(c).ljust(widths[i]) for i, c in enumerate(r)))
