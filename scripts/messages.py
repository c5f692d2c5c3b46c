#!/usr/bin/env python3
"""Every message a program can print has its entry under DIAGNOSTICS in the program's
manual page, and every entry there is a message of the code:  python3 scripts/messages.py
(ctest runs it as docs.messages).

A message is read from the code as the string literals of what is thrown, of the
arguments of the calls that take a message (MESSAGE_CALLS, and fprintf onto stderr), of
the assignments to the string variables (s...) those use, and of the returns of the
functions of the same file they call. Literals joined by "+" with other values between
them form one pattern (the values stand for any text, as printf's conversions do); a
"?", ":" or "," between literals starts another, so each branch of a choice and each
message part built elsewhere is looked for on its own. A pattern without a word is no
message. A pattern must match in one entry (its tag lines, or its text), each tag line
must match at least one pattern, and no two tag lines may read the same but for their
values (the words in italics): a new message without its entry fails, and so does an
entry whose message left the code, or a message listed twice. Exits 1 naming each.
"""
import os
import re
import sys

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The page of each program, and the code whose messages it prints: mktinyfs reports the
# device lock's messages as its own, and the words for a file's kind inside its own, the
# rest of tinyfs/ only inside its own texts.
PAGES = {"man/brellix.1.in": ("tool", "cmdline", "tinyfs"),
         "man/mktinyfs.1.in": ("host", "tinyfs/cDeviceLock.cpp", "tinyfs/cMtdDevice.cpp", "tinyfs/cSignalHold.cpp",
                               "tinyfs/fileKind.cpp")}
MESSAGE_CALLS = ("fail", "problem", "printError", "fatal", "cFailure", "oProblems.add")
# Texts brellix never reaches: the command-line parser's (it always passes its arguments
# and declares no required option), the device's sync, which only mktinyfs --program asks for,
# and the kind of a file Linux does not have (a lock file is one of the kinds it has).
UNREACHED = ("no interface-file given", "missing required parameter (…)", "unable to sync",
             "of an unknown kind")
TOKEN = re.compile(r'^[ \t]*#[^\n]*|"(?:\\.|[^"\\])*"|\'(?:\\.|[^\'\\])*\'|//[^\n]*|/\*.*?\*/|[A-Za-z_]\w*(?:(?:::|\.|->)\w+)*'
                   r'|::|==|!=|<=|>=|\+=|&&|\|\||\S', re.S | re.M)
ROFF = [(r"\(dq", '"'), (r"\(aq", "'"), (r"\(bu", "-"), (r"\-", "-"), (r"\e", "\\"), (r"\&", ""), (r"\c", ""),
        (r"\fB", ""), (r"\fI", ""), (r"\fR", ""), (r"\fP", "")]


def statements(text):
    """The statements of a text as token lists (cut at ; { and }), comments left out, each
    with the number of its first line."""
    found, current, line = [], [], 1
    for token in TOKEN.finditer(text):
        if token.group().lstrip().startswith(("//", "/*", "#")):
            continue
        if token.group() in (";", "{", "}"):
            found, current = found + [current] * bool(current), []
        else:
            if not current:
                line = text.count("\n", 0, token.start()) + 1
                current.append(line)
            current.append(token.group().removeprefix("std::"))
    return [(s[0], s[1:]) for s in found]


def closing(tokens, start):
    """The index just after the parenthesis that closes the one at start."""
    depth = 0
    for i in range(start, len(tokens)):
        depth += {"(": 1, ")": -1}.get(tokens[i], 0)
        if depth == 0:
            return i + 1
    return len(tokens)


def spans(tokens):
    """The parts of a statement that are message text: after throw, return or "=", and
    the arguments of a message call."""
    for i, token in enumerate(tokens):
        if token in ("throw", "return") or token == "=" and i and re.fullmatch(r"s[A-Z]\w*", tokens[i - 1]):
            yield tokens[i + 1:]
        elif tokens[i + 1:i + 2] == ["("] and (token in MESSAGE_CALLS or token == "fprintf" and
                                             tokens[i + 2:i + 3] == ["stderr"]):
            yield tokens[i + 2:closing(tokens, i + 1) - 1]


def bodies(path):
    """{name: [(place, statement)]}: the returns of each function of the file that returns text."""
    text, found = open(path, encoding="utf-8").read(), {}
    for head in re.finditer(r"(?:std::string|std::optional<std::string>|const char\s*\*)\s+(?:\w+::)?(\w+)"
                            r"\([^;{]*\)\s*(?:const\s*)?\{", text):
        depth, end = 1, head.end()
        while depth and end < len(text):
            depth, end = depth + {"{": 1, "}": -1}.get(text[end], 0), end + 1
        first = text.count("\n", 0, head.end())
        found.setdefault(head.group(1), []).extend((f"{path}:{line + first}", tokens) for line, tokens in
                                                   statements(text[head.end():end]) if "return" in tokens)
    return found


