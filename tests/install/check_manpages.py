#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kotrina developers
"""Checks the manual pages against the program's own help.

    check_manpages.py KOTRINA PAGE...

Every command that `kotrina help` lists (as "kotrina COMMAND") and every option that `kotrina COMMAND --help`
prints must appear in each page as the reader sees it (rendered by groff, as man does);
groff must format each page without a warning (-ww), the Japanese one included.
"""
import os
import re
import subprocess
import sys
import tempfile

# The program's data and settings of this run go to a folder of its own.
HOME = tempfile.TemporaryDirectory()


def run(args, **kwargs):
    env = dict(os.environ, LC_ALL="C.UTF-8", QT_QPA_PLATFORM="offscreen", KOTRINA_HOME=HOME.name + "/data",
               XDG_CONFIG_HOME=HOME.name + "/config")
    return subprocess.run(args, capture_output=True, text=True, env=env, **kwargs)


def commands_and_options(kotrina):
    """The commands of `kotrina help`, each with the options of its --help."""
    listing = run([kotrina, "help"])
    if listing.returncode != 0:
        sys.exit(f"kotrina help failed ({listing.returncode}): {listing.stderr}")
    # The list: two spaces, the command (one or two words), at least two spaces, its text.
    commands = re.findall(r"^  (\S+(?: \S+)?)  +\S", listing.stdout, re.MULTILINE)
    if len(commands) < 2:
        sys.exit("kotrina help lists no commands:\n" + listing.stdout)
    found = {}
    for command in commands:
        help_run = run([kotrina, *command.split(), "--help"])
        if help_run.returncode != 0:
            sys.exit(f"kotrina {command} --help failed: {help_run.stderr}")
        # Option lines start with two spaces and a dash: "  --date YYYY-MM-DD  …", "  -h, --help  …".
        options = set()
        for line in help_run.stdout.splitlines():
            head = re.match(r"^  (-\S.*?)(?:  |$)", line)
            if head:
                options.update(re.findall(r"(?<![\w-])(--?[A-Za-z][\w-]*)", head.group(1)))
        if "--help" not in options:
            sys.exit(f"kotrina {command} --help lists no options:\n{help_run.stdout}")
        found[command] = sorted(options)
    return found


def rendered(page):
    """The page as man shows it, on one long line per paragraph, dashes as typed."""
    result = run(["groff", "-k", "-ww", "-man", "-Tutf8", "-P-cbou", "-rLL=300n", page])
    if result.returncode != 0:
        sys.exit(f"groff cannot format {page}: {result.stderr}")
    # groff writes \- and - as the minus and hyphen signs.
    text = result.stdout.replace("\u2212", "-").replace("\u2010", "-")
    return " ".join(text.split())


def warnings(page):
    """What groff says about the page at the width of a terminal."""
    result = run(["groff", "-k", "-ww", "-z", "-man", "-Tutf8", page])
    return result.stderr.strip()


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    kotrina, pages = sys.argv[1], sys.argv[2:]
    found = commands_and_options(kotrina)
    problems = []
    for page in pages:
        said = warnings(page)
        if said:
            problems.append(f"{page}: groff warns:\n{said}")
        text = rendered(page)
        for command, options in found.items():
            # Each command is shown with the program's name, as it is typed.
            if not re.search(r"kotrina " + re.escape(command) + r"(?![\w-])", text):
                problems.append(f"{page}: the command 'kotrina {command}' is missing")
            for option in options:
                if not re.search(r"(?<![\w-])" + re.escape(option) + r"(?![\w-])", text):
                    problems.append(f"{page}: the option '{option}' of '{command}' is missing")
    for problem in problems:
        print("FAIL:", problem, file=sys.stderr)
    if problems:
        sys.exit(1)
    count = sum(len(o) for o in found.values())
    print(f"{len(pages)} pages list the {len(found)} commands and their {count} options")


if __name__ == "__main__":
    main()
