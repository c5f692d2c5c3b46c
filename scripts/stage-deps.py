#!/usr/bin/env python3
"""make lint's check that each MTD-device stage, run alone, installs what it runs:
python3 scripts/stage-deps.py

.ci/mtd-vm/needs.sh names, for each guest, the groups of scripts/deps.sh that its stage
installs and the programs it runs beyond Debian's required packages. Each of those programs
must come from a package that those groups name: dpkg's owner of the program, or of a link
on the way to it (/usr/bin/cc, through the alternatives, is gcc's). And the stage's scripts
(run.sh, scenario.sh) may start no program that needs.sh leaves out, but those of required
packages: every word in the place of a command, and every /bin or /usr/bin path they name.
A program this machine lacks cannot be looked up and is named as unchecked, not as a fault.
"""
import os
import re
import shutil
import subprocess
import sys

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NEEDS, SCRIPTS = ".ci/mtd-vm/needs.sh", (".ci/mtd-vm/run.sh", ".ci/mtd-vm/scenario.sh")
GUESTS = ("x86_64", "arm64", "armhf")
LINKS = 8  # followed at most from a program to its file (the alternatives take two)
# A word in the place of a command: first on a line, or after | ; & ( $( !, once each keyword,
# program or function of the script that runs the next word as a command (RUNNERS) is
# followed by a ";".
COMMAND = re.compile(r"(?:^|[|;&(!]|\$\()\s*([a-z][\w.+-]*)(?=\s|$|\))")
RUNNING = r"\b(?:if|elif|while|until|then|do|else|exec|env(?: -\S+)*|xargs(?: -\S+)*|timeout \S+|RUNNERS)\s"
PATHS = re.compile(r"(?<![\w$/.-])/(?:usr/)?s?bin/([\w.+-]+)")


def shell(command):
    return subprocess.run(["sh", "-c", command], cwd=TOP, capture_output=True, text=True, check=True).stdout.split()


def chain(program):
    """The paths from the program's on the PATH through each link to its file, each also as
    dpkg may know it (/bin and /usr/bin are one folder); None when it is missing."""
    path, paths = shutil.which(program), []
    while path and len(paths) < 3 * LINKS:
        paths += [path, re.sub(r"^/usr/", "/", path), "/usr" + path]
        path = os.path.join(os.path.dirname(path), os.readlink(path)) if os.path.islink(path) else None
    return paths or None


def owners_of(paths):
    """{path: packages owning it}, from one call of dpkg (each call reads every file list)."""
    done = subprocess.run(["dpkg-query", "-S"] + sorted(set(paths)), capture_output=True, text=True)
    owned = {}
    for line in done.stdout.splitlines():
        packages, _, path = line.partition(": ")
        if not packages.startswith("diversion by"):
            owned.setdefault(path, set()).update(package.split(":")[0] for package in packages.split(", "))
    return owned


def required():
    """The installed packages that Debian requires or marks essential."""
    done = subprocess.run(["dpkg-query", "-W", "-f", "${Package} ${Priority} ${Essential}\n"], capture_output=True,
                          text=True)
    return {line.split()[0] for line in done.stdout.splitlines() if " required " in line or line.endswith(" yes")}


def started(script):
    """The programs a script may start: the words in a command's place, the paths it names."""
    text = open(os.path.join(TOP, script)).read()
    functions = set(re.findall(r"^\s*([\w-]+)\(\)", text, re.M))
    running, words = re.compile(RUNNING.replace("RUNNERS", "|".join(sorted(functions)) or "(?!)")), set()
    for line in text.split("\n"):
        line = running.sub(lambda runner: runner.group(0) + "; ", re.sub(r"(^|\s)#.*", "", line))
        words.update(COMMAND.findall(line) + PATHS.findall(line))
    return {word for word in words - functions if shutil.which(word) and shutil.which(word).startswith("/")}


def main():
    stages, declared = {}, set()
    for guest in GUESTS:
        groups, programs = (shell(f". {NEEDS}; needs {guest}; echo \"${variable}\"")
                            for variable in ("NEEDED_GROUPS", "NEEDED_PROGRAMS"))
        stages[guest] = groups, set(shell("sh scripts/deps.sh --list " + " ".join(groups))), programs
        declared.update(programs)
    undeclared = {program for script in SCRIPTS for program in started(script)} - declared
    chains = {program: chain(program) for program in declared | undeclared}
    owned = owners_of(path for paths in chains.values() if paths for path in paths)
    owners = {program: set().union(*(owned.get(path, set()) for path in paths)) for program, paths in chains.items()
              if paths}
    faults, base = [], required()
    for guest, (groups, packages, programs) in stages.items():
        for program in programs:
            if program in owners and not owners[program] & packages:
                faults.append(f"the {guest} stage runs {program} ({', '.join(sorted(owners[program])) or 'no package'}),"
                              f" which scripts/deps.sh {' '.join(groups)} does not name")
    for program in sorted(undeclared):
        if owners.get(program) and not owners[program] & base:
            faults.append(f"a stage runs {program} ({', '.join(sorted(owners[program]))}), which {NEEDS} does not name")
    for fault in faults:
        print(fault)
    unchecked = sorted(declared - set(owners))
    if unchecked:
        print("not installed here, so unchecked: " + " ".join(unchecked))
    print(f"stage programs: {len(declared)} named, {len(undeclared)} of required packages or unnamed, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
