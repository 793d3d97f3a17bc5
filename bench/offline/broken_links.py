#!/usr/bin/env python3
"""Counts, in a mirror, the link values that lead nowhere when the mirror is opened from disk.

Every href and src of every stored page, and the url() and @import values of its style blocks,
style attributes and stored stylesheets, are read as a browser reads them against the file's
own location:
  local     a relative or root-relative value whose file is in the mirror (the query is dropped,
            as a browser does for a file; a folder leads to its index.html);
  nowhere   a relative or root-relative value whose file is not in the mirror, which a browser
            opening the mirror from disk cannot follow;
  absolute  a full address (needs the network); "in mirror" counts those whose file is there.
Values that are not addresses (#fragment, mailto:, javascript:, data:) are left out.

Usage: broken_links.py MIRROR SITE_ADDRESS [--list]   (SITE_ADDRESS: http://host:port/folder/)
Prints: values local nowhere absolute absolute_in_mirror; with --list, first every value that
leads nowhere or is absolute though its file is in the mirror, with its page.
"""
import html.parser
import os
import re
import sys
import urllib.parse

SKIP = ("#", "mailto:", "javascript:", "data:", "about:", "ftp:", "tel:")
CSS_URL = re.compile(r"""url\(\s*(['"]?)([^'")]*)\1\s*\)|@import\s+(['"])([^'"]*)\3""", re.I)


class Values(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.values = []
        self.in_style = False

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if value is None:
                continue
            if name in ("href", "src"):
                self.values.append(value)
            elif name == "style":
                self.values += css_values(value)
        self.in_style = tag == "style"

    def handle_endtag(self, tag):
        self.in_style = False

    def handle_data(self, data):
        if self.in_style:
            self.values += css_values(data)


def css_values(text):
    return [m.group(2) if m.group(2) is not None else m.group(4) for m in CSS_URL.finditer(text)]


def local_file(mirror, path):
    path = urllib.parse.unquote(path)
    if os.path.isdir(path) or path.endswith("/"):
        path = os.path.join(path, "index.html")
    return os.path.isfile(path) and os.path.realpath(path).startswith(os.path.realpath(mirror))


def mirrored(mirror, site, address):
    if not address.startswith(site):
        return False
    return local_file(mirror, os.path.join(mirror, urllib.parse.urlsplit(address).path[len(urllib.parse.urlsplit(site).path):]))


def main():
    mirror, site = os.path.abspath(sys.argv[1]), sys.argv[2]
    listing = "--list" in sys.argv[3:]
    counts = {"values": 0, "local": 0, "nowhere": 0, "absolute": 0, "absolute_in_mirror": 0}
    for folder, _, names in os.walk(mirror):
        for name in names:
            path = os.path.join(folder, name)
            if not name.endswith((".html", ".htm", ".css")):
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            if name.endswith(".css"):
                values = css_values(text)
            else:
                parser = Values()
                parser.feed(text)
                values = parser.values
            base = "file://" + urllib.parse.quote(path)
            for value in values:
                value = value.strip()
                if not value or value.lower().startswith(SKIP):
                    continue
                counts["values"] += 1
                resolved = urllib.parse.urljoin(base, value)
                parts = urllib.parse.urlsplit(resolved)
                if parts.scheme == "file":
                    found = local_file(mirror, parts.path)
                    counts["local" if found else "nowhere"] += 1
                    if not found and listing:
                        print("nowhere", os.path.relpath(path, mirror), value)
                else:
                    in_mirror = mirrored(mirror, site, resolved.split("#")[0].split("?")[0])
                    counts["absolute"] += 1
                    counts["absolute_in_mirror"] += in_mirror
                    if in_mirror and listing:
                        print("absolute in mirror", os.path.relpath(path, mirror), value)
    print(" ".join(str(counts[k]) for k in ("values", "local", "nowhere", "absolute", "absolute_in_mirror")))


if __name__ == "__main__":
    main()
