// The page: opens a picture, runs the programs' transforms in the
// WebAssembly module (onda.js), draws the results and saves them as the BMP
// files the programs write. No transform is computed here.
"use strict";

(() => {
  const PICTURE = 0;
  const FORWARD = 1;
  const INVERSE = 2;
  const SPLIT = 3;
  const PROGRAMS = ["", "ondafwd", "ondainv", "ondasplit"];

  const $ = (id) => document.getElementById(id);
  let onda = null;  // the module
  let web = 0;      // its page state
  let name = "";    // the open file's name
  let refused = false;
  let about = "";   // what the page says of the open picture

  const text = (pointer) => onda.UTF8ToString(pointer);
  const message = () => text(onda._onda_message(web));
  const levels = () => Number($("levels").value);
  const splitRepeat = () => Number($("split").value);

  function show(line, isRefusal) {
    $("message").textContent = line;
    $("message").classList.toggle("refused", isRefusal);
  }

  // Copies bytes into the module's memory; the caller frees the block.
  function copyIn(bytes) {
    const pointer = onda._malloc(Math.max(bytes.length, 1));
    onda.HEAPU8.set(bytes, pointer);
    return pointer;
  }

  function draw(which) {
    const canvas = $(`view-${which}`);
    const pointer = onda._onda_rgba(web, which);
    if (!pointer) {
      canvas.width = 0;
      canvas.height = 0;
      return;
    }
    const width = onda._onda_width(web);
    const height = onda._onda_height(web);
    const pixels = new Uint8ClampedArray(onda.HEAPU8.subarray(pointer, pointer + width * height * 4));
    canvas.width = width;
    canvas.height = height;
    canvas.getContext("2d").putImageData(new ImageData(pixels, width, height), 0, 0);
  }

  function captions() {
    const n = levels();
    $("caption-1").textContent = `ondafwd … ${n}`;
    const difference = onda._onda_largest_difference(web);
    $("caption-2").textContent =
      `ondainv … ${n}` + (difference >= 0 ? ` (differs by ≤ ${difference})` : "");
    $("caption-3").textContent = `ondasplit … ${splitRepeat()}`;
    for (const button of document.querySelectorAll("[data-save]")) {
      const which = Number(button.dataset.save);
      button.disabled = web === 0 || onda._onda_width(web) === 0 || (which !== PICTURE && refused);
    }
  }

  // Runs the three programs at the levels asked and draws their results.
  function run() {
    $("levels-value").textContent = String(levels());
    const start = performance.now();
    refused = onda._onda_run(web, levels(), splitRepeat()) !== 0;
    for (const which of [FORWARD, INVERSE, SPLIT]) draw(which);
    const elapsed = performance.now() - start;
    captions();
    const crop = $("crop");
    if (refused) {
      show(`${name}: ${message()}`, true);
      const most = Math.max(levels(), splitRepeat());
      const side = 2 ** most;
      const width = onda._onda_width(web) - (onda._onda_width(web) % side);
      const height = onda._onda_height(web) - (onda._onda_height(web) % side);
      crop.hidden = width === 0 || height === 0;
      crop.textContent = `Crop to ${width}x${height}`;
      crop.dataset.levels = String(most);
      $("timing").textContent = "";
    } else {
      show(about, false);
      crop.hidden = true;
      $("timing").textContent = `transform and draw: ${elapsed.toFixed(1)} ms`;
    }
    return !refused;
  }

  // After a picture is taken: the levels its size allows, then the run.
  function start(note) {
    const width = onda._onda_width(web);
    const height = onda._onda_height(web);
    const kind = onda._onda_depth(web) === 8 ? "grey" : "colour";
    about = `${name}: ${width}x${height}, ${kind}` + (note ? `; ${note}` : "");
    const most = onda._onda_most_levels(web);
    const possible = Math.min(30, Math.floor(Math.log2(Math.min(width, height))));
    const slider = $("levels");
    slider.max = String(Math.max(1, possible));
    slider.value = String(Math.max(1, Math.min(2, most)));
    slider.disabled = false;
    $("split").disabled = false;
    draw(PICTURE);
    run();
  }

  // Takes the pixels the browser decodes from a picture of another format.
  async function decode(file) {
    let bitmap;
    try {
      bitmap = await createImageBitmap(file, {colorSpaceConversion: "none", premultiplyAlpha: "none"});
    } catch (error) {
      return "not a picture this browser can open";
    }
    if (onda._onda_check_size(web, bitmap.width, bitmap.height) !== 0) return message();
    const canvas = document.createElement("canvas");
    canvas.width = bitmap.width;
    canvas.height = bitmap.height;
    const context = canvas.getContext("2d", {willReadFrequently: true});
    context.drawImage(bitmap, 0, 0);
    const rgba = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
    const pointer = copyIn(rgba);
    const status = onda._onda_take_rgba(web, pointer, bitmap.width, bitmap.height);
    onda._free(pointer);
    return status === 0 ? null : message();
  }

  function isBmp(file, bytes) {
    return /\.bmp$/i.test(file.name) || file.type === "image/bmp" ||
           (bytes.length >= 2 && bytes[0] === 0x42 && bytes[1] === 0x4d);
  }

  // Opens a file: true when its picture was taken. A refused file leaves the
  // earlier picture on the page.
  async function openFile(file) {
    await ready;
    const bytes = new Uint8Array(await file.arrayBuffer());
    let reason;
    if (isBmp(file, bytes)) {
      const pointer = copyIn(bytes);
      reason = onda._onda_read_bmp(web, pointer, bytes.length) === 0 ? null : message();
      onda._free(pointer);
    } else {
      reason = await decode(file);
    }
    if (reason !== null) {
      show(`${file.name}: ${reason}`, true);
      return false;
    }
    name = file.name;
    start(message());
    return true;
  }

  // The bytes of the BMP file the program writes for a result.
  function savedBytes(which) {
    const pointer = onda._onda_save(web, which);
    if (!pointer) return null;
    return onda.HEAPU8.slice(pointer, pointer + onda._onda_saved_size(web));
  }

  function save(which) {
    const bytes = savedBytes(which);
    if (bytes === null) {
      show(message(), true);
      return;
    }
    const base = name.replace(/\.[^.]*$/, "");
    const suffix = which === PICTURE ? "" :
                   `-${PROGRAMS[which]}-${which === SPLIT ? splitRepeat() : levels()}`;
    const link = document.createElement("a");
    link.href = URL.createObjectURL(new Blob([bytes], {type: "image/bmp"}));
    link.download = `${base}${suffix}.bmp`;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  }

  const ready = createOndaModule().then((module) => {
    onda = module;
    web = onda._onda_create();
  });

  $("file").addEventListener("change", (event) => {
    if (event.target.files.length > 0) openFile(event.target.files[0]);
  });
  const drop = $("open");
  drop.addEventListener("dragover", (event) => {
    event.preventDefault();
    drop.classList.add("over");
  });
  drop.addEventListener("dragleave", () => drop.classList.remove("over"));
  drop.addEventListener("drop", (event) => {
    event.preventDefault();
    drop.classList.remove("over");
    if (event.dataTransfer.files.length > 0) openFile(event.dataTransfer.files[0]);
  });
  document.addEventListener("paste", (event) => {
    const file = [...event.clipboardData.files].find((pasted) => pasted.type.startsWith("image/"));
    if (file) openFile(file);
  });
  $("levels").addEventListener("input", run);
  $("split").addEventListener("change", run);
  $("crop").addEventListener("click", () => {
    if (onda._onda_crop(web, Number($("crop").dataset.levels)) !== 0) {
      show(message(), true);
      return;
    }
    name = name.replace(/(\.[^.]*)?$/, "-cropped$1");
    start("");
  });
  for (const button of document.querySelectorAll("[data-save]")) {
    button.addEventListener("click", () => save(Number(button.dataset.save)));
  }

  // What a test in a browser drives: the same steps as the controls.
  window.ondaPage = {
    ready,
    openFile,
    savedBytes,
    message: () => $("message").textContent,
    reason: () => message(),
    setLevels(n, repeat) {
      $("levels").value = String(n);
      $("split").value = String(repeat);
      return run();
    },
    timing: () => $("timing").textContent,
  };
})();
