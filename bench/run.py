#!/usr/bin/env python3
"""The benchmark of a built tree: python3 bench/run.py [--figures] BUILD_DIR  (make bench
builds first). With --figures only what a build determines (1, 3 and 4, without timings):
the tables that doc/figures.md and CONTRIBUTING.md show, which scripts/figures.py writes there.

1. Pages: each scenario runs the tool once under strace, which shows every page it reads
   and programs on the device; it must program exactly the pages whose bytes differ, and
   read each programmed page back once, right after programming it.
2. Speed: each command on an 8 MiB file, and mktinyfs --program and --dump of a whole
   image, against the plain tool doing the same transfer,
   the two run in turn, the ratio taken pair by pair; the median must meet its target.
3. Instructions (callgrind, deterministic) of -q -l and -q -c by table size, in one fixed
   environment (MEASURED: no variable of the caller's, the program copied to ./brellix), as
   start-up grows with the environment and the program's path: growing linearly, each entry
   from 512 to 1023 costs at most 1.3 times what each from 1 to 512 does, and at most 600.
   Then those of mktinyfs --diff of two images of 1023 files that sizes and checksums cannot
   tell apart, and of 1023 renamed files of one range of 8 MiB: at most 4 times those of two
   images of one file of 8 MiB.
4. Sizes of the stripped static programs of the boards' builds, when they are built (armel's
   brellix at most 400 KB), with the C library each links; then the CRC-16 microbenchmark.
Exits 1 when a target is missed. BENCH_PAIRS sets the pairs per ratio (default 41).
"""
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

PAGE, MIB = 1056, 1 << 20
FIGURES = sys.argv[1:2] == ["--figures"]
ARGUMENTS = sys.argv[1 + FIGURES:]
BUILD = os.path.abspath(ARGUMENTS[0] if ARGUMENTS else "build/release")
BRELLIX, MKTINYFS = f"{BUILD}/tool/brellix", f"{BUILD}/host/mktinyfs/mktinyfs"
WORK = tempfile.mkdtemp(prefix="brellix-bench-", dir="/dev/shm" if os.access("/dev/shm", os.W_OK) else None)
missed = []
# What the instruction counts are measured in, whoever calls: start-up reads the environment.
MEASURED = ["env", "-i", "PATH=/usr/bin:/bin", "LC_ALL=C"]
GROWTH, PER_ENTRY = 1.3, 600


def path(name):
    return os.path.join(WORK, name)


def shell(command, **kwargs):
    return subprocess.run(command, shell=True, cwd=WORK, check=True, **kwargs)


def contents(name, length, avoid=b""):
    """Random bytes; with avoid, none of those bytes (--read-stdout stops at a zero)."""
    data = os.urandom(length)
    for byte in avoid:
        data = data.replace(bytes([byte]), b"\x01")
    with open(path(name), "wb") as out:
        out.write(data)


def image(name, *files):
    shell(f"{MKTINYFS} {name} {' '.join(files)}", stdout=subprocess.DEVNULL)


