// Debian's chromium, headless, driven over the DevTools protocol, and the checks that compare
// what a page showed and played with what its program handed over.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';

const here = path.dirname(fileURLToPath(import.meta.url));
export const serveScript = path.resolve(here, '../../../web/serve.mjs');

// The flags this machine's chromium needs headless (no GPU, no network of its own, no sandbox as root).
const flags = ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

// A fresh profile each time; autoplay lets an AudioContext run without a click.
export async function launch({ autoplay = true } = {}) {
  const profile = mkdtempSync(path.join(tmpdir(), 'vemora-chromium-'));
  const args = [...flags, `--user-data-dir=${profile}`, '--window-size=1024,768'];
  if (autoplay) args.push('--autoplay-policy=no-user-gesture-required');
  const browser = await puppeteer.launch({
    executablePath: process.env.VEMORA_CHROMIUM || '/usr/bin/chromium', headless: false, args,
    defaultViewport: { width: 1024, height: 768 },
  });
  // The profile goes once chromium has exited and written its last file there.
  browser.process().on('exit', () => rmSync(profile, { recursive: true, force: true, maxRetries: 5 }));
  return browser;
}

// Serves dir with serve.mjs on a free port; resolves once it listens.
export function serve(dir, { isolation = true } = {}) {
  const args = [serveScript, dir, '--port', '0'];
  if (!isolation) args.push('--no-isolation');
  const server = spawn(process.execPath, args, { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((resolve, reject) => {
    let out = '';
    server.stdout.on('data', chunk => {
      out += chunk;
      const address = /at (http:\S+)/.exec(out);
      if (address) resolve({ url: address[1], close: () => server.kill() });
    });
    server.on('exit', code => reject(new Error(`serve.mjs exited with ${code}`)));
  });
}

// A page of the site in test mode, its console kept.
export async function open(browser, url) {
  const page = await browser.newPage();
  const consoleLines = [];
  page.on('console', message => consoleLines.push(message.text()));
  page.on('pageerror', error => consoleLines.push(`page error: ${error.message}`));
  await page.evaluateOnNewDocument(() => { globalThis.vemoraTestMode = true; });
  await page.goto(url, { waitUntil: 'load' });
  page.consoleLines = consoleLines;
  return page;
}

export async function until(page, predicate, what, timeout = 20000, ...args) {
  try {
    await page.waitForFunction(predicate, { timeout, polling: 50 }, ...args);
  } catch (error) {
    throw new Error(`${what}: not within ${timeout} ms (${error.message})\n${page.consoleLines.slice(-20).join('\n')}`);
  }
}

export const stats = page => page.evaluate(() => vemoraPage.stats());

// Waits for the page's message box, answers it, and waits for the ended state; gives the box's
// caption and text, and the program's exit code.
export async function answerBoxUntilEnded(page) {
  await until(page, () => !document.getElementById('message').hidden, 'the message box');
  const caption = await page.$eval('#message-caption', e => e.textContent);
  const text = await page.$eval('#message-text', e => e.textContent);
  await page.click('#message-ok');
  await until(page, () => !document.getElementById('ended').hidden, 'the ended state');
  return { caption, text, exitCode: (await stats(page)).exitCode };
}
export const output = page => page.evaluate(() => vemoraPage.stats().output);

// The canvas read back into the frame's pixel format, hashed as the program hashes its frames,
// beside the hash the program gave the frame drawn last; with the SHA-1 of those bytes, which
// capture --hashes gives a presented picture. Read in one task, so no frame is drawn between.
export function canvasAndFrame(page) {
  return page.evaluate(async () => {
    const drawn = vemoraPage.stats().lastDrawn;
    const canvas = document.getElementById('screen');
    const { data } = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height);
    const bytes = new Uint8Array(data.length / (drawn.format === 888 ? 1 : 2));
    for (let i = 0, j = 0; i < data.length; i += 4) {
      const [r, g, b] = [data[i], data[i + 1], data[i + 2]];
      if (drawn.format === 888) {
        bytes.set([b, g, r, 0], j);
        j += 4;
        continue;
      }
      const pixel = drawn.format === 555 ? ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)
        : ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
      bytes[j++] = pixel & 0xFF;
      bytes[j++] = pixel >> 8;
    }
    let hash = 2166136261;
    for (let i = 0; i < bytes.length; i++) hash = Math.imul(hash ^ bytes[i], 16777619) >>> 0;
    const sha1 = [...new Uint8Array(await crypto.subtle.digest('SHA-1', bytes))]
      .map(byte => byte.toString(16).padStart(2, '0')).join('');
    return { canvas: hash, frame: drawn.hash, sha1, number: drawn.number, format: drawn.format, view: drawn.view,
      title: drawn.title, width: canvas.width, height: canvas.height };
  });
}

