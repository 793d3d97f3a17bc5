#!/usr/bin/python3
"""A converted mirror opened in a real browser, with the network off.

Serves a small site on loopback (relative, root-relative and absolute links, a folder link, a
link out of the start folder, a missing page, a name with a query, pictures named in a stylesheet
and a style attribute), mirrors it with harvestly-cli --convert-links, then opens the start page
and every stored page from disk in headless Chromium. A script of the site, itself loaded from the
mirror, reports what the page could load; the test checks that every picture, stylesheet and
stylesheet picture came from disk, that every link into the mirror names a file that is there,
and that the site's server was asked for nothing while the pages were open.

Usage: offline_browser.py PATH_TO_HARVESTLY_CLI
Exit status 0: passed; 1: failed; 77: Chromium is missing (bash scripts/setup.sh).
"""
import http.server
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import urllib.parse
import zlib

# Generous for a loaded machine: each bounds one browser run, which normally takes a second.
BROWSER_LIMIT = 90
MIRROR_LIMIT = 120


class Failure(Exception):
    pass


def png(red, green, blue):
    """A valid 2x2 picture of one colour."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + bytes([red, green, blue]) * 2 for _ in range(2))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 2, 2, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


# Runs once the page has loaded and appends what it found as JSON in <pre id="harvestly-check">.
CHECK_JS = r"""
window.addEventListener('load', function () {
  var bad = [], links = [], urls = [];
  function local(u) { return u.indexOf('file:') === 0; }
  function done() {
    var out = document.createElement('pre');
    out.id = 'harvestly-check';
    out.textContent = JSON.stringify({bad: bad, links: links, pictures: document.images.length});
    document.body.appendChild(out);
  }
  Array.prototype.forEach.call(document.images, function (i) {
    if (!local(i.currentSrc) || !i.complete || i.naturalWidth === 0) bad.push('picture ' + i.currentSrc);
  });
  document.querySelectorAll('link[rel=stylesheet]').forEach(function (l) {
    if (!local(l.href) || !l.sheet) bad.push('stylesheet ' + l.href);
  });
  Array.prototype.forEach.call(document.links, function (a) { links.push(a.href); });
  document.querySelectorAll('*').forEach(function (e) {
    var m = /url\("?([^")]*)"?\)/.exec(getComputedStyle(e).backgroundImage);
    if (m) urls.push(m[1]);
  });
  var waiting = urls.length;
  if (waiting === 0) { done(); return; }
  urls.forEach(function (u) {
    var img = new Image();
    img.onload = function () { if (!local(u)) bad.push('stylesheet picture ' + u); if (--waiting === 0) done(); };
    img.onerror = function () { bad.push('stylesheet picture ' + u); if (--waiting === 0) done(); };
    img.src = u;
  });
});
"""


def site(root):
    """Path -> (type, body) of the served site; `root` is "http://127.0.0.1:port"."""
    return {
        "/d/index.html": ("text/html",
                          '<html><head><link rel="stylesheet" href="/d/css/site.css">\n'
                          '<script src="check.js"></script></head><body>\n'
                          '<img src="img/a.png"> <img src="' + root + '/d/img/b.png">\n'
                          '<a href="sub/">folder</a> <a href="page.html?x=1#top">query</a>\n'
                          '<a href="/d/abs.html">root</a> <a href="' + root + '/d/sub/two.html">absolute</a>\n'
                          '<a href="../outside.html">out</a> <a href="missing.html">missing</a>\n'
                          '<a href="http://other.invalid/x.html">elsewhere</a>\n'
                          '<div class="bg">stylesheet picture</div>\n</body></html>\n'),
        "/d/sub/": ("text/html",
                    '<html><head><script src="/d/check.js"></script></head><body>\n'
                    '<a href="../index.html">home</a> <a href="two.html#end">two</a>\n'
                    '<img src="../img/a.png"></body></html>\n'),
        "/d/sub/two.html": ("text/html",
                            '<html><head><link rel=stylesheet href="../css/site.css">\r\n'
                            '<script src="../check.js"></script></head><body>\r\n'
                            '<div class=bg>x</div><a href="' + root + '/d/">start folder</a>\r\n'
                            '<a href="' + root + '/d/sub/">this folder</a></body></html>\r\n'),
        "/d/page.html": ("text/html",
                         '<html><head><script src="check.js"></script></head><body>\n'
                         '<div style="width:4px;height:4px;background-image:url(&quot;img/c.png&quot;)">c</div>\n'
                         '<a href="sub/two.html">two</a></body></html>\n'),
        "/d/abs.html": ("text/html",
                        '<html><head><script src="/d/check.js"></script></head><body>\n'
                        '<img src="/d/img/a.png"><a href="/d/index.html">home</a></body></html>\n'),
        "/outside.html": ("text/html", "<html><body>outside</body></html>\n"),
        "/d/check.js": ("application/javascript", CHECK_JS),
        "/d/css/site.css": ("text/css", '@import "more.css";\n.bg { background-image: url("../img/bg.png") }\n'),
        "/d/css/more.css": ("text/css", "body { background-image: url( ../img/body.png ) }\n"),
        "/d/img/a.png": ("image/png", png(200, 0, 0)),
        "/d/img/b.png": ("image/png", png(0, 200, 0)),
        "/d/img/c.png": ("image/png", png(0, 0, 200)),
        "/d/img/bg.png": ("image/png", png(200, 200, 0)),
        "/d/img/body.png": ("image/png", png(0, 200, 200)),
    }


class Site(http.server.BaseHTTPRequestHandler):
    pages = {}
    serving = True
    asked = []
    lock = threading.Lock()

    def do_GET(self):
        path = urllib.parse.urlsplit(self.path).path
        with Site.lock:
            Site.asked.append(path)
            found = Site.pages.get(path) if Site.serving else None
        if found is None:
            self.send_error(404)
            return
        kind, body = found
        data = body if isinstance(body, bytes) else body.encode()
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Last-Modified", "Tue, 01 Jul 2025 10:00:00 GMT")
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass


def browse(page, profile):
    """What the page's check found, opened from disk with the network off."""
    argv = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
            "--no-default-browser-check", "--disable-background-networking", "--disable-component-update",
            "--disable-sync", "--disable-extensions", "--user-data-dir=" + profile,
            # Names resolve nowhere; the site's own server is still reached by its IP address, so
            # that any request for it is seen.
            "--host-resolver-rules=MAP * ~NOTFOUND", "--virtual-time-budget=10000", "--dump-dom",
            "file://" + urllib.parse.quote(page)]
    try:
        done = subprocess.run(argv, capture_output=True, text=True, timeout=BROWSER_LIMIT)
    except subprocess.TimeoutExpired:
        raise Failure("Chromium did not finish with " + page)
    found = re.search(r'<pre id="harvestly-check">(.*?)</pre>', done.stdout, re.S)
    if not found:
        raise Failure("the site's check did not run on %s (did check.js load?); Chromium said:\n%s"
                      % (page, done.stderr[-2000:]))
    return json.loads(found.group(1).replace("&quot;", '"').replace("&lt;", "<").replace("&gt;", ">")
                      .replace("&amp;", "&"))


