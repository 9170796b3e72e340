// Drives the page in the frame as a user would: opens every case's file,
// steps through the levels, and posts each saved BMP (or the refusal's
// reason) back to the test's server; last, times the levels on 1024x1024.
"use strict";
(async () => {
  const post = (path, body) => fetch(path, {method: "POST", body});
  try {
    const frame = document.getElementById("page");
    const loaded = new Promise((resolve) => frame.addEventListener("load", resolve));
    frame.src = "/index.html";
    await loaded;
    const page = frame.contentWindow.ondaPage;
    await page.ready;
    const open = async (name, blob) => page.openFile(new File([blob], name, {type: blob.type}));
    for (const c of await (await fetch("cases.json")).json()) {
      const result = (key, body) => post(`result/${c.file}/${key}`, body);
      if (!(await open(c.file, await (await fetch(`input/${c.file}`)).blob()))) {
        await result("read", page.reason());
        continue;
      }
      for (let n = 1; n <= c.levels; n++) {
        if (!page.setLevels(n, Math.min(n, 2))) {
          await result(`refused-${n}`, page.reason());
          continue;
        }
        await result(`ondafwd-${n}`, page.savedBytes(1));
        await result(`ondainv-${n}`, page.savedBytes(2));
        if (n <= 2) await result(`ondasplit-${n}`, page.savedBytes(3));
      }
    }
    const canvas = document.createElement("canvas");
    canvas.width = canvas.height = 1024;
    const context = canvas.getContext("2d");
    const noise = context.createImageData(1024, 1024);
    for (let i = 0; i < noise.data.length; i++) noise.data[i] = i % 4 === 3 ? 255 : (i * 7919) % 251;
    context.putImageData(noise, 0, 0);
    await open("noise.png", await new Promise((resolve) => canvas.toBlob(resolve)));
    const times = [];
    for (let round = 0; round < 5; round++) {
      for (let n = 1; n <= 10; n++) {
        const start = performance.now();
        page.setLevels(n, 1 + (n % 2));
        times.push(performance.now() - start);
      }
    }
    await post("timing", JSON.stringify(times));
    await post("done", "");
  } catch (error) {
    await post("done", String((error && error.stack) || error));
  }
})();
