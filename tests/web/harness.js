// Drives the page in the frame as a user would: opens every case's file,
// steps through the levels, and posts each saved BMP (or the refusal's
// reason) back to the test's server; then it presses the crop button.
"use strict";
(async () => {
  const post = (path, body) => fetch(path, {method: "POST", body});
  try {
    const frame = document.getElementById("page");
    frame.src = "/index.html";  // loads after this task, once the listener is there
    await new Promise((resolve) => frame.addEventListener("load", resolve));
    const page = frame.contentWindow.ondaPage;
    await page.ready;
    const open = async (name, blob) => page.openFile(new File([blob], name, {type: blob.type}));
    for (const c of await (await fetch("cases.json")).json()) {
      const result = (key, body) => post(`result/${c.file}/${key}`, body);
      if (!(await open(c.file, await (await fetch(`input/${c.file}`)).blob()))) {
        await result("read", page.reason());
      }
      for (let n = 1; n <= c.levels; n++) {
        if (!page.setLevels(n, Math.min(n, 2))) await result(`ondafwd-${n}`, page.reason());
        else for (const [which, program] of [[1, "ondafwd"], [2, "ondainv"], [3, "ondasplit"]]) {
          if (which < 3 || n <= 2) await result(`${program}-${n}`, page.savedBytes(which));
        }
      }
    }
    // A 1027x1030 picture takes no level: the crop button makes it 1024x1024.
    await open("noise.png", await (await fetch("input/noise.png")).blob());
    page.setLevels(10, 2);
    frame.contentDocument.getElementById("crop").click();
    await post("crop", page.message());
    await post("done", "");
  } catch (error) {
    await post("done", String((error && error.stack) || error));
  }
})();