def messages(path, functions):
    """[(place, pattern)] of the messages of one source file; functions: those of the
    program's other files, for a message built by a helper of another file."""
    lines = [(f"{path}:{line}", tokens) for line, tokens in statements(open(path, encoding="utf-8").read())]
    local = bodies(path)
    chosen = [s for s in lines if "throw" in s[1] or any(t in MESSAGE_CALLS or t == "fprintf" for t in s[1])]
    done, result = set(), []
    while chosen:
        place, statement = chosen.pop()
        if (place, tuple(statement)) in done:
            continue
        done.add((place, tuple(statement)))
        for part in spans(statement):
            result += [(place, run) for run in runs(part)]
            for name in {t for t in part if re.fullmatch(r"s[A-Z]\w*", t)}:  # what the variable was given
                chosen += [(n, s) for n, s in lines if name in s and s[s.index(name) + 1:s.index(name) + 2] == ["="]]
            for i, name in enumerate(part[:-1]):  # what a function called returns, of this file first
                name = re.split(r"::|\.|->", name)[-1]
                if part[i + 1] == "(" and (name in local or name in functions):
                    chosen += local.get(name) or functions.get(name)
    return result


def runs(part):
    """The patterns of one message text: lists of literal fragments, None for a value."""
    found, run = [], []
    for token in part + [","]:
        if token.startswith('"'):
            literal = bytes(token[1:-1], "utf-8").decode("unicode_escape")
            pieces = re.split(r"%[-0-9.]*[a-z]+", literal.rstrip("\n"))
            for n, piece in enumerate(pieces):  # a conversion of printf stands for a value
                run += [None, piece] if n else [piece]
        elif token in ("?", ":", ","):
            if re.search("[A-Za-z]{2}", "".join(p for p in run if p)):
                found.append(run)
            run = []
        elif run and run[-1] is not None and token not in ("(", ")", "+"):
            run.append(None)
    return found


def pattern(run):
    return re.compile("".join(".*" if part is None else re.escape(part) for part in run))


def shown(run):
    return "".join("…" if p is None else p for p in run).strip("…")


def deroff(line, shape=False):
    """A line of roff as it reads: a font macro's words joined, escapes undone; its shape
    has "…" for each word in italics, the values of a message."""
    def plain(text):
        for code, value in ROFF:
            text = text.replace(code, value)
        return text
    if not line.startswith("."):
        return plain(line)
    macro, rest = (line[1:].split(" ", 1) + [""])[:2]
    if macro not in ("B", "I", "R", "BI", "IB", "BR", "RB", "IR", "RI"):
        return ""
    words = [plain(a if b == "" else b) for a, b in re.findall(r'"((?:[^"]|"")*)"|(\S+)', rest)]
    fonts = macro * len(words)  # the fonts alternate, word by word
    words = ["…" if shape and font == "I" else word for word, font in zip(words, fonts)]
    return (" " if macro in ("B", "I", "R") else "").join(words)


def entries(page):
    """[(tag lines, text)] of the DIAGNOSTICS section of a manual page."""
    source = open(os.path.join(TOP, page), encoding="utf-8").read().split("\n")
    start = source.index(".SH DIAGNOSTICS")
    end = next(i for i in range(start + 1, len(source)) if source[i].startswith(".SH "))
    found, tag, shapes = [], False, []
    for line in source[start + 1:end]:
        if line in (".TP", ".TQ"):
            if line == ".TP":
                found.append([[], ""])
            tag = True
        elif found and tag:
            found[-1][0].append(deroff(line))
            shapes.append(deroff(line, True))
            tag = False
        elif found:
            found[-1][1] += " " + deroff(line)
    twice = {shape for shape in shapes if shapes.count(shape) > 1}
    return found, twice


def main():
    failed = False
    os.chdir(TOP)
    for page, folders in PAGES.items():
        files = []
        for folder in folders:
            top = os.path.join(TOP, folder)
            files += [top] if os.path.isfile(top) else [os.path.join(d, f) for d, _, names in os.walk(top)
                                                        for f in sorted(names) if f.endswith((".cpp", ".h"))]
        files = sorted(os.path.relpath(f, TOP) for f in files)
        functions = {}
        for path in files:
            for name, returns in bodies(path).items():
                functions.setdefault(name, []).extend(returns)
        found = [(place, run) for path in files for place, run in messages(path, functions)]
        listed, twice = entries(page)
        for shape in sorted(twice):
            print(f"{page}: DIAGNOSTICS lists a message more than once: {shape}")
            failed = True
        texts = [line for tags, text in listed for line in tags + [text]]
        for where, run in found:
            if shown(run) not in UNREACHED and not any(pattern(run).search(line) for line in texts):
                print(f"{page}: DIAGNOSTICS has no entry for the message of {where}: {shown(run)}")
                failed = True
        for tags, _ in listed:
            for tag in tags:
                if not any(pattern(run).search(tag) for _, run in found):
                    print(f"{page}: DIAGNOSTICS lists a message the code does not print: {tag}")
                    failed = True
        print(f"{page}: {len(found)} message patterns of the code, {sum(len(t) for t, _ in listed)} entries")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