def mirrored(mirror, root, address):
    """The file of the mirror an address of the site names, or None."""
    if not address.startswith(root + "/d/"):
        return None
    path = urllib.parse.unquote(urllib.parse.urlsplit(address).path)[len("/d/"):]
    local = os.path.join(mirror, path)
    if path == "" or path.endswith("/"):
        local = os.path.join(local, "index.html")
    return local if os.path.isfile(local) else None


def check_page(mirror, root, page, profile):
    result = browse(page, profile)
    problems = ["%s: %s did not load from disk" % (page, what) for what in result["bad"]]
    for link in result["links"]:
        address = link.split("#")[0]
        if address.startswith("file:"):
            target = urllib.parse.unquote(urllib.parse.urlsplit(address).path)
            if not os.path.isfile(target):
                problems.append("%s: link %s names no file" % (page, link))
        elif mirrored(mirror, root, address) is not None:
            problems.append("%s: link %s leaves for the network though its file is in the mirror" % (page, link))
    return problems


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 1
    if shutil.which("chromium") is None:
        print("SKIP: chromium is not installed (bash scripts/setup.sh)")
        return 77
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Site)
    root = "http://127.0.0.1:%d" % server.server_address[1]
    Site.pages = site(root)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    tmp = tempfile.mkdtemp(prefix="harvestly-offline-")
    try:
        mirror = os.path.join(tmp, "mirror")
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(tmp, "config"))
        run = subprocess.run([sys.argv[1], "--yes", "--quiet", "--crawl", "--index", "--css", "--convert-links",
                              root + "/d/index.html", mirror], env=env, capture_output=True, text=True,
                             timeout=MIRROR_LIMIT)
        # The missing page makes no failure: the run is complete.
        if run.returncode != 0:
            raise Failure("harvestly-cli ended with %d: %s" % (run.returncode, run.stderr))
        pages = sorted(os.path.join(folder, name) for folder, _, names in os.walk(mirror)
                       for name in names if name.endswith(".html"))
        expected = {"index.html", "sub/index.html", "sub/two.html", "page.html", "abs.html"}
        if {os.path.relpath(p, mirror) for p in pages} != expected:
            raise Failure("stored pages %s, expected %s" % (pages, sorted(expected)))

        with Site.lock:
            Site.serving = False
            Site.asked.clear()
        problems = []
        for page in pages:
            problems += check_page(mirror, root, page, os.path.join(tmp, "profile"))
        with Site.lock:
            for path in Site.asked:
                if mirrored(mirror, root, root + path) is not None:
                    problems.append("the server was asked for %s, whose file is in the mirror" % path)
        if problems:
            raise Failure("\n".join(problems))
        print("offline browsing: %d pages loaded from disk with all they name" % len(pages))
        return 0
    except Failure as failure:
        print("FAILED:", failure)
        return 1
    finally:
        server.shutdown()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
