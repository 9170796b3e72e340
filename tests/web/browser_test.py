#!/usr/bin/env python3
# The web page in headless Chromium, against the programs:
#   browser_test.py SOURCE_DIR WEB_BUILD_DIR ONDAFWD ONDAINV ONDASPLIT
# Builds the page (scripts/web.sh --build-only), serves it on 127.0.0.1 with
# tests/web/harness.*, which opens the samples, PNG copies of them and the
# bmpsuite files in it: every BMP the page saves must be the programs' bytes,
# every refusal the programs' reason, and Chromium's network log must show no
# request of the page's outside its origin. Exits 77 (skipped) without
# Emscripten or Chromium.
import http.server
import json
import os
import re
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
root = Path(tempfile.mkdtemp(prefix="onda-web-"))  # what the server serves
shutil.copytree(Path(build, "web", "site"), root, dirs_exist_ok=True)
shutil.copytree(Path(source, "tests", "web"), root / "test", ignore=lambda *_: ["browser_test.py"])
sys.path.insert(0, f"{source}/scripts")
from bmp_to_png import read_bmp, write_png  # noqa: E402

inputs = {p.name: p for p in Path(source, "samples").glob("*.bmp")}
inputs.update({f"{p.parent.name}-{p.name}": p for p in Path(source, "tests/data/bmpsuite").glob("*/*.bmp")})
(root / "test" / "input").mkdir()
for name, path in list(inputs.items()):
    shutil.copy(path, root / "test" / "input" / name)
    if "-" not in name:  # a sample, also as a PNG
        inputs[name[:-4] + ".png"] = path
        write_png(root / "test" / "input" / (name[:-4] + ".png"), *read_bmp(path))
noise = [bytes((x * 7919 + y * 13) % 251 for x in range(3 * 1027)) for y in range(1030)]
write_png(root / "test" / "input" / "noise.png", 1027, 1030, noise)  # the harness crops it


# A program's output file's bytes, or the reason it gives.
def run(index, picture, levels, out):
    done = subprocess.run([programs[index], picture, out, str(levels)], capture_output=True)
    if done.returncode != 0:
        return done.stderr.decode().splitlines()[0].split(f"{picture}: ", 1)[1].encode()
    return out.read_bytes()


expected, cases = {}, []
for name, picture in sorted(inputs.items()):
    read = run(0, picture, 0, root / "copy.bmp")
    width, height = (int.from_bytes(read[o:o + 4], "little") for o in (18, 22))
    cases.append({"file": name, "levels": min(width, height).bit_length() - 1 if read[:2] == b"BM" else 0})
    if read[:2] != b"BM":
        expected[name, "read"] = read
    for n in range(1, cases[-1]["levels"] + 1):
        fwd = expected[name, f"ondafwd-{n}"] = run(0, picture, n, root / "fwd.bmp")  # or the reason
        if fwd[:2] == b"BM":
            expected[name, f"ondainv-{n}"] = run(1, root / "fwd.bmp", n, root / "inv.bmp")
        if fwd[:2] == b"BM" and n <= 2:
            expected[name, f"ondasplit-{n}"] = run(2, picture, n, root / "split.bmp")
(root / "test" / "cases.json").write_text(json.dumps(cases))
expected["crop"] = b"noise-cropped.png: 1024x1024, colour"
results, finished = {}, threading.Event()


class Handler(http.server.SimpleHTTPRequestHandler):
    def do_POST(self):
        key = self.path[len("/test/"):]
        body = self.rfile.read(int(self.headers["Content-Length"]))
        results[tuple(key.split("/")[1:]) if key.startswith("result/") else key] = body
        self.send_response(204)
        self.end_headers()
        if key == "done":
            finished.set()


Handler.log_message = lambda *args: None
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), lambda *a: Handler(*a, directory=root))
threading.Thread(target=server.serve_forever, daemon=True).start()
origin = f"http://127.0.0.1:{server.server_port}"
browser = subprocess.Popen(
    ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
     "--disable-background-networking", "--disable-component-update", "--disable-sync",
     f"--user-data-dir={root}/profile", f"--log-net-log={root}/net.json", f"{origin}/test/harness.html"],
    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
failures = [] if finished.wait(240) else ["the page did not finish within 240 s"]
os.killpg(browser.pid, signal.SIGTERM)
browser.wait()
failures += ["the harness failed: " + results["done"].decode()] if results.get("done") else []
failures += [f"{k}: the page gave {results.get(k, b'nothing')[:150]!r}, the programs "
             f"{expected.get(k, b'nothing')[:150]!r}" for k in sorted(set(expected) | set(results), key=str)
             if isinstance(k, tuple) and results.get(k) != expected.get(k)]
# The page's requests are those of its site (Chromium's own, for updates and
# the like, have none). The log holds an event a line, its parameters' names
# in order.
log = (root / "net.json").read_text(errors="replace")
pairs = re.findall(r'"network_isolation_key":"([^"]*)"[^\n]*?"url":"([^"]*)"', log)
urls = {u for key, u in pairs if key.startswith("http://127.0.0.1 ")}
failures += [f"a request outside the page: {u}" for u in sorted(urls) if not u.startswith(origin + "/")]
times = sorted(json.loads(results.get("timing", b"[0]")))
print(f"{len(cases)} files, {len(expected)} results, {len(urls)} URLs from the page in the network log "
      f"({len({u for _, u in pairs}) - len(urls)} of Chromium's own); 1024x1024 colour, transform and draw: median "
      f"{times[len(times) // 2]:.1f} ms, slowest {times[-1]:.1f} ms")
shutil.rmtree(root, ignore_errors=True)
print("\n".join(failures[:20]) or "all equal")
sys.exit(1 if failures else 0)