def pages(args, name):
    """Pages read, of them read back, pages programmed, write calls and the fewest pages that
    could do. A read right after a write reads back what it programmed."""
    shutil.copy(path(name), path("dev"))
    shell(f"strace -qqq -o log -P {path('dev')} -e trace=read,write {BRELLIX} -q -d dev {args}")
    with open(path("log")) as log:
        calls = [(line.split("(")[0], int(line.rsplit("= ", 1)[1])) for line in log if " = " in line]
    with open(path(name), "rb") as a, open(path("dev"), "rb") as b:
        before, after = a.read(), b.read()
    fewest = sum(before[i:i + PAGE] != after[i:i + PAGE] for i in range(0, len(before), PAGE))
    reads, writes = (sum(n for c, n in calls if c == kind) // PAGE for kind in ("read", "write"))
    back = sum(n for (c, n), (p, _) in zip(calls[1:], calls) if (p, c) == ("write", "read")) // PAGE
    return reads, back, writes, sum(c == "write" for c, _ in calls), fewest


def write_calls():
    """A sentence: every call that a --write of 8 MiB makes on the device, by kind."""
    shutil.copy(path("big.img"), path("dev"))
    shell(f"strace -qqq -o log -P {path('dev')} {BRELLIX} -q -d dev -w big new8m")
    with open(path("log")) as log:
        calls = [line.split("(")[0] for line in log if " = " in line]
    named = {"read": "reads", "write": "writes", "lseek": "seeks", "flock": "the lock", "newfstatat": "a stat",
             "fstat": "a stat", "close": "the close"}
    kinds = sorted(set(calls), key=lambda kind: (list(named).index(kind) if kind in named else len(named), kind))
    parts = [f"{calls.count(kind)} {named[kind]}" if kind in ("read", "write", "lseek") else
             named.get(kind, kind) if calls.count(kind) == 1 else f"{calls.count(kind)} {kind}" for kind in kinds]
    return (f"A `--write` of 8 MiB makes {len(calls)} calls on the device ({', '.join(parts[:-1])} and {parts[-1]})")


def timed(command, prepare):
    if prepare:
        shell(prepare)
    start = time.perf_counter()
    shell(command)
    return time.perf_counter() - start


def ratio(command, plain, prepare=""):
    pairs = [timed(command, prepare) / timed(plain, prepare) for _ in range(int(os.environ.get("BENCH_PAIRS", 41)))]
    return statistics.median(pairs)


def counted(command):
    """Instructions (callgrind) of a command, a list of words, run in the work folder in the
    fixed environment."""
    out = subprocess.run(MEASURED + ["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"] + command,
                         cwd=WORK, capture_output=True, text=True).stderr
    return int(re.search(r"Collected : (\d+)", out).group(1))


def instructions(args, name):
    if not os.path.exists(path("brellix")):
        shutil.copy(BRELLIX, path("brellix"))
    return counted(["./brellix", "-q", "-d", name] + args.split())


def crc_twin(data, k):
    """data with its last 4 bytes changed and its CRC-16 kept: the change is k times the CRC's
    polynomial (carry-less), which leaves the remainder as it was."""
    change = 0
    for bit in range(k.bit_length()):
        change ^= (0x11021 << bit) if k >> bit & 1 else 0
    return data[:-4] + bytes(a ^ b for a, b in zip(data[-4:], change.to_bytes(4, "big")))


def one_range(name, prefix):
    """An image of 1023 files named PREFIX1..., all of the contents of the file big: the slots
    after the first get its fields (mktinyfs makes no such table, brellix reads it)."""
    image(name, f"{prefix}1=big")
    with open(path(name), "r+b") as out:
        out.seek(0x4000 + 32 + 16)
        fields = out.read(16)
        for slot in range(2, 1024):
            out.seek(0x4000 + 32 * slot)
            out.write(f"{prefix}{slot}".encode().ljust(16, b"\0") + fields)


def check(label, value, target, digits=2):
    if value > target:
        missed.append(f"{label}: {value:.{digits}f}, target at most {target}")
    return f"{value:.{digits}f} (target {target})"


try:
    contents("small", 100)
    contents("old1m", MIB)
    contents("new1m", MIB)
    contents("big", 8 * MIB, avoid=b"\0")
    contents("new8m", 8 * MIB)
    image("aligned.img", "boot=small", f"kernel=old1m --offset {64 * PAGE} --room 65536", "rootfs=small")
    image("unaligned.img", "boot=small", f"kernel=old1m --offset {64 * PAGE + 100} --room 65536", "rootfs=small")
    image("table10.img", "--device-id BENCH-1 --mac 00:11:22:33:44:55", *[f"f{i}=small" for i in range(9)])
    # Tables of empty files: their instructions are those of the table, not of contents.
    for count in (1, 512, 1023):
        image(f"table{count}e.img", *[f"f{i}=" for i in range(count)])
    image("big.img", f"big=big --offset {64 * PAGE}")
    # A device that holds nothing of big.img in any page, but a valid table header.
    contents("noise.img", 8192 * PAGE)
    shell("printf '\\x78\\x56\\x34\\x12' | dd of=noise.img bs=1 seek=16400 conv=notrunc status=none")
    shell("head -c 100 new1m >small2")

    if not FIGURES:
        print(f"Measured {time.strftime('%Y-%m-%d')} on {os.cpu_count()} cores.\n")
    print("| scenario | pages read | of them read back | pages programmed | minimum | write calls |\n"
          "|---|---:|---:|---:|---:|---:|")
    for label, args, name in [
            ("write 1 MiB, page-aligned offset, new contents", "-w kernel new1m", "aligned.img"),
            ("write 1 MiB, page-aligned offset, same contents", "-w kernel old1m", "aligned.img"),
            ("write 1 MiB, unaligned offset, new contents", "-w kernel new1m", "unaligned.img"),
            ("write 1 MiB, unaligned offset, same contents", "-w kernel old1m", "unaligned.img"),
            ("rename, table of 10 entries", "-mv f5 renamed", "table10.img"),
            ("rename, table of 1023 entries", "-mv f512 renamed", "table1023e.img"),
            ("write 100 bytes, table of 1023 entries", "-w f512 small2", "table1023e.img"),
            ("set-mac, new address", "-sm 00:11:22:33:44:66", "table10.img"),
            ("set-mac, same address", "-sm 00:11:22:33:44:55", "table10.img"),
            ("set-device-id, new identifier", "-sdid BENCH-2", "table10.img"),
            ("set-device-id, same identifier", "-sdid BENCH-1", "table10.img"),
            ("write 8 MiB, new contents", "-w big new8m", "big.img"),
            ("check, one file of 8 MiB", "-c", "big.img")]:
        reads, back, writes, calls, fewest = pages(args, name)
        if writes != fewest:
            missed.append(f"{label}: {writes} pages programmed, {fewest} changed")
        if back != writes:
            missed.append(f"{label}: {back} pages read back, {writes} programmed")
        print(f"| {label} | {reads} | {back} | {writes} | {fewest} | {calls} |")
    print("\n" + write_calls())

    if not FIGURES:  # timings vary from run to run
        offset = 64 * PAGE
        print("\n| command, 8 MiB | against | median ratio of paired runs |\n|---|---|---:|")
        for label, command, plain, prepare, target in [
                ("--read", f"{BRELLIX} -q -d big.img -r big out", "cat big >out", "", 1.5),
                ("--read-stdout", f"{BRELLIX} -q -d big.img -rs big >out", "cat big >out", "", 1.5),
                ("--write, new contents", f"{BRELLIX} -q -d dev -w big new8m",
                 f"dd if=new8m of=dev bs=1M seek={offset} oflag=seek_bytes conv=notrunc status=none",
                 "cp big.img dev", 1.5),
                ("--check", f"{BRELLIX} -q -d big.img -c", "cat big.img >/dev/null", "", 1.2),
                # As the README's field steps did before: dd of the whole image onto the device.
                ("mktinyfs --program, all 8192 pages differ", f"{MKTINYFS} --program big.img dev",
                 "dd if=big.img of=dev bs=1056 conv=notrunc status=none", "cp noise.img dev", 1.5),
                ("mktinyfs --program, the same image", f"{MKTINYFS} --program big.img dev",
                 "dd if=big.img of=dev bs=1056 conv=notrunc status=none", "cp big.img dev", 1.0),
                ("mktinyfs --dump", f"{MKTINYFS} --dump big.img out", "cat big.img >out", "", 2.5)]:
            print(f"| {label} | `{plain.split(' ')[0]}` | {check(label, ratio(command, plain, prepare), target)} |")

    print("\n| instructions | 1 entry | 512 | 1023 | per entry, 1 to 512 | per entry, 512 to 1023 | growth |\n"
          "|---|---:|---:|---:|---:|---:|---:|")
    for args in ("-l", "-c"):
        counts = [instructions(args, f"table{count}e.img") for count in (1, 512, 1023)]
        low, high = (counts[1] - counts[0]) / 511, (counts[2] - counts[1]) / 511
        growth = check(f"growth per entry of -q {args}", high / low, GROWTH)
        print(f"| `brellix -q {args}` | " + " | ".join(f"{n:,}" for n in counts) + f" | {low:.0f} | "
              + check(f"instructions per entry of -q {args}", high, PER_ENTRY, 0) + f" | {growth} |")

    if not FIGURES:  # the contents are random, so counts vary a little from run to run
        # --diff pairs renamed files by a digest of their contents: its cost grows with the bytes,
        # not with the pairs of files whose sizes and checksums agree or that share one range.
        with open(path("big"), "rb") as source, open(path("big2"), "wb") as out:
            data = source.read()
            out.write(data[:-1] + bytes([data[-1] ^ 1]))
        image("diff1.img", f"big=big --offset {64 * PAGE}")
        image("diff2.img", f"big=big2 --offset {64 * PAGE}")
        base = os.urandom(7000)
        for k in range(1, 2047):
            with open(path(f"twin{k}"), "wb") as out:
                out.write(crc_twin(base, k))
        image("twins1.img", *[f"f{k}=twin{k}" for k in range(1, 1024)])
        image("twins2.img", *[f"g{k}=twin{k + 1023}" for k in range(1, 1024)])
        one_range("range1.img", "a")
        one_range("range2.img", "b")
        print("\n| instructions of `mktinyfs --diff` | count | against one file of 8 MiB |\n|---|---:|---:|")
        one = counted([MKTINYFS, "--diff", "diff1.img", "diff2.img"])
        print(f"| one file of 8 MiB, its last byte changed | {one:,} | 1.00 |")
        for label, old, new in [("1023 files, sizes and checksums agree pair by pair, contents differ",
                                 "twins1.img", "twins2.img"),
                                ("1023 files renamed, all of one range of 8 MiB", "range1.img", "range2.img")]:
            count = counted([MKTINYFS, "--diff", old, new])
            print(f"| {label} | {count:,} | {check(f'instructions of --diff, {label}', count / one, 4)} |")

    # The oldest boards share a small root file system: there brellix may take 400 KB.
    print("\n| target | C library | `brellix` (bytes) | `mktinyfs` (bytes) |\n|---|---|---:|---:|")
    for target, limit in (("armel", 400 * 1024), ("armhf", None), ("arm64", None)):
        stripped = os.path.join(os.path.dirname(BUILD), target, "stripped")
        sizes = [os.path.getsize(os.path.join(stripped, program)) if os.path.exists(os.path.join(stripped, program))
                 else None for program in ("brellix", "mktinyfs")]
        if None in sizes:
            print(f"| {target} | not built (make {target}) | | |")
            if FIGURES:
                missed.append(f"{target}: not built (make {target})")
            continue
        if limit and sizes[0] > limit:
            missed.append(f"{target} brellix: {sizes[0]:,} bytes, target at most {limit:,}")
        # Every board build links the board's musl (Debian's musl-dev of that architecture).
        version = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", f"musl-dev:{target}"], capture_output=True,
                                 text=True)
        print(f"| {target} | musl {version.stdout.split('-')[0] or '?'} | {sizes[0]} | {sizes[1]} |")

    # What musl saves on armel: an empty program linked with static glibc, as the board builds link.
    if shutil.which("arm-linux-gnueabi-gcc"):
        with open(path("empty.c"), "w") as empty:
            empty.write("int main(void) { return 0; }\n")
        shell("arm-linux-gnueabi-gcc -march=armv5te -mfloat-abi=soft -static -Wl,--gc-sections -s empty.c -o empty")
        print(f"\nan empty C program linked with static glibc takes {os.path.getsize(path('empty'))} bytes on armel")

    if os.path.exists(f"{BUILD}/bench/crc16_bench") and not FIGURES:
        print()
        subprocess.run([f"{BUILD}/bench/crc16_bench", "--benchmark_min_time=0.05"], check=True)
finally:
    shutil.rmtree(WORK, ignore_errors=True)

for line in missed:
    print("MISSED: " + line, file=sys.stderr)
sys.exit(1 if missed else 0)
