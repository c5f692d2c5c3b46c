#!/usr/bin/env python3
"""Sweeps over every command, strace doing the harm (CONTRIBUTING.md's "How the tests work" says what each
checks). faults: each call on the device or the local file fails in turn; a --write that changed the image
names its file damaged or, after its last write, its table unverified. powercuts: cuts before and halfway
through each page a command programs, and tears; clean runs program just the pages that change.
programcuts: the same for each write call of mktinyfs --program, and a tear amid the table's first slots,
from images old and blank to others; --check passes only on the old image or the new."""
import os
import random
import re
import shutil
import subprocess
import sys

sys.dont_write_bytecode = True  # importing run.py leaves no __pycache__ in the source tree
from run import scratch  # noqa: E402

PAGE = 1056
SLOTS_TORN = (0x4000 + 8 * 32) % PAGE  # a tear amid the slots of the table's first page, after its magic word
DROPPED = "flash did not take the write at byte 0x{:x} (page {})"
DAMAGED = '; "{}" in the image is now damaged, write it again'
UNVERIFIED = '; the table was written but could not be read back to verify it: check the image with brellix -c, and write "{}" again if it fails'
# IN and OUT stand for the local files.
COMMANDS = [c.split() for c in ("-l -v", "-e rootfs", "-r rootfs OUT", "-rs cfg", "--force -c", "-gm", "-gdid",
                                "-mv f30 x", "-w kernel IN", "-w rootfs IN", "-sm 0a:1b:2c:3d:4e:5f", "-sdid new-id")]
# The message a harmed call ends the run with, by the file it works on and the class of the call (the
# names each C library gives a class are those of the CALLS table of helpers.sh); None: no harm done.
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "helpers.sh")) as helpers:
    CALLS = dict(re.findall(r"\[(\w+)\]='([^']*)'", helpers.read().split("declare -A CALLS=", 1)[1]))
CLASS = {name.lstrip("?"): kind for kind, names in reversed(CALLS.items()) for name in names.split(",")}
DEVICE = {("open", "error=ENOENT"): "unable to open device", ("seek", "error=EIO"): "invalid seek",
          ("seek", "retval=1"): "invalid seek", ("read", "error=EIO"): "unable to read",
          ("read", "retval=1"): "incomplete read", ("write", "error=EIO"): "unable to write",
          ("write", "retval=1"): "incomplete write", ("write", "retval={}"): DROPPED,
          ("close", "error=EIO"): None}
LOCAL = {"OUT": {("open", "error=EACCES"): "unable to open file ({})", ("write", "error=ENOSPC"): "unable to write data",
                 ("close", "error=EIO"): "unable to write data"},
         "IN": {("open", "error=EACCES"): "unable to open file ({})", ("read", "error=EIO"): "unable to read data",
                ("read", "retval=0"): "local file has fewer than its measured 9000 bytes ({})",
                ("stat", "error=EIO"): "seek error",
                ("close", "error=EIO"): None}}

