// The show in headless chromium, as a visitor gets it: the Settings dialog driven with real mouse
// and keys, the pictures the program presented on the canvas and the very frames of the native
// program's pass, its sound at the tap and in the native program's bytes, full screen after the
// click of ?go, the end, a rate the browser refuses, and a server without the isolation headers.
// The figures of a run (updates, draws, page time, underruns, size, load time) are printed.
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { gzipSync } from 'node:zlib';
import { answerBoxUntilEnded, canvasAndFrame, clickFrame, isolatedByServiceWorker, launch, open, serve, soundCheck, stats,
  until } from './browser.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../..');
const site = process.env.VEMORA_SITE || path.join(root, 'build-web/site');
const captureJs = process.env.VEMORA_CAPTURE_JS || path.join(root, 'build-web/bin/capture.js');
const screens = process.env.VEMORA_SCREENS || path.join(root, 'build-web/screens');
// How long the show plays after GO; longer runs measure underruns over more time.
const playSeconds = Number(process.env.VEMORA_PLAY_SECONDS || 20);
const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));
const report = [];

// The dialog's controls in its pixels (the template's dialog units at 6 x 13 base units).
const RATE_FIELD = [40, 84], WINDOWED_BOX = [150, 128], GO_BUTTON = [241, 165];
const SCENES = { presentation: 2, title: 3 };

