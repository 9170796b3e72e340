#!/usr/bin/env python3
"""Times the web page's levels control on a 1024x1024 colour picture in
headless Chromium: each change runs ondafwd, ondainv and ondasplit in
WebAssembly and draws the three results.

usage: bench/web_levels.py [BUILD_DIR]     (build-web/ by default)

Builds the page with scripts/web.sh --build-only, serves it on 127.0.0.1 and
drives Chromium through its DevTools pipe: 5 rounds of levels 1 to 10, the
block transform alternating 1 and 2 levels. Prints the median and range of
the change itself (transform, pixels for the canvases, putImageData) and of
the change until the second animation frame after it (the paint included).
"""
import functools
import http.server
import json
import os
import subprocess
import sys
import tempfile
import threading

MEASURE = """(async () => {
  while (!window.ondaPage) await new Promise((resolve) => setTimeout(resolve, 50));
  await ondaPage.ready;
  const canvas = new OffscreenCanvas(1024, 1024);
  const context = canvas.getContext("2d");
  const noise = context.createImageData(1024, 1024);
  for (let i = 0; i < noise.data.length; i++) noise.data[i] = i % 4 === 3 ? 255 : (i * 7919) % 251;
  context.putImageData(noise, 0, 0);
  const blob = await canvas.convertToBlob();
  await ondaPage.openFile(new File([blob], "noise.png", {type: "image/png"}));
  const change = [], painted = [];
  for (let i = 0; i < 50; i++) {
    const start = performance.now();
    ondaPage.setLevels(1 + (i % 10), 1 + (i % 2));
    change.push(performance.now() - start);
    await new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
    painted.push(performance.now() - start);
  }
  return JSON.stringify([change, painted]);
})()"""


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def devtools(to_browser, from_browser):
    """A call over Chromium's DevTools pipe: messages end with a NUL."""
    pending = [b""]

    def call(number, method, params, session=None):
        message = {"id": number, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        to_browser.write(json.dumps(message).encode() + b"\0")
        to_browser.flush()
        while True:
            while b"\0" not in pending[0]:
                pending[0] += os.read(from_browser, 1 << 20)
            reply, pending[0] = pending[0].split(b"\0", 1)
            answer = json.loads(reply)
            if answer.get("id") == number:
                return answer.get("result", answer)
    return call


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build-web"
    here = os.path.dirname(os.path.abspath(__file__))
    subprocess.run([os.path.join(here, "..", "scripts", "web.sh"), "--build-only", build], check=True)
    site = os.path.join(build, "web", "site")
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=site))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    browser_in, commands = os.pipe()   # Chromium reads its fd 3
    replies, browser_out = os.pipe()   # and writes its fd 4

    def pipes():
        os.dup2(browser_in, 3)
        os.dup2(browser_out, 4)
    profile = tempfile.mkdtemp(prefix="onda-bench-")
    browser = subprocess.Popen(
        ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
         "--no-first-run", "--disable-background-networking", "--disable-component-update",
         "--disable-sync", f"--user-data-dir={profile}", "--remote-debugging-pipe",
         "about:blank"],
        pass_fds=(browser_in, browser_out, 3, 4), preexec_fn=pipes,
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(browser_in)
    os.close(browser_out)
    call = devtools(os.fdopen(commands, "wb"), replies)
    target = next(t for t in call(1, "Target.getTargets", {})["targetInfos"] if t["type"] == "page")
    session = call(2, "Target.attachToTarget", {"targetId": target["targetId"], "flatten": True})
    call(3, "Page.navigate", {"url": f"http://127.0.0.1:{server.server_port}/index.html"},
         session["sessionId"])
    result = call(4, "Runtime.evaluate", {"expression": MEASURE, "awaitPromise": True},
                  session["sessionId"])
    browser.terminate()
    browser.wait()
    server.shutdown()
    if "result" not in result:
        sys.exit(f"web_levels: {result}")
    change, painted = json.loads(result["result"]["value"])
    for name, times in (("the change", change), ("to the second frame", painted)):
        times.sort()
        print(f"1024x1024 colour, {name}: median {times[len(times) // 2]:.1f} ms "
              f"({times[0]:.1f} to {times[-1]:.1f}, {len(times)} changes)")


if __name__ == "__main__":
    main()
