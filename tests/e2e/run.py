#!/usr/bin/env python3
"""Transcript tests: run.py CASE.t ...  (each in a scratch directory of its own)

Lines indented by two spaces are the test, others are prose. "  $ " starts a command,
"  > " continues it; the indented lines after it are what it must print: standard output,
then standard error with "! " before each line, then "[N]" for an exit status N other
than 0. An expected line ending in " (re)" is a regular expression; " (no-eol)" marks
output without a final line end, " (esc)" a line written with Python escapes. Commands run
in bash with the functions of helpers.sh, and brellix and mktinyfs ($BRELLIX, $MKTINYFS)
first on the PATH, under $BRELLIX_WRAPPER when it is set (valgrind, qemu).
"""
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def scratch():
    # Images are 8 MiB and mktinyfs syncs them: memory-backed storage keeps runs fast.
    return tempfile.mkdtemp(prefix="brellix-", dir="/dev/shm" if os.access("/dev/shm", os.W_OK) else None)


def environment(work, cases):
    tools = os.path.join(work, ".bin")
    os.mkdir(tools)
    for name in ("brellix", "mktinyfs"):
        with open(os.path.join(tools, name), "w") as script:
            script.write(f'#!/bin/sh\nexec {os.environ.get("BRELLIX_WRAPPER", "")} "{os.environ[name.upper()]}" "$@"\n')
        os.chmod(os.path.join(tools, name), 0o755)
    return dict(os.environ, LC_ALL="C", BASH_ENV=os.path.join(HERE, "helpers.sh"), CASES=cases,
                SHELL=shutil.which("bash"), PATH=tools + os.pathsep + os.environ["PATH"])


def parse(lines):
    """[(line number, command, expected lines)] of a transcript."""
    steps, expecting = [], False
    for number, line in enumerate(lines, 1):
        if line.startswith("  $ "):
            steps.append((number, [line[4:]], []))
            expecting = True
        elif line.startswith("  > ") and expecting and not steps[-1][2]:
            steps[-1][1].append(line[4:])
        elif line.startswith("  ") and expecting:
            steps[-1][2].append(line[2:])
        else:
            expecting = False
    return [(number, "\n".join(command), expected) for number, command, expected in steps]


def shown(data, prefix):
    lines = data.decode("latin-1").split("\n")
    if lines[-1]:
        lines[-1] += " (no-eol)"
    else:
        lines.pop()
    escape = re.compile(r"[\x00-\x08\x0b-\x1f\x7f-\xff]")
    return [prefix + (line.encode("unicode_escape").decode() + " (esc)" if escape.search(line) else line)
            for line in lines]


def run_step(command, work, env):
    try:
        done = subprocess.run(["bash", "-c", command], cwd=work, env=env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=300)
        return shown(done.stdout, "") + shown(done.stderr, "! ") + ([f"[{done.returncode}]"] * bool(done.returncode))
    except subprocess.TimeoutExpired:
        return ["[timed out]"]


def matches(expected, actual):
    return expected == actual or expected.endswith(" (re)") and re.fullmatch(expected[:-5], actual) is not None


def run_transcript(path):
    with open(path, encoding="latin-1") as source:
        steps = parse(source.read().split("\n"))
    work = scratch()
    try:
        env, passed = environment(work, os.path.dirname(os.path.abspath(path))), True
        for number, command, expected in steps:
            actual = run_step(command, work, env)
            if len(actual) != len(expected) or not all(map(matches, expected, actual)):
                passed = False
                print(f"{path}:{number}: $ {command}")
                for line in difflib.unified_diff(expected, actual, "expected", "actual", lineterm=""):
                    print("  " + line)
        return passed
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(0 if all([run_transcript(path) for path in sys.argv[1:]]) else 1)