// A page served without the isolation headers: once its service worker has isolated it (one
// reload) and `ready` holds, whether the worker controls it, and the canvas against the frame.
export async function isolatedByServiceWorker(browser, url, ready) {
  const page = await open(browser, url);
  // Polled from here, not with waitForFunction: the service worker's reload destroys the document
  // that such a wait runs in, and the wait can miss the new one.
  const deadline = Date.now() + 20000;
  let isolated = false;
  while (!isolated) {
    if (Date.now() > deadline) {
      throw new Error(`isolated after one reload: not within 20000 ms\n${page.consoleLines.slice(-20).join('\n')}`);
    }
    isolated = await page.evaluate(`crossOriginIsolated && typeof vemoraPage !== 'undefined' && (${ready})()`)
      .catch(() => false);
    if (!isolated) await new Promise(resolve => setTimeout(resolve, 50));
  }
  const controlled = await page.evaluate(() => navigator.serviceWorker.controller !== null);
  const check = await canvasAndFrame(page);
  await page.close();
  return { controlled, check };
}

// The tap's record: how many non-silent frames it holds, and the FNV-1a of the first `frames`.
export function tapped(page, frames) {
  return page.evaluate(count => {
    const record = vemoraPage.tapRecord();
    const tapFrames = Atomics.load(new Int32Array(record, 0, 1), 0);
    const bytes = new Uint8Array(record, 8, Math.min(count, tapFrames) * 4);
    let hash = 2166136261;
    for (let i = 0; i < bytes.length; i++) hash = Math.imul(hash ^ bytes[i], 16777619) >>> 0;
    return { tapFrames, hash };
  }, frames);
}

// What the tap recorded against the program's newest checkpoint that the tap has reached: the
// hash of the first `frames` non-silent frames on both sides.
export async function soundCheck(page) {
  const best = await page.evaluate(() => {
    const link = vemoraPage.link(), L = vemoraPage.layout;
    const tapFrames = Atomics.load(new Int32Array(vemoraPage.tapRecord(), 0, 1), 0);
    const count = link[L.checkpointCount] >>> 0;
    let found = null;
    for (let i = Math.max(0, count - 64); i < count; i++) {
      const at = L.checkpoints + (i % 64) * 2;
      const frames = link[at] >>> 0;
      if (frames <= tapFrames && (!found || frames > found.frames)) found = { frames, hash: link[at + 1] >>> 0 };
    }
    return found;
  });
  const tap = await tapped(page, best ? best.frames : 0);
  if (!best) return { tapFrames: tap.tapFrames, programFrames: 0 };
  return { tapFrames: tap.tapFrames, programFrames: best.frames, programHash: best.hash, tapHash: tap.hash };
}

// Clicks at a point of the frame drawn last, wherever and however large the canvas is shown.
export async function clickFrame(page, x, y) {
  const canvas = await page.$('#screen');
  const box = await canvas.boundingBox();
  const [width, height] = await canvas.evaluate(e => [e.width, e.height]);
  await page.mouse.click(box.x + (x + 0.5) * box.width / width, box.y + (y + 0.5) * box.height / height);
}
