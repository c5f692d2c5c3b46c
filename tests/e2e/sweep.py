#!/usr/bin/env python3
"""Fault and power-cut sweeps over every command, with strace doing the harm.

  sweep.py faults      each call a command makes on the device or on its local file fails
                       in turn (an error, or a short count): the run must end with that
                       call's own single "Fatal:" line and status 1, print only what the
                       clean run printed before, and change no byte outside the pages the
                       clean run changes
  sweep.py powercuts   the power is cut before each page a changing command programs, and
                       halfway through it (a torn page: new bytes up to the cut): every such
                       image mounts, differs only in the command's own pages, and its check
                       finds damage at most in the file the command rewrote

Clean runs must program exactly the pages whose bytes change. Needs $BRELLIX and $MKTINYFS.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

PAGE = 1056
# Arguments, and the file whose contents the command rewrites; IN and OUT stand for the
# local files.
COMMANDS = [(["-l", "-v"], None), (["-e", "rootfs"], None), (["-r", "rootfs", "OUT"], None),
            (["-rs", "cfg"], None), (["--force", "-c"], None), (["-gm"], None), (["-gdid"], None),
            (["-mv", "rootfs", "system"], None), (["-w", "kernel", "IN"], "kernel"),
            (["-w", "rootfs", "IN"], "rootfs"), (["-sm", "0a:1b:2c:3d:4e:5f"], None), (["-sdid", "new-id"], None)]
# The message each harmed call ends the run with; None: the run goes on as if unharmed.
DEVICE = {("openat", "error=ENOENT"): "unable to open device", ("lseek", "error=EIO"): "invalid seek",
          ("lseek", "retval=1"): "invalid seek", ("read", "error=EIO"): "unable to read",
          ("read", "retval=1"): "incomplete read", ("write", "error=EIO"): "unable to write",
          ("write", "retval=1"): "incomplete write", ("close", "error=EIO"): None}
OUT = {("openat", "error=EACCES"): "unable to open file ({})", ("write", "error=ENOSPC"): "unable to write data",
       ("close", "error=EIO"): "unable to write data"}
IN = {("openat", "error=EACCES"): "unable to open file ({})", ("read", "error=EIO"): "unable to read data",
      ("lseek", "error=EIO"): "seek error", ("close", "error=EIO"): None}


class Bench:
    """An image with files on and off the page grid, a MAC address across a page boundary
    and a device identifier, and a longer local file with other contents to copy in."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="brellix-", dir="/dev/shm" if os.access("/dev/shm", os.W_OK) else None)
        self.img = self.local("img")
        for name, length, step in (("IN", 9000, 7), ("old", 5000, 3)):
            with open(self.local(name), "wb") as out:
                out.write(bytes((i * step + i // 251) & 0xFF for i in range(length)))
        files = f"kernel=old --offset {60 * PAGE} --room 7000 rootfs=old --offset {80 * PAGE + 7} cfg=old " \
                f"--offset {100 * PAGE} mac-address=old --offset {120 * PAGE - 8} --no-checksum"
        subprocess.run([os.environ["MKTINYFS"], "orig", "--device-id", "old-id"] + files.split(), cwd=self.dir,
                       check=True)
        with open(self.local("orig"), "rb") as image:
            self.orig = image.read()

    def local(self, name):
        return os.path.join(self.dir, name)

    def run(self, args, strace=(), image=None):
        """Output, error output, status and image after a run on a fresh copy of the image."""
        with open(self.img, "wb") as out:
            out.write(self.orig if image is None else image)
        if os.path.exists(self.local("OUT")):
            os.unlink(self.local("OUT"))
        argv = [os.environ["BRELLIX"], "-d", self.img] + [self.local(a) if a in ("IN", "OUT") else a for a in args]
        if strace:
            argv = ["strace", "-qqq"] + list(strace) + argv
        done = subprocess.run(argv, capture_output=True, env=dict(os.environ, ASAN_OPTIONS="detect_leaks=0"))
        with open(self.img, "rb") as image:
            return done.stdout.decode("latin-1"), done.stderr.decode("latin-1"), done.returncode, image.read()

    def calls(self, args, path):
        """The system calls of a clean run on path, in order, with their results."""
        self.run(args, ["-o", self.local("log"), "-P", path])
        with open(self.local("log")) as log:
            return [(m.group(1), int(m.group(2))) for m in map(re.compile(r"(\w+)\(.*= (-?\d+)").match, log) if m]


def pages(a, b):
    return {i // PAGE for i in range(0, len(a), PAGE) if a[i:i + PAGE] != b[i:i + PAGE]}


def report(args, text):
    print(" ".join(args) + ": " + text)
    return 1


def faults(bench):
    failures = tried = 0
    for args, _ in COMMANDS:
        clean = bench.run(args)
        own = pages(bench.orig, clean[3])
        targets = [(bench.img, DEVICE)] + [(bench.local(f), t) for f, t in (("IN", IN), ("OUT", OUT)) if f in args]
        for path, table in targets:
            seen = {}
            for call, _ in bench.calls(args, path):
                seen[call] = seen.get(call, 0) + 1
                for (name, harm), message in table.items():
                    if name != call:
                        continue
                    rule = f"inject={call}:{harm}:when={seen[call]}"
                    run = bench.run(args, ["-o", "/dev/null", "-P", path, "-e", "trace=" + call, "-e", rule])
                    tried += 1
                    out, err, status, image = run
                    # A harm the C library absorbs may leave the result untouched; a
                    # forced check reports a failed read of contents and goes on.
                    good = run == clean or message is not None and (
                        (err, status) == (f"Fatal: {message.format(path)}\n", 1) and clean[0].startswith(out)
                        or "--force" in args and (err, status) == ("", 0) and f"\n** {message}\n" in out
                        and out.endswith("NOT ready for use.\n"))
                    if not good or not pages(bench.orig, image) <= own:
                        failures += report(args, f"{rule} on {os.path.basename(path)}: status {status}, {err!r}")
    return failures, tried


def powercuts(bench):
    failures = tried = 0
    for args, target in COMMANDS:
        final = bench.run(args)[3]
        own = pages(bench.orig, final)
        writes = [result for call, result in bench.calls(args, bench.img) if call == "write"]
        if sum(writes) != len(own) * PAGE:
            failures += report(args, f"{sum(writes) // PAGE} pages programmed, {len(own)} changed")
        # The image before each write call, then after the last; between two of them the
        # call's pages are programmed one after the other, each torn halfway first.
        states = [bench.run(args, ["-o", "/dev/null", "-P", bench.img, "-e", "trace=write", "-e", f"inject=write:signal=KILL:when={k}"])[3]
                  for k in range(1, len(writes) + 1)] + [final]
        cuts = states[:1]
        for before, after in zip(states, states[1:]):
            image = bytearray(before)
            for page in sorted(pages(before, after)):
                start, half, end = page * PAGE, page * PAGE + PAGE // 2, (page + 1) * PAGE
                cuts.append(bytes(image[:start] + after[start:half] + image[half:]))
                image[start:end] = after[start:end]
                cuts.append(bytes(image))
        tried += len(cuts)
        for image in cuts:
            check, listing = bench.run(["--force", "-c"], image=image), bench.run(["-l"], image=image)
            damaged = set(re.findall(r"  \* Checking (\S+)\.\.\.\n\*\* ", check[0])) - {target}
            if not pages(bench.orig, image) <= own or check[2] or listing[2] or damaged:
                failures += report(args, f"a cut left pages {sorted(pages(bench.orig, image))} changed: "
                                         f"{listing[1]!r}, damage in {sorted(damaged)}")
    return failures, tried


def main(mode):
    bench = Bench()
    try:
        failures, tried = {"faults": faults, "powercuts": powercuts}[mode](bench)
    finally:
        shutil.rmtree(bench.dir, ignore_errors=True)
    print(f"{mode}: {failures} failures in {tried} runs")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