WORK = scratch()
IMG = os.path.join(WORK, "img")
# Files on and off the page grid, the MAC address across a page boundary, a table over three
# pages (empty files), a longer local file with other contents to copy in.
for name, length, step in (("IN", 9000, 7), ("old", 5000, 3)):
    with open(os.path.join(WORK, name), "wb") as out:
        out.write(bytes((i * step + i // 251) & 0xFF for i in range(length)))
subprocess.run([os.environ["MKTINYFS"], "orig", "--device-id", "old-id"] + (
    f"kernel=old --offset {60 * PAGE} --room 7000 rootfs=old --offset {80 * PAGE + 7} cfg=old --offset {100 * PAGE}"
    f" mac-address=old --offset {120 * PAGE - 8} --no-checksum").split() + [f"f{i}=" for i in range(51)],
    cwd=WORK, check=True)
with open(os.path.join(WORK, "orig"), "rb") as original:
    ORIG = original.read()


def brellix(args, strace=(), image=ORIG, tool=None):
    """Output, error output, status and image after a run (of tool) on a fresh copy of the image."""
    with open(IMG, "wb") as out:
        out.write(image)
    argv = ["strace", "-qqq"] + list(strace) if strace else []
    argv += tool or [os.environ["BRELLIX"], "-d", IMG] + [os.path.join(WORK, a) if a in LOCAL else a for a in args]
    done = subprocess.run(argv, capture_output=True, timeout=60,
                          env=dict(os.environ, ASAN_OPTIONS="detect_leaks=0:max_allocation_size_mb=16"))
    with open(IMG, "rb") as result:
        return done.stdout.decode("latin-1"), done.stderr.decode("latin-1"), done.returncode, result.read()


def harmed(args, path, rule):
    call = rule.split("=")[1].split(":")[0]
    return brellix(args, ["-o", "/dev/null", "-P", path, "-e", "trace=" + call, "-e", rule])


def calls(args, path, strace=(), image=ORIG, tool=None):
    """The system calls of a clean run on path, in order: their names, classes and results."""
    final = brellix(args, ["-o", os.path.join(WORK, "log"), "-P", path] + list(strace), image, tool)[3]
    with open(os.path.join(WORK, "log")) as log:
        lines = [m.groups() for m in map(re.compile(r"(\w+)\(.*= (-?\d+)").match, log) if m]
    return final, [(name, CLASS.get(name), int(result)) for name, result in lines]


def programming(args, writes, final, image=ORIG, tool=None):
    """Each page of a run's write calls as it is programmed, from the image when the run is killed at each
    call: the image before the page, the page's new bytes, its number and the image after it."""
    states = [brellix(args, ["-o", "/dev/null", "-P", IMG, "-e", f"inject={CALLS['write']}:signal=KILL:when={k}"],
                      image, tool)[3] for k in range(1, len(writes) + 1)]
    for before, after in zip(states, states[1:] + [final]):
        state = bytearray(before)
        for page in sorted(pages(before, after)):
            start, end = page * PAGE, (page + 1) * PAGE
            old, state[start:end] = bytes(state), after[start:end]
            yield old, after[start:end], page, bytes(state)


def tears(image, page, *fills):
    """The image with the page erased, zeroed, arbitrary (seeded by its number) and each fill."""
    return [image[:page * PAGE] + fill + image[(page + 1) * PAGE:]
            for fill in (b"\xff" * PAGE, bytes(PAGE), random.Random(page).randbytes(PAGE)) + fills]


def pages(a, b):
    return {i // PAGE for i in range(0, len(a), PAGE) if a[i:i + PAGE] != b[i:i + PAGE]}


def faults():
    failed = tried = 0
    for args in COMMANDS:
        clean = brellix(args)
        for path, table in [(IMG, DEVICE)] + [(os.path.join(WORK, a), LOCAL[a]) for a in args if a in LOCAL]:
            seen = {}
            for index, (call, kind, result) in enumerate(log := calls(args, path)[1]):
                seen[call] = seen.get(call, 0) + 1
                for harm, message in [(harm, m) for (c, harm), m in table.items() if c == kind]:
                    rule = f"inject={call}:{harm.format(result)}:when={seen[call]}"
                    run, tried = harmed(args, path, rule), tried + 1
                    out, err, status, image = run
                    kept = True  # a dropped write leaves the image as before it, naming its first new byte
                    if message is DROPPED:
                        before, after = (harmed(args, path, f"inject={call}:signal=KILL:when={seen[call] + k}")[3]
                                         for k in (0, 1))
                        start = min(pages(before, after)) * PAGE
                        byte = start + next(i for i in range(PAGE) if before[start + i] != after[start + i])
                        message, kept = DROPPED.format(byte, byte // PAGE), image == before
                    # A short write put a byte that nothing read back.
                    if args[0] == "-w" and message and (pages(ORIG, image) or (kind, harm) == ("write", "retval=1")):
                        message += (UNVERIFIED if path == IMG and "write" not in [c for _, c, _ in log[index:]] else DAMAGED).format(args[1])
                    # Only a harm without a message, or one returning what the call would, leaves the run
                    # as it was; a forced check reports a failed read of contents and goes on.
                    good = run == clean if message is None or harm == f"retval={result}" else kept and (
                        (err, status) == (f"Fatal: {message.format(path)}\n", 1) and clean[0].startswith(out)
                        or "--force" in args and (err, status) == ("", 0) and f"\n** {message}\n" in out)
                    if not good or not pages(ORIG, image) <= pages(ORIG, clean[3]):
                        failed += 1
                        print(f"{' '.join(args)}: {rule} on {os.path.basename(path)}: status {status}, {err!r}")
    return failed, tried


def powercuts():
    failed = tried = 0
    for args in COMMANDS:
        target, final = args[1] if args[0] == "-w" else None, brellix(args)[3]
        own = pages(ORIG, final)
        writes = [result for _, kind, result in calls(args, IMG)[1] if kind == "write"]
        if sum(writes) != len(own) * PAGE:
            failed += 1
            print(f"{' '.join(args)}: {sum(writes) // PAGE} pages programmed for {len(own)} changed")
        if not writes:
            continue
        # The image before the first write call; then each page programmed, torn halfway first.
        cuts, torn = [], []
        for old, new, page, done in programming(args, writes, final):
            cuts += [old] * (not cuts) + [old[:page * PAGE] + new[:PAGE // 2] + old[page * PAGE + PAGE // 2:], done]
            torn += tears(old, page)
        tried += len(cuts) + len(torn) * len(COMMANDS)
        for image in cuts:
            check, listing = brellix(["--force", "-c"], image=image), brellix(["-l"], image=image)
            damaged = set(re.findall(r"\* Checking (\S+)\.\.\.\n\*\* ", check[0])) - {target}
            outside = pages(ORIG, image) - own
            if outside or damaged or check[2] or listing[2]:
                failed += 1
                print(f"{' '.join(args)}: a cut changed pages {sorted(outside)}, damaged {sorted(damaged)}")
        for image, command in [(image, command) for image in torn for command in COMMANDS]:
            out, err, status, after = brellix(command, image=image)
            fatal = "(Fatal: [^\n]*\n)" + "?" * (command[0] == "-e")  # a missing file: status 1 alone
            if not re.fullmatch(fatal if status == 1 else "", err) or status not in (0, 1) or (
                    after != image and command[0] not in ("-mv", "-w", "-sm", "-sdid")):
                failed += 1
                print(f"{' '.join(command)} on a torn page of {' '.join(args)}: status {status}, {err[:200]!r}")
    return failed, tried


def programcuts():
    failed = tried = 0
    new, tool = os.path.join(WORK, "new"), [os.environ["MKTINYFS"], "--program", os.path.join(WORK, "new"), IMG]
    subprocess.run([os.environ["MKTINYFS"], new, "kernel=IN", "cfg=old", "--offset", str(90 * PAGE)], cwd=WORK, check=True)
    other = open(new, "rb").read()
    renamed = ORIG[:0x40a0] + b"g" + ORIG[0x40a1:0x41c0] + b"g" + ORIG[0x41c1:]  # two slots around the tear
    for old, image in ((ORIG, other), (other, ORIG), (ORIG, ORIG[:-1] + b"\0"), (b"\xff" * len(ORIG), other),
                       (ORIG, renamed)):
        with open(new, "wb") as out:
            out.write(image)
        final, log = calls([], IMG, ["-e", "trace=" + CALLS["write"]], old, tool)
        writes = [result for _, _, result in log]
        cuts = []
        for before, data, page, done in programming([], writes, final, old, tool):
            cuts += [before] * (not cuts) + tears(before, page, data[:SLOTS_TORN] + before[
                page * PAGE + SLOTS_TORN:(page + 1) * PAGE]) + [done]
        tried += len(cuts)
        wrong = [cut for cut in cuts if brellix(["-c"], image=cut)[2] == 0 and cut not in (old, image)]
        if wrong or final != image or sum(writes) > (len(pages(old, image)) + 2) * PAGE:
            failed += 1
            print(f"--program: {len(wrong)} cuts check clean, {sum(writes) // PAGE} pages programmed")
    return failed, tried


if __name__ == "__main__":
    try:
        failed, tried = {"faults": faults, "powercuts": powercuts, "programcuts": programcuts}[sys.argv[1]]()
    finally:
        shutil.rmtree(WORK, ignore_errors=True)
    print(f"{sys.argv[1]}: {failed} failures in {tried} runs")
    sys.exit(1 if failed else 0)
