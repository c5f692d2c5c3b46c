#!/usr/bin/env python3
"""The figures of doc/figures.md and CONTRIBUTING.md that a build measures, written into them or
checked against them:  python3 scripts/figures.py [--check] [BUILD_DIR]
(make figures writes them; CI checks them after its release and board builds).

What bench/run.py --figures prints, with BUILD_DIR (default build/release) and the boards'
builds beside it: tables, each of which replaces the table with the same header line, and
sentences, each of which replaces the sentence that has the same words and other numbers
(line ends in the documents count as blanks). Instruction counts, measured in one fixed
environment whoever calls, still depend a little on the processor (the C library picks its
string functions by its features), so --check lets each number of the instructions table
differ by 3 %; every other figure must be exact. --check changes nothing and exits 1
naming each stale line; a table or sentence the documents do not hold fails either way.
"""
import os
import re
import subprocess
import sys

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DOCUMENTS = ("doc/figures.md", "CONTRIBUTING.md")
NUMBER = r"\d[\d,.]*"
TOLERANT, TOLERANCE = "| instructions |", 0.03


def measured(build):
    done = subprocess.run([sys.executable, os.path.join(TOP, "bench", "run.py"), "--figures", build],
                          stdout=subprocess.PIPE, text=True)
    if done.returncode != 0:
        sys.exit("figures.py: bench/run.py --figures failed")
    blocks = [block.split("\n") for block in done.stdout.strip("\n").split("\n\n")]
    return [block for block in blocks if block[0].startswith("|")], \
        [" ".join(block) for block in blocks if not block[0].startswith("|")]


def close(documented, built, tolerant):
    """Equal, or when tolerant the same words with numbers within the tolerance."""
    if documented == built or not tolerant or re.split(NUMBER, documented) != re.split(NUMBER, built):
        return documented == built
    pairs = zip(re.findall(NUMBER, documented), re.findall(NUMBER, built))
    return all(abs(float(x.replace(",", "")) - float(y.replace(",", ""))) <= TOLERANCE * float(y.replace(",", ""))
               for x, y in pairs)


def table_in(text, name, table, stale):
    """The text with the table of the same header replaced, or None when it holds none."""
    lines = text.split("\n")
    if table[0] not in lines:
        return None
    start = end = lines.index(table[0])
    while end < len(lines) and lines[end].startswith("|"):
        end += 1
    old, tolerant = lines[start:end], table[0].startswith(TOLERANT)
    stale += [f"{name}:{start + 1 + i}: {a}\n    built: {b}"
              for i, (a, b) in enumerate(zip(old, table)) if not close(a, b, tolerant)]
    if len(old) != len(table):
        stale.append(f"{name}:{start + 1}: the table has {len(old)} lines, the build {len(table)}")
    return "\n".join(lines[:start] + table + lines[end:])


def sentence_in(text, name, sentence, stale):
    """The text with the sentence of the same words replaced, or None when it holds none."""
    parts = re.split(f"({NUMBER})", sentence)
    pattern = "".join(NUMBER if i % 2 else r"\s+".join(map(re.escape, part.split(" "))) for i, part in enumerate(parts))
    found = re.search(pattern, text)
    if not found:
        return None
    old = re.sub(r"\s+", " ", found.group(0))
    if old != sentence:
        stale.append(f"{name}:{text.count(chr(10), 0, found.start()) + 1}: {old}\n    built: {sentence}")
    return text[:found.start()] + rewrap(found.group(0), sentence) + text[found.end():]


def main():
    check = sys.argv[1:2] == ["--check"]
    arguments = sys.argv[1 + check:]
    tables, sentences = measured(os.path.abspath(arguments[0] if arguments else os.path.join(TOP, "build", "release")))
    texts = {name: open(os.path.join(TOP, name)).read() for name in DOCUMENTS}
    stale, missing = [], []
    for figure, replaced in [(table, table_in) for table in tables] + [(line, sentence_in) for line in sentences]:
        for name, text in texts.items():
            new = replaced(text, name, figure, stale)
            if new is not None:
                texts[name] = new
                break
        else:
            missing.append(figure[0] if replaced is table_in else figure)
    for line in missing:
        print(f"figures.py: no document holds: {line}", file=sys.stderr)
    if check:
        for line in stale:
            print(f"figures.py: stale: {line}", file=sys.stderr)
        if stale:
            print("figures.py: make figures writes what the build measures", file=sys.stderr)
        sys.exit(1 if stale or missing else 0)
    for name, text in texts.items():
        with open(os.path.join(TOP, name), "w") as out:
            out.write(text)
    sys.exit(1 if missing else 0)


def rewrap(old, new):
    """The new sentence, its lines broken after the same words as the old one's."""
    breaks = ["\n" in gap for gap in re.findall(r"\s+", old)]
    words = new.split(" ")
    return words[0] + "".join(("\n" if broken else " ") + word for broken, word in zip(breaks, words[1:]))


if __name__ == "__main__":
    main()
