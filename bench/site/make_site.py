#!/usr/bin/env python3
"""Writes a synthetic site for the mirroring benchmark.

2,000 pages in nested folders, each linking its neighbours with every link form the parser
knows (relative, ./ and ../ steps, absolute paths, full addresses, single, double and missing
quotes, upper-case keywords, fragments, queries, entities, escapes, window.open calls), images,
a few large files and some pages that are one long line. Links that leave the site folder or
point at dynamic pages are included too, so that both mirrors have something to refuse.

Usage: make_site.py ROOT [--pages N] [--big-files N] [--big-mb N]
The site is written to ROOT/site/; ROOT/outside.html lies outside it.
"""
import argparse
import os
import random


def page_path(index):
    # Three levels of folders: d<i//400>/s<i//40>/p<i>.html
    return f"d{index // 400}/s{(index // 40) % 10}/p{index}.html"


def relative(from_path, to_path):
    return os.path.relpath(to_path, os.path.dirname(from_path) or ".")


def link_forms(rng, here, target, host):
    rel = relative(here, target)
    return [
        f'<a href="{rel}">double quoted</a>',
        f"<a href='{rel}#part'>single quoted with fragment</a>",
        f"<a HREF={rel}>unquoted upper case</a>",
        f'<a href="./{rel}?from=bench&amp;x=1">with a query</a>',
        f'<a href="/site/{target}">absolute path</a>',
        f'<a href="http://{host}/site/{target}">full address</a>',
        f"<a href=\"#\" onclick=\"window.open('{rel}','w')\">popup</a>",
    ]


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    mode = "wb" if isinstance(data, bytes) else "w"
    with open(path, mode) as out:
        out.write(data)


def make_page(rng, index, pages, host):
    here = page_path(index)
    lines = ["<html>", f"<head><title>Page {index}</title></head>", "<body>"]
    for _ in range(4):
        target = page_path(rng.randrange(pages))
        form = rng.choice(link_forms(rng, here, target, host))
        lines.append(form)
        if "?" in form or "window.open" in form:
            # wget leaves query addresses (as told) and script calls alone; link the page plainly
            # too, so that both mirrors can reach the same pages.
            lines.append(f'<a href="{relative(here, target)}">plain</a>')
        lines.append("<p>" + " ".join(rng.choice(WORDS) for _ in range(14)) + "</p>")
    lines.append(f'<img src="{relative(here, f"images/img{index % 200}.gif")}">')
    lines.append(f'<a href="{relative(here, "d0/index.html")}">a folder index</a>')
    lines.append('<a href="/outside.html">outside</a> <a href="search.cgi?q=1">dynamic</a>')
    lines.append('<a href="mailto:bench@harvestly.example.org">mail</a> <a href="#top">top</a>')
    lines += ["</body>", "</html>"]
    separator = "" if index % 50 == 7 else "\n"  # some pages are one long line
    return separator.join(lines) + "\n"


WORDS = "mirror folder link page site harvest crawl depth filter archive copy local".split()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("--pages", type=int, default=2000)
    parser.add_argument("--big-files", type=int, default=3)
    parser.add_argument("--big-mb", type=int, default=20)
    parser.add_argument("--host", default="127.0.0.1:8080")
    args = parser.parse_args()

    rng = random.Random(20261209)
    site = os.path.join(args.root, "site")
    write(os.path.join(args.root, "outside.html"), "<html><body>outside</body></html>\n")

    index_links = [f'<a href="{page_path(i)}">page {i}</a>' for i in range(0, args.pages, 97)]
    index_links += [f'<a href="big{i}.bin">big file {i}</a>' for i in range(args.big_files)]
    write(os.path.join(site, "index.html"), "<html><body>\n" + "\n".join(index_links) + "\n</body></html>\n")
    write(os.path.join(site, "d0/index.html"), '<html><body><a href="s0/p0.html">first</a></body></html>\n')

    for index in range(args.pages):
        write(os.path.join(site, page_path(index)), make_page(rng, index, args.pages, args.host))
    for image in range(200):
        write(os.path.join(site, f"images/img{image}.gif"), b"GIF89a" + bytes(rng.randrange(256) for _ in range(1500)))
    chunk = bytes(rng.randrange(256) for _ in range(1 << 20))
    for big in range(args.big_files):
        with open(os.path.join(site, f"big{big}.bin"), "wb") as out:
            for _ in range(args.big_mb):
                out.write(chunk)


if __name__ == "__main__":
    main()
