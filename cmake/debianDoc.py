#!/usr/bin/env python3
"""The two files every Debian package carries in usr/share/doc/brellix, from the project's own:

  debianDoc.py copyright LICENSE OUT
      the copyright file in Debian's machine-readable format, with the licence text of LICENSE
  debianDoc.py changelog CHANGELOG.md VERSION MAINTAINER OUT
      the changelog in Debian's format, one entry per "## VERSION (YYYY-MM-DD)" section;
      fails when the newest section is not VERSION, so a package never claims a release
      its changelog does not describe

Lines are wrapped at 79 columns, as Debian's tools expect.
"""
import datetime
import email.utils
import re
import sys
import textwrap

WIDTH = 79
FORMAT = "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"


def fail(message):
    sys.exit(f"debianDoc.py: {message}")


def copyright_file(license_path):
    with open(license_path, encoding="utf-8") as source:
        lines = source.read().strip("\n").split("\n")
    holders = [line for line in lines if line.startswith("Copyright")]
    if lines[0] != "MIT License" or len(holders) != 1:
        fail(f"{license_path}: expected \"MIT License\" and one Copyright line")
    holder = re.sub(r"^Copyright (\(c\) )?", "", holders[0])
    terms = "\n".join(lines[lines.index(holders[0]) + 1:]).strip("\n")
    # Debian's short name of this licence is Expat; a blank line is " ." in a field.
    text = "\n".join(" " + line if line else " ." for line in terms.split("\n"))
    return (f"Format: {FORMAT}\nUpstream-Name: Brellix\n"
            "Comment: The MIT licence (Debian's name: Expat), as in the file LICENSE.\n\n"
            f"Files: *\nCopyright: {holder}\nLicense: Expat\n{text}\n")


def wrapped(text, first, rest):
    return textwrap.wrap(" ".join(text.split()), WIDTH, initial_indent=first, subsequent_indent=rest,
                         break_on_hyphens=False, break_long_words=False)


def changelog_file(changelog_path, version, maintainer):
    with open(changelog_path, encoding="utf-8") as source:
        sections = re.split(r"^## ", source.read(), flags=re.M)[1:]
    entries = []
    for section in sections:
        heading, _, body = section.partition("\n")
        found = re.fullmatch(r"(\S+) \((\d{4}-\d{2}-\d{2})\)", heading.strip())
        if not found:
            fail(f"{changelog_path}: a section heading must read \"## VERSION (YYYY-MM-DD)\": {heading}")
        if not entries and found[1] != version:
            fail(f"{changelog_path}: the newest section is {found[1]}, the project is {version}")
        day = datetime.datetime.strptime(found[2], "%Y-%m-%d").replace(tzinfo=datetime.timezone.utc)
        # Paragraphs become items, "- " lines the items below the paragraph before them.
        lines, blocks = [], []
        for line in body.split("\n") + [""]:
            if line.startswith("- ") or not line.strip():
                if lines:
                    blocks.append(lines)
                lines = [line] if line.strip() else []
            else:
                lines.append(line)
        text = []
        for block in blocks:
            item = block[0].startswith("- ")
            joined = " ".join(line.strip() for line in block)
            text += wrapped(joined[2:], "    - ", "      ") if item else wrapped(joined, "  * ", "    ")
        entries.append(f"brellix ({found[1]}) unstable; urgency=medium\n\n" + "\n".join(text) +
                       f"\n\n -- {maintainer}  {email.utils.format_datetime(day)}\n")
    if not entries:
        fail(f"{changelog_path}: no \"## VERSION (YYYY-MM-DD)\" section")
    return "\n".join(entries)


if __name__ == "__main__":
    kind, arguments = sys.argv[1], sys.argv[2:]
    if kind == "copyright" and len(arguments) == 2:
        made = copyright_file(arguments[0])
    elif kind == "changelog" and len(arguments) == 4:
        made = changelog_file(*arguments[:3])
    else:
        fail("usage: copyright LICENSE OUT | changelog CHANGELOG.md VERSION MAINTAINER OUT")
    with open(arguments[-1], "w", encoding="utf-8") as out:
        out.write(made)
