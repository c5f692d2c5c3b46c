#!/usr/bin/env python3
"""Transcript tests: shell commands and exactly what they must print.

  run.py CASE.t ...          each transcript in a scratch directory of its own

In a transcript, lines indented by two spaces are the test, all others are prose. "  $ "
starts a command and "  > " continues it; the indented lines right after it are what it
must print: standard output as it is, then standard error with "! " before each line,
then "[N]" when the exit status N is not 0. An expected line ending in " (re)" is a
regular expression for the whole line; " (no-eol)" marks output without a final line
end; " (esc)" a line written with Python escapes. Commands run in bash in the scratch
directory, one after another, with brellix and mktinyfs first on the PATH (through
$BRELLIX_WRAPPER when it is set, e.g. valgrind or qemu) and the functions of
helpers.sh defined. On a mismatch the run prints the difference and exits with 1.
"""
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
TIMEOUT = 300


def scratch_dir():
    # Images are 8 MiB and mktinyfs syncs them: memory-backed storage keeps runs fast.
    base = "/dev/shm" if os.access("/dev/shm", os.W_OK) else None
    return tempfile.mkdtemp(prefix="brellix-", dir=base)


def tool_dir(work):
    """A folder with brellix and mktinyfs, run through the wrapper when there is one."""
    tools = os.path.join(work, ".bin")
    os.mkdir(tools)
    wrapper = os.environ.get("BRELLIX_WRAPPER", "")
    for name, var in (("brellix", "BRELLIX"), ("mktinyfs", "MKTINYFS")):
        with open(os.path.join(tools, name), "w") as out:
            out.write(f'#!/bin/sh\nexec {wrapper} "{os.environ[var]}" "$@"\n')
        os.chmod(os.path.join(tools, name), 0o755)
    return tools


def environment(work, cases):
    env = dict(os.environ, LC_ALL="C", BASH_ENV=os.path.join(HERE, "helpers.sh"), CASES=cases,
               SHELL=shutil.which("bash"))
    env["PATH"] = tool_dir(work) + os.pathsep + env["PATH"]
    return env


def parse(lines):
    """[(line number, command, expected lines)] of a transcript."""
    steps, expecting = [], False
    for number, line in enumerate(lines, 1):
        if line.startswith("  $ "):
            steps.append((number, line[4:], []))
            expecting = True
        elif line.startswith("  > ") and steps and not steps[-1][2]:
            steps[-1] = (steps[-1][0], steps[-1][1] + "\n" + line[4:], steps[-1][2])
        elif line.startswith("  ") and expecting:
            steps[-1][2].append(line[2:])
        else:
            expecting = False
    return steps


def shown(data, prefix):
    if not data:
        return []
    text = data.decode("latin-1")
    lines = text.split("\n")
    last = lines.pop()
    if last:
        lines.append(last + " (no-eol)")
    out = []
    for line in lines:
        if re.search(r"[\x00-\x08\x0b-\x1f\x7f-\xff]", line):
            line = line.encode("unicode_escape").decode() + " (esc)"
        out.append(prefix + line)
    return out


def matches(expected, actual):
    if expected == actual:
        return True
    if expected.endswith(" (re)"):
        try:
            return re.fullmatch(expected[:-5], actual) is not None
        except re.error:
            return False
    return False


def run_step(command, work, env):
    try:
        done = subprocess.run(["bash", "-c", command], cwd=work, env=env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=TIMEOUT)
        result = shown(done.stdout, "") + shown(done.stderr, "! ")
        return result + ([f"[{done.returncode}]"] if done.returncode else [])
    except subprocess.TimeoutExpired:
        return [f"[timed out after {TIMEOUT} s]"]


def run_transcript(path):
    with open(path, encoding="latin-1") as source:
        lines = source.read().split("\n")
    work = scratch_dir()
    try:
        env = environment(work, os.path.dirname(os.path.abspath(path)))
        failed = False
        for number, command, expected in parse(lines):
            actual = run_step(command, work, env)
            if len(actual) == len(expected) and all(map(matches, expected, actual)):
                continue
            failed = True
            print(f"{path}:{number}: $ {command}")
            for line in difflib.unified_diff(expected, actual, "expected", "actual", lineterm=""):
                print("  " + line)
        return not failed
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main(paths):
    results = [run_transcript(path) for path in paths]
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
