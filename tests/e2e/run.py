#!/usr/bin/env python3
"""Transcript tests: run.py CASE.t ...  (each in a scratch directory of its own)
Examples of a document: run.py --doc README.md | PAGE.1  (see run_document)

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


ROFF = [("\\-", "-"), ("\\(aq", "'"), ("\\(dq", '"'), ("\\e", "\\"), ("\\&", "")]


def commands(lines, start):
    """[line, command, shown lines] of a block: "$ " starts a command, a line ending in a
    backslash continues it, and the lines after it are what it prints."""
    steps = []
    for line in lines:
        if steps and steps[-1][1].endswith("\\"):
            steps[-1][1] += "\n" + line
        elif line.startswith("$ "):
            steps.append([start, line[2:], []])
        elif steps:
            steps[-1][2].append(line)
    return steps


def document_steps(path):
    """The examples of a Markdown file (``` blocks) or a manual page (.EX to .EE). A block
    of an sh script is one command that must succeed; a block whose first line starts
    "# Not run" is not run. /dev/mtd0 stands for the image mtd0."""
    roff, steps, block = not path.endswith(".md"), [], None
    for number, line in enumerate(open(path).read().split("\n"), 1):
        for code, text in ROFF if roff else []:
            line = line.replace(code, text)
        line = line.replace("/dev/mtd0", "mtd0")
        if block is None and (line == ".EX" if roff else line.startswith("```")):
            block, script, start = [], line == "```sh", number
        elif block is not None and line not in (".EE", "```"):
            block.append(line)
        elif block is not None:
            if block and not block[0].startswith("# Not run"):
                steps += [[start, "\n".join(block), None]] if script else commands(block, start)
            block = None
    return steps


def run_document(path):
    """Runs the examples in one shell, after docs.sh has made the files they take for
    granted, output and error output together as on a terminal. A command fails the test
    when it prints something else than shown, or fails without showing why."""
    steps, work = document_steps(path), scratch()
    script = ". " + os.path.join(HERE, "docs.sh") + "\n"
    for _, command, shown in steps:  # a script runs in a subshell, as it may exit
        script += ("(\n" + command + "\n)" if shown is None else command) + "\nS=$?; printf '\\n@@@ %d\\n' $S; (exit $S)\n"
    try:
        done = subprocess.run(["bash", "-c", script], cwd=work, env=environment(work, HERE), stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)
        outputs = re.split(r"\n@@@ (\d+)\n", done.stdout.decode("latin-1"))
        passed = len(outputs) == 2 * len(steps) + 1
        if not passed:
            print(f"{path}: the shell stopped: {outputs[-1]}")
        lines = lambda text: text.strip("\n").split("\n") if text.strip("\n") else []
        for (number, command, shown), text, status in zip(steps, outputs[::2], outputs[1::2]):
            printed, script = lines(text), shown is None
            shown = printed if script else lines("\n".join(shown))
            if shown != printed or status != "0" and (script or not shown):
                passed = False
                print(f"{path}:{number}: $ {command} (status {status})")
                for line in difflib.unified_diff(shown, printed, "shown", "printed", lineterm=""):
                    print("  " + line)
        return passed
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    if sys.argv[1:2] == ["--doc"]:
        sys.exit(0 if all([run_document(path) for path in sys.argv[2:]]) else 1)
    sys.exit(0 if all([run_transcript(path) for path in sys.argv[1:]]) else 1)
