#!/usr/bin/env python3
"""Transcripts: run.py [--update] CASE.t ...; examples of documents: run.py --doc README.md PAGE.1 ...

Lines indented by two spaces are the test, the others prose. "  $ " starts a command, "  > " continues
it; the indented lines after it are what it prints: standard output, then standard error with "! " before
each line, then "[N]" for an exit status N other than 0 (77 unexpected: skip the rest, and exit 77, a skip
to ctest). An expected line ending in " (re)" is a regular expression, " (no-eol)" marks output without a
final line end, " (esc)" a line in Python escapes; one ending in " \\" goes on in the next line, whose
indentation (and "! ") is dropped. " (wide)", after all those, lets a line pass make lint's 110 columns.
Commands run in bash in a scratch directory, with helpers.sh's functions, and brellix and mktinyfs
($BRELLIX and $MKTINYFS, else build/debug's; under $BRELLIX_WRAPPER when set) first on the PATH: copies,
with helpers.sh, in a second scratch directory every account may read. Each step makes one claim, under
prose saying it: its expected lines come from one run (commands printing nothing may set it up), or name
the command beside each run's lines (refused). --update writes what each differing step prints into the file.
"""
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
BUILT = {"BRELLIX": "tool/brellix", "MKTINYFS": "host/mktinyfs/mktinyfs"}
ROFF = [("\\-", "-"), ("\\(aq", "'"), ("\\(dq", '"'), ("\\e", "\\"), ("\\&", "")]


def scratch():
    # Images are 8 MiB and mktinyfs syncs them: memory-backed storage keeps runs fast.
    return tempfile.mkdtemp(prefix="brellix-", dir="/dev/shm" if os.access("/dev/shm", os.W_OK) else None)


def environment(work, share, cases):
    # Another account (setpriv) may not enter the checkout: it runs the copies in share.
    tools = os.path.join(share, "bin")
    os.mkdir(tools)
    for name in ("brellix", "mktinyfs"):
        program = shutil.copy(os.environ.get(name.upper(), os.path.join(HERE, "../../build/debug", BUILT[name.upper()])),
                              os.path.join(share, name))
        with open(os.path.join(tools, name), "w") as script:
            script.write(f'#!/bin/sh\nexec {os.environ.get("BRELLIX_WRAPPER", "")} "{program}" "$@"\n')
        os.chmod(os.path.join(tools, name), 0o755)
    subprocess.run(["chmod", "-R", "a+rX", shutil.copy(os.path.join(HERE, "helpers.sh"), share), share], check=True)
    return dict(os.environ, LC_ALL="C", BASH_ENV=os.path.join(share, "helpers.sh"), CASES=cases,
                SHELL=shutil.which("bash"), PATH=tools + os.pathsep + os.environ["PATH"])


def parse(lines):
    """[(line number, command, expected lines, the number of lines they take)] of a transcript."""
    steps, expecting = [], False
    for number, line in enumerate(lines, 1):
        if line.startswith("  $ "):
            steps.append([number, [line[4:]], [], 0])
        elif line.startswith("  > ") and expecting and not steps[-1][2]:
            steps[-1][1].append(line[4:])
        elif not (line.startswith("  ") and expecting):
            expecting = False
            continue
        elif steps[-1][2] and steps[-1][2][-1].endswith(" \\"):  # a long line goes on
            part = line[2:]
            part = part[2:] if steps[-1][2][-1].startswith("! ") and part.startswith("! ") else part
            steps[-1][2][-1] = steps[-1][2][-1][:-1] + part.lstrip(" ")
            steps[-1][3] += 1
        else:
            steps[-1][2].append(line[2:])
            steps[-1][3] += 1
        expecting = True
    return [(number, "\n".join(command), expected, span) for number, command, expected, span in steps]


def shown(data, prefix):
    lines = data.decode("latin-1").split("\n")
    lines[-1:] = [lines[-1] + " (no-eol)"] if lines[-1] else []
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
    expected = expected[:-len(" (wide)")] if expected.endswith(" (wide)") else expected
    return expected == actual or expected.endswith(" (re)") and re.fullmatch(expected[:-5], actual) is not None


def differs(path, number, command, expected, actual):
    if len(actual) == len(expected) and all(map(matches, expected, actual)):
        return False
    print(f"{path}:{number}: $ {command}")
    for line in difflib.unified_diff(expected, actual, "expected", "actual", lineterm=""):
        print("  " + line)
    return True


