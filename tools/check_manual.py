#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kotrina developers
"""Checks a folder of HTML pages: every picture, stylesheet and link a page refers to exists
(anchors included), every page reads as UTF-8, every page can be reached from index.html,
and every other file of the folder (pictures, stylesheets) is used by some page.

    check_manual.py FOLDER

Prints one line per problem and exits with 1 when there is any.
"""
import os
import sys
from html.parser import HTMLParser
from urllib.parse import unquote, urlsplit


class Page(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.refs = []  # (attribute value, tag)
        self.ids = set()

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if value is None:
                continue
            if name in ("id", "name") and (name == "id" or tag == "a"):
                self.ids.add(value)
            if (name == "href" and tag in ("a", "link")) or (name == "src" and tag in ("img", "script", "source")):
                self.refs.append(value)


def main(folder):
    folder = os.path.abspath(folder)
    problems = []
    pages = {}
    others = set()
    for root, _, files in os.walk(folder):
        for f in sorted(files):
            if not f.endswith(".html"):
                others.add(os.path.relpath(os.path.join(root, f), folder))
            else:
                path = os.path.join(root, f)
                rel = os.path.relpath(path, folder)
                try:
                    with open(path, encoding="utf-8") as stream:
                        text = stream.read()
                except UnicodeDecodeError as e:
                    problems.append(f"not UTF-8: {rel} ({e})")
                    continue
                page = Page()
                page.feed(text)
                pages[rel] = page

    if "index.html" not in pages:
        problems.append("missing: index.html")

    links = {}  # page -> pages it links to
    for rel in sorted(pages):
        here = os.path.dirname(os.path.join(folder, rel))
        links[rel] = set()
        for ref in pages[rel].refs:
            parts = urlsplit(ref)
            if parts.scheme or parts.netloc:
                continue  # the web, mail: not part of the folder
            target = rel if not parts.path else os.path.relpath(
                os.path.normpath(os.path.join(here, unquote(parts.path))), folder)
            if target.startswith(".."):
                problems.append(f"outside the manual: {rel} -> {ref}")
                continue
            if not os.path.isfile(os.path.join(folder, target)):
                problems.append(f"missing: {rel} -> {ref}")
                continue
            others.discard(target)
            if target.endswith(".html"):
                links[rel].add(target)
                if parts.fragment and target in pages and unquote(parts.fragment) not in pages[target].ids:
                    problems.append(f"missing: {rel} -> {ref}")

    seen = set()
    todo = ["index.html"] if "index.html" in pages else []
    while todo:
        page = todo.pop()
        if page in seen:
            continue
        seen.add(page)
        todo.extend(links.get(page, ()))
    for rel in sorted(pages):
        if rel not in seen:
            problems.append(f"unreachable: {rel}")

    for rel in sorted(others):
        problems.append(f"unused: {rel}")

    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} problems found in {folder}")
        return 1
    print(f"{len(pages)} pages checked in {folder}")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1]))
