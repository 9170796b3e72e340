#!/usr/bin/env python3
"""The web page in headless Chromium, against the programs.

usage: browser_test.py SOURCE_DIR WEB_BUILD_DIR ONDAFWD ONDAINV ONDASPLIT

Builds the page (scripts/web.sh --build-only), serves it on 127.0.0.1, and
lets tests/web/harness.js open the samples, PNG copies of them and the
bmpsuite files in it: every BMP the page saves must be the programs' bytes,
every refusal the programs' reason, and Chromium's network log must show no
request but for the page's and the test's own files. Exits 77 (skipped)
without Emscripten or Chromium.
"""
import http.server
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
from pathlib import Path

source, build, *programs = sys.argv[1:]
for tool in ("emcc", "chromium"):
    if shutil.which(tool) is None:
        print(f"SKIP: {tool} is not installed (scripts/install-prerequisites.sh installs it)")
        sys.exit(77)
subprocess.run([f"{source}/scripts/web.sh", "--build-only", build], check=True)
site = Path(build, "web", "site")
scratch = Path(tempfile.mkdtemp(prefix="onda-web-"))
sys.path.insert(0, f"{source}/scripts")
from bmp_to_png import read_bmp, write_png  # noqa: E402

inputs = {p.name: p for p in Path(source, "samples").glob("*.bmp")}
for folder in "gqb":
    inputs.update({f"{folder}-{p.name}": p for p in Path(source, "tests/data/bmpsuite", folder).glob("*.bmp")})
for name in [n for n in inputs if "-" not in n]:  # the samples, also as PNG
    width, height, rows = read_bmp(inputs[name])
    write_png(scratch / (name[:-4] + ".png"), width, height, rows)
    inputs[name[:-4] + ".png"] = scratch / (name[:-4] + ".png")


def run(index, picture, levels):
    """A program's output file's bytes, or its reason (a str)."""
    out = scratch / "out.bmp"
    out.unlink(missing_ok=True)
    done = subprocess.run([programs[index], picture, out, str(levels)], capture_output=True)
    if done.returncode != 0:
        return done.stderr.decode().splitlines()[0].split(f"{picture}: ", 1)[1]
    return out.read_bytes()


expected, cases = {}, []
for name, path in sorted(inputs.items()):
    picture = inputs.get(name[:-4] + ".bmp", path)  # a PNG's picture is its sample's
    read = run(0, picture, 0)
    if isinstance(read, str):
        expected[name, "read"] = read.encode()
        cases.append({"file": name, "levels": 0})
        continue
    width, height = (int.from_bytes(read[o:o + 4], "little") for o in (18, 22))
    levels = min(width, height).bit_length() - 1
    cases.append({"file": name, "levels": levels})
    for n in range(1, levels + 1):
        fwd = run(0, picture, n)
        if isinstance(fwd, str):
            expected[name, f"refused-{n}"] = fwd.encode()
            continue
        (scratch / "fwd.bmp").write_bytes(fwd)
        expected[name, f"ondafwd-{n}"] = fwd
        expected[name, f"ondainv-{n}"] = run(1, scratch / "fwd.bmp", n)
        if n <= 2:
            expected[name, f"ondasplit-{n}"] = run(2, picture, n)

results, requests, finished = {}, [], threading.Event()
own = {"/" + p.name: p for p in site.iterdir()}
own.update({f"/test/{n}": Path(source, "tests/web", n) for n in ("harness.html", "harness.js")})
own.update({f"/test/input/{n}": p for n, p in inputs.items()})


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        requests.append(self.path)
        if self.path == "/test/cases.json":
            body, kind = json.dumps(cases).encode(), "application/json"
        elif self.path in own:
            body = own[self.path].read_bytes()
            kind = {".js": "text/javascript", ".wasm": "application/wasm", ".css": "text/css",
                    ".html": "text/html", ".png": "image/png"}.get(own[self.path].suffix, "image/bmp")
        else:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        requests.append(self.path)
        body = self.rfile.read(int(self.headers["Content-Length"]))
        if self.path.startswith("/test/result/"):
            name, key = self.path[len("/test/result/"):].split("/")
            results[name, key] = body
        elif self.path == "/test/timing":
            results["timing"] = json.loads(body)
        else:
            results["error"] = body.decode()
            finished.set()
        self.send_response(204)
        self.end_headers()

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
threading.Thread(target=server.serve_forever, daemon=True).start()
origin = f"http://127.0.0.1:{server.server_port}"
browser = subprocess.Popen(
    ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
     "--disable-background-networking", "--disable-component-update", "--disable-sync",
     f"--user-data-dir={scratch}/profile", f"--log-net-log={scratch}/net.json",
     f"{origin}/test/harness.html"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
    start_new_session=True)
ended = finished.wait(240)
os.killpg(browser.pid, signal.SIGTERM)
browser.wait()
server.shutdown()
failures = [] if ended else ["the page did not finish within 240 s"]
if results.get("error"):
    failures.append("the harness failed: " + results["error"])
for key in sorted(set(expected) | {k for k in results if isinstance(k, tuple)}):
    if results.get(key) != expected.get(key):
        failures.append(f"{key}: the page gave {results.get(key, b'nothing')[:200]!r}, "
                        f"the programs {expected.get(key, b'nothing')[:200]!r}")
# The page's requests are those of its site (Chromium's own, for updates and
# the like, have none). The log holds an event a line; Chromium's end may cut
# the last one short.
events = []
for line in (scratch / "net.json").read_text(errors="replace").splitlines():
    try:
        events.append(json.loads(line.rstrip(",")))
    except ValueError:
        pass
keys = {e["params"]["url"]: e["params"]["network_isolation_key"] for e in events
        if "network_isolation_key" in e.get("params", {}) and "url" in e["params"]}
urls = {u for u, key in keys.items() if key.startswith("http://127.0.0.1 ")}
failures += [f"a request outside the page: {u}" for u in sorted(urls) if not u.startswith(origin + "/")]
failures += [f"a request for no file of the page's: {p}" for p in requests
             if p not in own and p != "/test/cases.json" and not p.startswith("/test/")]
times = sorted(results.get("timing", [0]))
print(f"{len(cases)} files, {len(expected)} results compared, {len(urls)} URLs the page asked for in "
      f"the network log ({len(keys) - len(urls)} of Chromium's own); 1024x1024 colour, transform and draw: median {times[len(times) // 2]:.1f} ms, "
      f"slowest {times[-1]:.1f} ms")
shutil.rmtree(scratch, ignore_errors=True)
print("\n".join(failures[:20]) or "all equal")
sys.exit(1 if failures else 0)
