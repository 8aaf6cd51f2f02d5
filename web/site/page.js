'use strict';
// The page thread of the show. The program runs on workers (its main thread included); this
// thread draws the newest frame it published on each animation frame, owns the AudioContext
// that plays its sound ring, passes keys and the mouse on, shows its message boxes, and shows
// the end of the run. What it shares with the program is the page link, read by word offset.
(() => {
  const programUrl = document.currentScript.dataset.program;
  // Set by the browser tests before the page loads: frame hashes and the sound tap.
  const testMode = globalThis.vemoraTestMode === true;

  const FRESH = 0x100;
  // Word offsets; a frame slot is 16 words: number, format, hash, pixels, width, height, view,
  // then the title's bytes.
  const L = {
    frameMiddle: 0, framesPublished: 1, wantHashes: 2, slots: 4, slotWords: 16, titleBytes: 36,
    soundState: 52, soundRate: 53, soundCapacity: 54, soundSamples: 55, soundWritten: 56, soundRead: 57,
    soundPlaying: 58, underruns: 59, checkpointCount: 60, checkpoints: 61,
    inputWritten: 189, inputRead: 190, input: 191, inputEvents: 256, messageAnswer: 191 + 256 * 4,
  };
  const SOUND = { closed: 0, opening: 1, running: 2, refused: 3 };
  const INPUT = { keyDown: 1, keyUp: 2, mouseMove: 3, buttonDown: 4, buttonUp: 5, character: 6, close: 7 };
  const VIEW = { page: 0, windowed: 1, fullScreen: 2 };
  const IDOK = 1;

  const $ = id => document.getElementById(id);
  const canvas = $('screen');
  const screen2d = canvas.getContext('2d', { alpha: false });
  let image = screen2d.createImageData(canvas.width, canvas.height);
  let rgba = new Uint32Array(image.data.buffer);
  const palettes = { 565: colourTable(565), 555: colourTable(555) };
  const utf8 = new TextDecoder();

  let program = null;  // the Emscripten module once it runs
  let linkAddress = 0;
  let front = 2;        // the frame slot the page holds
  let view = null;      // the view of the frame drawn last (VIEW)
  let primed = null;    // an AudioContext started in a click, before the program asked for sound
  const sound = { context: null, player: null, tap: null, record: null };
  const stats = {
    loadedAt: performance.now(), firstDrawAt: null, framesDrawn: 0, drawMs: 0, drawMsMax: 0,
    lastDrawn: null, exitCode: null, output: [],
  };

  function colourTable(format) {
    const table = new Uint32Array(65536);
    for (let p = 0; p < 65536; p++) {
      let r, g, b;
      if (format === 565) {
        r = p >> 11; g = (p >> 5) & 63; b = p & 31; g = (g << 2) | (g >> 4);
      } else {
        r = (p >> 10) & 31; g = (p >> 5) & 31; b = p & 31; g = (g << 3) | (g >> 2);
      }
      r = (r << 3) | (r >> 2); b = (b << 3) | (b >> 2);
      table[p] = (0xFF000000 | (b << 16) | (g << 8) | r) >>> 0;  // bytes R, G, B, A
    }
    return table;
  }

  function words() { return new Int32Array(program.HEAPU8.buffer, linkAddress, L.messageAnswer + 1); }

  function show(id, shown) { $(id).hidden = !shown; }

  function notice(text) {
    $('notice').textContent = text;
    show('notice', true);
  }

  // Frames --------------------------------------------------------------------------------------

  // The canvas takes the frame's size (a window's may change); the 2D context is reset with it.
  function resize(width, height) {
    if (canvas.width === width && canvas.height === height) return;
    canvas.width = width;
    canvas.height = height;
    image = screen2d.createImageData(width, height);
    rgba = new Uint32Array(image.data.buffer);
    layout();
  }

  function toRgba(slot, count) {
    const format = slot.format, address = slot.pixels;
    if (format === 888) {
      // 0x00RRGGBB words to bytes R, G, B, A.
      const pixels = new Uint32Array(program.HEAPU8.buffer, address, count);
      for (let i = 0; i < count; i++) {
        const p = pixels[i];
        rgba[i] = (0xFF000000 | ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >>> 16) & 0xFF)) >>> 0;
      }
      return;
    }
    const pixels = new Uint16Array(program.HEAPU8.buffer, address, count);
    const table = palettes[format] || palettes[565];
    for (let i = 0; i < count; i++) rgba[i] = table[pixels[i]];
  }

  function readSlot(link, index) {
    const at = L.slots + index * L.slotWords;
    const titleAt = linkAddress + (at + 7) * 4;
    const titleBytes = program.HEAPU8.slice(titleAt, titleAt + L.titleBytes);
    return {
      number: link[at] >>> 0, format: link[at + 1], hash: link[at + 2] >>> 0, pixels: link[at + 3] >>> 0,
      width: link[at + 4], height: link[at + 5], view: link[at + 6],
      title: utf8.decode(titleBytes.subarray(0, Math.max(0, titleBytes.indexOf(0)))),
    };
  }

  function drawNewest() {
    const link = words();
    if (!(Atomics.load(link, L.frameMiddle) & FRESH)) return;
    const started = performance.now();
    front = Atomics.exchange(link, L.frameMiddle, front) & 3;
    const slot = readSlot(link, front);
    resize(slot.width, slot.height);
    toRgba(slot, slot.width * slot.height);
    screen2d.putImageData(image, 0, 0);
    showView(slot.view, slot.title);
    const spent = performance.now() - started;
    stats.framesDrawn++;
    stats.drawMs += spent;
    stats.drawMsMax = Math.max(stats.drawMsMax, spent);
    stats.lastDrawn = { number: slot.number, format: slot.format, hash: slot.hash, width: slot.width,
      height: slot.height, view: slot.view, title: slot.title };
    if (stats.firstDrawAt === null) stats.firstDrawAt = performance.now();
  }

  function animate() {
    if (program && stats.exitCode === null) drawNewest();
    requestAnimationFrame(animate);
  }

  // A window keeps its own size (whole device pixels, as near one pixel a point as fits); the
  // picture grows by whole device pixels to fit the page, and fills the screen at 4:3 in full screen.
  function layout() {
    const ratio = window.devicePixelRatio || 1;
    const captionHeight = $('caption').hidden ? 0 : $('caption').offsetHeight;
    const width = canvas.width, height = canvas.height;
    let scale = Math.min(innerWidth * ratio / width, (innerHeight - captionHeight) * ratio / height);
    if (view === VIEW.page) scale = Math.min(scale, Math.max(1, Math.round(ratio)));
    if (!(view === VIEW.fullScreen && document.fullscreenElement) && scale >= 1) scale = Math.floor(scale);
    canvas.style.width = `${(width * scale) / ratio}px`;
    canvas.style.height = `${(height * scale) / ratio}px`;
  }

  // Full screen is asked for as the show's picture first comes full screen, moments after GO (a
  // browser grants it only shortly after a click); leaving it leaves the show in the page.
  function showView(wanted, title) {
    const caption = wanted === VIEW.page && title !== '';
    if (caption && $('caption-title').textContent !== title) $('caption-title').textContent = title;
    const captionChanged = caption === $('caption').hidden;
    show('caption', caption);
    if (wanted === view && !captionChanged) return;
    if (wanted === VIEW.fullScreen && view !== VIEW.fullScreen && !document.fullscreenElement &&
        document.documentElement.requestFullscreen) {
      document.documentElement.requestFullscreen().catch(() => {});
    } else if (wanted !== VIEW.fullScreen && document.fullscreenElement) {
      document.exitFullscreen().catch(() => {});
    }
    view = wanted;
    layout();
  }

  function showCursor(shown) { canvas.style.cursor = shown ? '' : 'none'; }

  // Input ---------------------------------------------------------------------------------------

  const namedKeys = {
    Backspace: 0x08, Tab: 0x09, Enter: 0x0D, NumpadEnter: 0x0D, ShiftLeft: 0x10, ShiftRight: 0x10,
    ControlLeft: 0x11, ControlRight: 0x11, AltLeft: 0x12, AltRight: 0x12, Pause: 0x13, Escape: 0x1B,
    Space: 0x20, PageUp: 0x21, PageDown: 0x22, End: 0x23, Home: 0x24, ArrowLeft: 0x25, ArrowUp: 0x26,
    ArrowRight: 0x27, ArrowDown: 0x28, Insert: 0x2D, Delete: 0x2E, ScrollLock: 0x91,
  };

  function virtualKey(code) {
    if (code in namedKeys) return namedKeys[code];
    let m = /^Key([A-Z])$/.exec(code);
    if (m) return m[1].charCodeAt(0);
    m = /^(?:Digit|Numpad)([0-9])$/.exec(code);
    if (m) return 0x30 + Number(m[1]);
    m = /^F([0-9]{1,2})$/.exec(code);
    if (m && Number(m[1]) >= 1 && Number(m[1]) <= 12) return 0x6F + Number(m[1]);
    return 0;
  }

  // A full queue drops the event: the program is not reading.
  function queueInput(type, code, x, y) {
    if (!program || stats.exitCode !== null) return;
    const link = words();
    const written = Atomics.load(link, L.inputWritten);
    if (((written - Atomics.load(link, L.inputRead)) >>> 0) >= L.inputEvents) return;
    const at = L.input + ((written >>> 0) % L.inputEvents) * 4;
    link[at] = type; link[at + 1] = code; link[at + 2] = x; link[at + 3] = y;
    Atomics.store(link, L.inputWritten, (written + 1) | 0);
    Atomics.notify(link, L.inputWritten);
  }

  function onKey(event) {
    if (!$('message').hidden || !$('ended').hidden) return;
    // The browser keeps reload, full screen and its tools.
    if (['F5', 'F11', 'F12'].includes(event.code) || event.metaKey) return;
    const key = virtualKey(event.code);
    if (key) queueInput(event.type === 'keydown' ? INPUT.keyDown : INPUT.keyUp, key, 0, 0);
    if (event.type === 'keydown' && [...event.key].length === 1 && !event.ctrlKey && !event.altKey) {
      queueInput(INPUT.character, event.key.codePointAt(0), 0, 0);
    }
    event.preventDefault();
  }

  function framePoint(event) {
    const box = canvas.getBoundingClientRect();
    const x = Math.floor((event.clientX - box.left) * canvas.width / box.width);
    const y = Math.floor((event.clientY - box.top) * canvas.height / box.height);
    return [Math.max(0, Math.min(canvas.width - 1, x)), Math.max(0, Math.min(canvas.height - 1, y))];
  }

  function onMouse(event) {
    const type = { mousemove: INPUT.mouseMove, mousedown: INPUT.buttonDown, mouseup: INPUT.buttonUp }[event.type];
    queueInput(type, event.type === 'mousemove' ? 0 : event.button, ...framePoint(event));
    if (event.type === 'mousedown') canvas.focus();
  }

  // A click is what lets the page start sound: a context waiting for one is resumed in it, and
  // before the program asks for sound one is started, which it may take over.
  function onActivation() {
    const context = sound.context || primed;
    if (context) {
      if (context.state === 'suspended') context.resume();
    } else if (window.AudioContext) {
      primed = new AudioContext();
      primed.resume();
    }
  }

  // Sound ---------------------------------------------------------------------------------------

  function answerSound(state) {
    const link = words();
    Atomics.store(link, L.soundState, state);
    Atomics.notify(link, L.soundState);
  }

  function contextFor(rate) {
    if (primed && primed.sampleRate === rate) return primed;
    if (primed) primed.close();
    return new AudioContext({ sampleRate: rate, latencyHint: 'interactive' });
  }

  // Until the first click the context stays suspended: the page asks for one.
  function running(context) {
    if (context.state === 'running') return Promise.resolve();
    return new Promise(resolve => {
      context.addEventListener('statechange', () => {
        if (context.state !== 'running') return;
        show('start', false);
        resolve();
      });
      context.resume();
      setTimeout(() => { if (context.state !== 'running') show('start', true); }, 300);
    });
  }

  async function openSound() {
    const link = words();
    const rate = link[L.soundRate] >>> 0;
    try {
      const context = contextFor(rate);
      primed = null;
      sound.context = context;
      await context.audioWorklet.addModule('audio-worklet.js');
      const player = new AudioWorkletNode(context, 'vemora-ring', {
        numberOfInputs: 0, outputChannelCount: [2],
        processorOptions: { memory: program.HEAPU8.buffer, link: linkAddress, layout: L },
      });
      let last = player;
      if (testMode) {
        sound.record = new SharedArrayBuffer(8 + 120 * rate * 4);
        sound.tap = new AudioWorkletNode(context, 'vemora-tap', {
          numberOfInputs: 1, numberOfOutputs: 1, outputChannelCount: [2], channelCount: 2,
          channelCountMode: 'explicit', channelInterpretation: 'discrete',
          processorOptions: { record: sound.record },
        });
        last = last.connect(sound.tap);
      }
      last.connect(context.destination);
      sound.player = player;
      await running(context);
      answerSound(SOUND.running);
    } catch (error) {
      console.error('sound refused:', error);
      closeSound();
      answerSound(SOUND.refused);
    }
  }

  function closeSound() {
    if (!sound.context) return;
    if (sound.player) sound.player.disconnect();
    sound.context.close().catch(() => {});
    sound.context = sound.player = null;
  }

  // Message boxes and the end -------------------------------------------------------------------

  function showMessage(caption, text) {
    $('message-caption').textContent = caption;
    $('message-text').textContent = text;
    show('message', true);
    $('message-ok').focus();
  }

  function answerMessage() {
    show('message', false);
    const link = words();
    Atomics.store(link, L.messageAnswer, IDOK);
    Atomics.notify(link, L.messageAnswer);
    canvas.focus();
  }

  function ended(code, why) {
    if (stats.exitCode !== null) return;
    stats.exitCode = code;
    closeSound();
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    // The show is over: no last frame left standing as if it were still running.
    screen2d.fillStyle = '#000';
    screen2d.fillRect(0, 0, canvas.width, canvas.height);
    show('caption', false);
    // What the program printed, when it failed or showed nothing else (?help, ?version).
    const output = code === 0 && stats.framesDrawn > 0 ? [] : stats.output.slice(-40);
    if (why) output.push(why);
    $('ended-output').textContent = output.join('\n');
    show('message', false);
    show('start', false);
    show('ended', true);
    $('ended-again').focus();
  }

  // Start ---------------------------------------------------------------------------------------

  // The URL carries the command line's presets: ?go&windowed&rate=44100 is --go --windowed --rate 44100.
  function programArguments() {
    const args = [];
    for (const [name, value] of new URLSearchParams(location.search)) {
      args.push(`--${name}`);
      if (value !== '') args.push(value);
    }
    return args;
  }

  // The program's last lines of output, for the ended state.
  function keep(line) {
    stats.output.push(line);
    if (stats.output.length > 1000) stats.output.shift();
  }

  function startProgram() {
    const options = {
      arguments: programArguments(),
      print: line => { keep(line); console.log(line); },
      printErr: line => { keep(line); console.warn(line); },
      onExit: code => ended(code),
      onAbort: what => ended(-1, `The program stopped: ${what}`),
    };
    const loader = document.createElement('script');
    loader.src = programUrl;
    loader.onerror = () => notice(`The program (${programUrl}) could not be loaded.`);
    loader.onload = () => {
      options.onRuntimeInitialized = function () {
        program = this;
        linkAddress = program._vemora_page_link();
        if (testMode) Atomics.store(words(), L.wantHashes, 1);
      };
      VemoraProgram(options);
    };
    document.body.append(loader);
  }

  // Shared memory needs a cross-origin isolated page. A server that cannot send the headers gets
  // them from the service worker, which takes effect after one reload.
  function isolate() {
    if (crossOriginIsolated) {
      sessionStorage.removeItem('vemora-isolating');
      return true;
    }
    if (window.isSecureContext && 'serviceWorker' in navigator && !sessionStorage.getItem('vemora-isolating')) {
      sessionStorage.setItem('vemora-isolating', '1');
      navigator.serviceWorker.register('sw.js').then(
        () => navigator.serviceWorker.ready.then(() => location.reload()),
        () => notice(missing()));
      return false;
    }
    notice(missing());
    return false;
  }

  function missing() {
    const lacks = [];
    if (typeof SharedArrayBuffer === 'undefined' || !crossOriginIsolated) lacks.push('shared memory (SharedArrayBuffer in a cross-origin isolated page)');
    if (!window.AudioWorkletNode) lacks.push('AudioWorklet');
    if (typeof WebAssembly === 'undefined') lacks.push('WebAssembly');
    return lacks.length === 0 ? '' : `This browser cannot run the show: it lacks ${lacks.join(' and ')}.`;
  }

  globalThis.vemoraPage = {
    openSound, closeSound, showMessage, showCursor,
    // For tests and the curious: what was drawn and heard.
    stats: () => ({ ...stats, now: performance.now(), framesPublished: program ? words()[L.framesPublished] >>> 0 : 0,
      underruns: program ? words()[L.underruns] >>> 0 : 0,
      sampleRate: sound.context ? sound.context.sampleRate : null,
      audioState: sound.context ? sound.context.state : null }),
    link: () => (program ? words() : null),
    tapRecord: () => sound.record,
    layout: L,
  };

  if (!isolate()) return;
  if (missing()) { notice(missing()); return; }
  window.addEventListener('keydown', onKey);
  window.addEventListener('keyup', onKey);
  for (const type of ['mousemove', 'mousedown', 'mouseup']) canvas.addEventListener(type, onMouse);
  canvas.addEventListener('contextmenu', event => event.preventDefault());
  for (const type of ['pointerdown', 'keydown']) window.addEventListener(type, onActivation, true);
  $('message-ok').addEventListener('click', answerMessage);
  $('caption-close').addEventListener('click', () => queueInput(INPUT.close, 0, 0, 0));
  $('ended-again').addEventListener('click', () => location.reload());
  $('start-button').addEventListener('click', () => { show('start', false); if (!program) startProgram(); });
  window.addEventListener('resize', layout);
  document.addEventListener('fullscreenchange', layout);
  layout();
  requestAnimationFrame(animate);
  // With go the dialog is skipped, and the one click that sound needs is asked for first.
  if (new URLSearchParams(location.search).has('go')) show('start', true); else startProgram();
})();