def run_transcript(path, work, share, update=False):
    with open(path, encoding="latin-1") as source:
        lines = source.read().split("\n")
    env, steps, skipped = environment(work, share, os.path.dirname(os.path.abspath(path))), [], False
    for number, command, expected, span in parse(lines):
        actual = run_step(command, work, env)
        if actual[-1:] == ["[77]"] != expected[-1:]:  # the machine lacks what the rest needs
            print(f"{path}:{number}: skipped: {' '.join(actual[:-1])}")
            skipped = True
            break
        steps.append((number, command, expected, actual, span))
    failed = [step for step in steps if differs(path, *step[:4])]
    for number, command, expected, actual, span in reversed(failed if update else []):
        start = number + command.count("\n")  # the index of the first line after the command
        lines[start:start + span] = ["  " + line for line in actual]
    if update and failed:
        with open(path, "w", encoding="latin-1") as target:
            target.write("\n".join(lines))
    return None if skipped and not failed else update or not failed


def commands(lines, start):
    steps = []
    for line in lines:
        if steps and steps[-1][1].endswith("\\"):
            steps[-1][1] += "\n" + line
        elif line.startswith("$ "):
            steps.append([start, line[2:], []])
        elif steps:
            steps[-1][2].append(line)
    return steps


def document_steps(path, device):
    """[line, command, shown lines] of the examples of a Markdown file (```) or manual page (.EX): "$ " starts
    a command (a final backslash continues it) followed by its output; an sh block (shown None) must succeed.
    Blocks starting "# Not run", or after a line "<!-- not run ...", are not; /dev/mtd0 is the file device."""
    roff, steps, block, before = not path.endswith(".md"), [], None, ""
    for number, line in enumerate(open(path).read().split("\n"), 1):
        for code, text in ROFF if roff else []:
            line = line.replace(code, text)
        line = line.replace("/dev/mtd0", device)
        if block is None and (line == ".EX" if roff else line.startswith("```")):
            block, script, start = ["# Not run"] * before.startswith("<!-- not run"), line == "```sh", number
        elif block is not None and line not in (".EE", "```"):
            block.append(line)
        elif block is not None:
            if block and not block[0].startswith("# Not run"):
                steps += [[start, "\n".join(block), None]] if script else commands(block, start)
            block = None
        before = line
    return steps


def run_document(path, work, share):
    """The examples in one shell after docs.sh, output and error output together as on a terminal; a command
    fails when it prints other than shown, or fails without showing why."""
    steps, script = document_steps(path, os.path.join(work, "mtd0")), ". " + os.path.join(HERE, "docs.sh") + "\n"
    for _, command, expected in steps:  # a script runs in a subshell, as it may exit
        script += ("(\n" + command + "\n)" if expected is None else command) + "\nS=$?; printf '\\n@@@ %d\\n' $S; (exit $S)\n"
    done = subprocess.run(["bash", "-c", script], cwd=work, env=dict(environment(work, share, HERE), TMPDIR=work),
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)
    outputs = re.split(r"\n@@@ (\d+)\n", done.stdout.decode("latin-1"))
    lines = lambda text: text.strip("\n").split("\n") if text.strip("\n") else []
    failed = len(outputs) != 2 * len(steps) + 1
    if failed:
        print(f"{path}: the shell stopped: {outputs[-1]}")
    for (number, command, expected), text, status in zip(steps, outputs[::2], outputs[1::2]):
        script, printed = expected is None, lines(text)
        expected = list(printed) if script else lines("\n".join(expected))
        if status != "0" and (script or not expected):  # failed without showing why
            printed.append(f"[{status}]")
        failed |= differs(path, number, command, expected, printed)
    return not failed


if __name__ == "__main__":
    # Exit status 77 when a transcript skipped the rest (ctest's SKIP_RETURN_CODE) and none failed.
    option = sys.argv[1] if sys.argv[1:2] in (["--doc"], ["--update"]) else None
    results = []
    for path in sys.argv[1 + bool(option):]:
        work, share = scratch(), scratch()
        try:
            results.append(run_document(path, work, share) if option == "--doc" else
                           run_transcript(path, work, share, option == "--update"))
        finally:
            for folder in (work, share):
                shutil.rmtree(folder, ignore_errors=True)
    sys.exit(1 if False in results else 77 if None in results else 0)