// capture.js's record of the same choices in virtual time: per picture (SHA-1) the scenes that show
// it, and the sound.
function nativePass(args, seconds) {
  const dir = mkdtempSync(path.join(tmpdir(), 'vemora-pass-'));
  try {
    execFileSync('node', ['--no-experimental-fetch', captureJs, '--quiet', ...args, '--seconds', String(seconds),
      '--log', `${dir}/log`, '--hashes', `${dir}/hashes`, '--wav', `${dir}/wav`]);
    const scenes = new Map(readFileSync(`${dir}/log`, 'utf8').trim().split('\n').map(line => line.split(' '))
      .map(([frame, , scene]) => [frame, Number(scene)]));
    const pictures = new Map();
    for (const [frame, sha1] of readFileSync(`${dir}/hashes`, 'utf8').trim().split('\n').map(line => line.split(' '))) {
      if (frame === 'sound') continue;
      if (!pictures.has(sha1)) pictures.set(sha1, new Set());
      pictures.get(sha1).add(scenes.get(frame));
    }
    return { pictures, wav: readFileSync(`${dir}/wav`) };
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
}

// FNV-1a of the first `count` frames of a 16-bit stereo WAV that are not silent in both channels.
function soundHash(wav, count) {
  let at = 12;
  while (wav.toString('latin1', at, at + 4) !== 'data') at += 8 + wav.readUInt32LE(at + 4);
  let hash = 2166136261, taken = 0;
  for (let i = at + 8; i + 4 <= wav.length && taken < count; i += 4) {
    if (wav.readInt32LE(i) === 0) continue;
    for (let k = 0; k < 4; k++) hash = Math.imul(hash ^ wav[i + k], 16777619) >>> 0;
    taken++;
  }
  return taken === count ? hash : null;
}

function siteSize() {
  let disk = 0, gzipped = 0;
  for (const name of readdirSync(site)) {
    disk += statSync(path.join(site, name)).size;
    gzipped += gzipSync(readFileSync(path.join(site, name))).length;
  }
  return { disk, gzipped };
}

const MB = bytes => `${(bytes / 1e6).toFixed(2)} MB`;

let server, browser;
before(async () => {
  mkdirSync(screens, { recursive: true });
  server = await serve(site);
  // No autoplay: sound starts because of the clicks, as for a visitor.
  browser = await launch({ autoplay: false });
});
after(async () => {
  await browser?.close();
  server?.close();
  console.log(report.join('\n'));
});

test('Show.DialogThenWindowedPassWithItsSound', async () => {
  const reference = nativePass(['--windowed', '--rate', '44100'], playSeconds + 10);
  const page = await open(browser, server.url);
  await until(page, () => vemoraPage.stats().lastDrawn?.title === 'Settings', 'the Settings dialog');
  const opened = await stats(page);
  report.push(`load to the dialog: ${(opened.firstDrawAt - opened.loadedAt).toFixed(0)} ms`);
  const dialog = await canvasAndFrame(page);
  assert.equal(dialog.canvas, dialog.frame, 'the dialog as the program drew it');
  assert.deepEqual([dialog.format, dialog.view, dialog.width, dialog.height], [888, 0, 284, 180]);
  assert.equal(await page.$eval('#caption-title', e => e.textContent), 'Settings');
  await page.screenshot({ path: path.join(screens, 'dialog.png') });

  // The rate one down the list (45454 -> 44100) with the keys, Windowed and GO with the mouse.
  await clickFrame(page, ...RATE_FIELD);
  await page.keyboard.press('ArrowDown');
  await clickFrame(page, ...WINDOWED_BOX);
  await until(page, n => vemoraPage.stats().lastDrawn.number > n, 'the dialog redrawn', 5000, dialog.number);
  await page.screenshot({ path: path.join(screens, 'dialog-chosen.png') });
  await clickFrame(page, ...GO_BUTTON);
  const goAt = Date.now();
  await until(page, () => vemoraPage.stats().audioState === 'running' && vemoraPage.stats().lastDrawn.view === 1,
    'sound and the windowed picture');
  const started = await stats(page);
  const soundAt = Date.now();
  assert.equal(started.sampleRate, 44100);
  assert.equal(await page.evaluate(() => document.fullscreenElement), null);

  // Sampled as it plays: the canvas holds the frame the program handed over last, and that frame
  // is one the native program presents, of the scene due then.
  const seen = [];
  const shots = { [SCENES.presentation]: 'show-windowed-presentation.png', [SCENES.title]: 'show-windowed-title.png' };
  let soundAfterOneSecond = null;
  while (Date.now() - goAt < playSeconds * 1000) {
    const check = await canvasAndFrame(page);
    assert.equal(check.canvas, check.frame, `canvas of frame ${check.number}`);
    assert.deepEqual([check.format, check.view], [555, 1]);
    const scenes = [...(reference.pictures.get(check.sha1) || [])];
    seen.push({ sha1: check.sha1, scenes });
    if (scenes.length === 1 && shots[scenes[0]]) {
      await page.screenshot({ path: path.join(screens, shots[scenes[0]]) });
      delete shots[scenes[0]];
    }
    if (soundAfterOneSecond === null && Date.now() - soundAt > 1000) soundAfterOneSecond = await stats(page);
    await sleep(500);
  }
  // Pictures that only one scene shows tell the scene.
  const matched = seen.filter(sample => sample.scenes.length > 0);
  const told = matched.filter(sample => sample.scenes.length === 1).map(sample => sample.scenes[0]);
  report.push(`windowed: ${matched.length} of ${seen.length} sampled canvases are pictures of the native pass, ` +
    `of scenes ${[...new Set(told)].join(', ')} in turn`);
  assert.ok(matched.length >= seen.length / 2, `${matched.length} of ${seen.length} samples in the native pass`);
  assert.equal(new Set(seen.map(sample => sample.sha1)).size > seen.length / 2, true, 'the pictures move on');
  for (let i = 1; i < told.length; i++) assert.ok(told[i] >= told[i - 1], `scene ${told[i]} after ${told[i - 1]}`);
  assert.ok(told.includes(SCENES.presentation), 'the presentation');
  assert.ok(told.includes(SCENES.title), 'the title');

  // The figures over the run.
  const ended = await stats(page);
  const seconds = (ended.now - started.now) / 1000;
  const drawn = ended.framesDrawn - started.framesDrawn;
  report.push(`program updates per second: ${((ended.framesPublished - started.framesPublished) / seconds).toFixed(1)}; ` +
    `page draws per second: ${(drawn / seconds).toFixed(1)}; page time per drawn frame: ` +
    `${((ended.drawMs - started.drawMs) / drawn).toFixed(2)} ms (longest ${ended.drawMsMax.toFixed(2)} ms)`);
  report.push(`underruns: ${ended.underruns} in ${seconds.toFixed(0)} s, ` +
    `${ended.underruns - soundAfterOneSecond.underruns} after the first second`);
  const size = siteSize();
  report.push(`site: ${MB(size.disk)} on disk, ${MB(size.gzipped)} gzipped`);
  assert.equal(ended.underruns - soundAfterOneSecond.underruns, 0, 'no underrun after the first second');

  // What reached the audio graph is what the program wrote, and the native program's bytes.
  const sound = await soundCheck(page);
  assert.ok(sound.programFrames > 44100 * (playSeconds - 8), `${sound.programFrames} frames checked`);
  assert.equal(sound.tapHash, sound.programHash);
  assert.equal(soundHash(reference.wav, sound.programFrames), sound.programHash, 'the native program\'s sound');

  await page.keyboard.press('Escape');
  await until(page, () => !document.getElementById('ended').hidden, 'the ended state');
  assert.equal((await stats(page)).exitCode, 0);
  assert.equal(await page.$eval('#ended-again', e => e === document.activeElement), true);
  await page.close();
});

test('Show.GoAsksForTheClickThenFullScreen', async () => {
  const page = await open(browser, `${server.url}?go`);
  assert.equal(await page.$eval('#start', e => e.hidden), false);
  await page.click('#start-button');
  await until(page, () => document.fullscreenElement !== null && vemoraPage.stats().lastDrawn?.format === 565,
    'full screen and the show\'s picture');
  await until(page, () => document.getElementById('screen').clientWidth === 1024, 'the picture over the screen');
  assert.equal((await stats(page)).sampleRate, 45454);
  await sleep(9000);  // into the presentation
  const check = await canvasAndFrame(page);
  assert.equal(check.canvas, check.frame);
  assert.equal(check.view, 2);
  await page.screenshot({ path: path.join(screens, 'show-fullscreen.png') });

  // Leaving full screen leaves the show running in the page.
  await page.evaluate(() => document.exitFullscreen());
  await until(page, () => document.fullscreenElement === null, 'full screen left');
  const before = (await stats(page)).framesDrawn;
  await until(page, n => vemoraPage.stats().framesDrawn > n + 30, 'frames after full screen', 5000, before);
  assert.equal((await stats(page)).exitCode, null);

  // P pauses the pictures: frames still come, all alike, until P again.
  await page.keyboard.press('KeyP');
  await sleep(300);
  const paused = await canvasAndFrame(page);
  await sleep(500);
  const stillPaused = await canvasAndFrame(page);
  assert.ok(stillPaused.number > paused.number + 10, 'frames presented while paused');
  assert.equal(stillPaused.sha1, paused.sha1);
  await page.keyboard.press('KeyP');
  await sleep(500);
  assert.notEqual((await canvasAndFrame(page)).sha1, paused.sha1);

  await page.keyboard.press('Escape');
  await until(page, () => !document.getElementById('ended').hidden, 'the ended state');
  assert.equal((await stats(page)).exitCode, 0);
  await page.close();
});

test('Show.RefusedRateEndsWithAudioFailed', async () => {
  // The drivers take 1000 Hz; the browser's audio does not.
  const page = await open(browser, `${server.url}?go&rate=1000`);
  await page.click('#start-button');
  const box = await answerBoxUntilEnded(page);
  assert.deepEqual([box.caption, box.text], ['Error', 'audio failed']);
  assert.notEqual(box.exitCode, 0);
  await page.close();
});

// The server the web zip's README suggests, which sends no isolation headers.
function pythonServer(dir) {
  const server = spawn('python3', ['-u', '-m', 'http.server', '--bind', '127.0.0.1', '0'], { cwd: dir,
    stdio: ['ignore', 'pipe', 'ignore'] });
  return new Promise((resolve, reject) => {
    let out = '';
    server.stdout.on('data', chunk => {
      out += chunk;
      const port = /port (\d+)/.exec(out);
      if (port) resolve({ url: `http://127.0.0.1:${port[1]}/`, close: () => server.kill() });
    });
    server.on('exit', code => reject(new Error(`http.server exited with ${code}`)));
  });
}

test('Show.PlainServerGetsTheDialogThroughTheServiceWorker', async () => {
  const plain = await pythonServer(site);
  try {
    const { controlled, check } = await isolatedByServiceWorker(browser, plain.url,
      () => vemoraPage.stats().lastDrawn?.title === 'Settings');
    assert.equal(controlled, true);
    assert.equal(check.canvas, check.frame);
  } finally {
    plain.close();
  }
});

test('Show.AddressOptionsAsTheCommandLine', async () => {
  // Printed and ended before any picture: the page shows what the program said.
  const cases = [['?version', 0, /^vemora \d+\.\d+\.\d+$/m], ['?rate=abc', 2, /^vemora: --rate: 'abc' is not a mixing rate$/m]];
  for (const [query, code, said] of cases) {
    const page = await open(browser, `${server.url}${query}`);
    await until(page, () => !document.getElementById('ended').hidden, `the end of ${query}`);
    assert.equal((await stats(page)).exitCode, code, query);
    assert.match(await page.$eval('#ended-output', e => e.textContent), said, query);
    await page.close();
  }
});
