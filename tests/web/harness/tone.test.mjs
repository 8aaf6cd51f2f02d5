// The page with the small test program: frames drawn as published, the sound ring heard in
// order, keys and clicks passed on, message boxes that block, the end, the refused rate, the
// click that sound needs, and a server without the isolation headers.
import assert from 'node:assert/strict';
import { mkdirSync } from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { answerBoxUntilEnded, canvasAndFrame, clickFrame, isolatedByServiceWorker, launch, open, output, serve, soundCheck,
  stats, until } from './browser.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../..');
const site = process.env.VEMORA_TONE_SITE || path.join(root, 'build-web/tests/web/site');
const screens = process.env.VEMORA_SCREENS || path.join(root, 'build-web/tests/web/screens');
const report = [];
const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));
// The tone's length; longer runs measure underruns over more time.
const toneSeconds = Number(process.env.VEMORA_TONE_SECONDS || 6);

let server, browser;
before(async () => {
  mkdirSync(screens, { recursive: true });
  server = await serve(site);
  browser = await launch();
});
after(async () => {
  await browser?.close();
  server?.close();
  console.log(report.join('\n'));
});

test('Tone.FramesSoundInputAndEnd', async () => {
  const page = await open(browser, `${server.url}?rate=48000&seconds=${toneSeconds}&windowed`);
  await until(page, () => vemoraPage.stats().audioState === 'running' && vemoraPage.stats().framesDrawn > 0,
    'sound running and a frame drawn');
  const startedAt = await stats(page);
  assert.equal(startedAt.sampleRate, 48000);
  // Windowed in a 1024 x 768 page: the largest whole-pixel scale that fits is 1.
  assert.deepEqual(await page.$eval('#screen', e => [e.clientWidth, e.clientHeight]), [640, 480]);
  assert.equal(await page.evaluate(() => document.fullscreenElement), null);
  report.push(`load to first drawn frame: ${(startedAt.firstDrawAt - startedAt.loadedAt).toFixed(0)} ms`);

  // The canvas holds the frame the program handed over last, and the frames move on.
  const seen = new Set();
  for (let i = 0; i < 3; i++) {
    const check = await canvasAndFrame(page);
    assert.equal(check.canvas, check.frame, `canvas of frame ${check.number}`);
    seen.add(check.canvas);
    await sleep(400);
  }
  assert.equal(seen.size, 3);
  await page.screenshot({ path: path.join(screens, 'tone-windowed.png') });

  // Updates and draws over two seconds of steady running.
  const before = await stats(page);
  await sleep(2000);
  const later = await stats(page);
  const seconds = (later.now - before.now) / 1000;
  const published = (later.framesPublished - before.framesPublished) / seconds;
  const drawn = (later.framesDrawn - before.framesDrawn) / seconds;
  const drawMs = (later.drawMs - before.drawMs) / (later.framesDrawn - before.framesDrawn);
  report.push(`program updates per second: ${published.toFixed(1)}; page draws per second: ${drawn.toFixed(1)}; ` +
    `page time per drawn frame: ${drawMs.toFixed(2)} ms (longest ${later.drawMsMax.toFixed(2)} ms)`);
  assert.ok(published > 30 && published < 80, `${published} updates a second`);
  assert.ok(drawn > 20, `${drawn} frames drawn a second`);

  // Keys and clicks reach the program, in frame pixels.
  await page.keyboard.press('KeyK');
  await clickFrame(page, 100, 50);
  await until(page, () => vemoraPage.stats().output.includes('button 0 at 100,50'), 'the click passed on');
  assert.ok((await output(page)).includes('key 75'));

  // A message box blocks the program until it is answered.
  await page.keyboard.press('KeyM');
  await until(page, () => !document.getElementById('message').hidden, 'the message box');
  assert.equal(await page.$eval('#message-caption', e => e.textContent), 'Problem');
  const blocked = (await stats(page)).framesPublished;
  await sleep(300);
  assert.equal((await stats(page)).framesPublished, blocked);
  await page.screenshot({ path: path.join(screens, 'tone-message.png') });
  await page.click('#message-ok');
  await until(page, () => vemoraPage.stats().output.includes('message answered: 1'), 'the answer');
  await until(page, n => vemoraPage.stats().framesPublished > n + 5, 'frames after the answer', 5000, blocked);

  // Every non-silent frame the program wrote reached the graph, in order.
  const toneFrames = toneSeconds * 48000;
  await until(page, n => vemoraPage.stats().output.includes(`tone done: ${n} frames`), 'the whole tone',
    toneSeconds * 1000 + 15000, toneFrames);
  const sound = await soundCheck(page);
  const final = await stats(page);
  report.push(`tone: ${sound.tapFrames} non-silent frames at the tap, ${final.underruns} underruns ` +
    `(${startedAt.underruns} of them before the first frame was drawn)`);
  assert.equal(sound.programFrames, sound.tapFrames);
  assert.equal(sound.tapHash, sound.programHash);
  // Each second of the tone starts with a fiftieth of silence.
  assert.equal(sound.tapFrames, toneFrames - toneSeconds * 960);
  assert.equal(final.underruns - startedAt.underruns, 0);

  // Escape ends the program; the page says so and offers a new start.
  await page.keyboard.press('Escape');
  await until(page, () => !document.getElementById('ended').hidden, 'the ended state');
  assert.equal((await stats(page)).exitCode, 0);
  assert.equal(await page.$eval('#ended-again', e => e === document.activeElement), true);
  await page.screenshot({ path: path.join(screens, 'tone-ended.png') });
  await page.close();
});

test('Tone.RefusedRateEndsWithTheProgramsBox', async () => {
  const page = await open(browser, `${server.url}?rate=1000`);
  const box = await answerBoxUntilEnded(page);
  assert.deepEqual([box.caption, box.text], ['Error', 'audio failed']);
  assert.notEqual(box.exitCode, 0);
  await page.close();
});

test('Tone.GoWaitsForTheClickThatStartsSound', async () => {
  const strict = await launch({ autoplay: false });
  try {
    const page = await open(strict, `${server.url}?go&rate=45454`);
    assert.equal(await page.$eval('#start', e => e.hidden), false);
    assert.equal(await page.$eval('#start-button', e => e.textContent), 'click to start');
    await page.click('#start-button');
    await until(page, () => vemoraPage.stats().audioState === 'running' && vemoraPage.stats().framesDrawn > 0,
      'sound running after the click');
    assert.equal((await stats(page)).sampleRate, 45454);
    // Not windowed: full screen, granted because the click was moments ago; 4:3 fills 1024 x 768.
    await until(page, () => document.fullscreenElement !== null, 'full screen after the click');
    await until(page, () => document.getElementById('screen').clientWidth === 1024, 'the picture scaled to the screen');
    await page.screenshot({ path: path.join(screens, 'tone-go.png') });
  } finally {
    await strict.close();
  }
});

test('Tone.ServiceWorkerIsolatesAPlainServer', async () => {
  const plain = await serve(site, { isolation: false });
  try {
    const { controlled, check } = await isolatedByServiceWorker(browser, `${plain.url}?rate=48000&seconds=1`,
      () => vemoraPage.stats().framesDrawn > 0);
    assert.equal(controlled, true);
    assert.equal(check.canvas, check.frame);
  } finally {
    plain.close();
  }
});

test('Tone.BrowserWithoutAudioWorkletGetsANotice', async () => {
  const page = await browser.newPage();
  await page.evaluateOnNewDocument(() => { delete globalThis.AudioWorkletNode; });
  await page.goto(server.url, { waitUntil: 'load' });
  assert.equal(await page.$eval('#notice', e => e.hidden), false);
  assert.match(await page.$eval('#notice', e => e.textContent), /lacks AudioWorklet/);
  assert.equal(await page.evaluate(() => typeof VemoraProgram), 'undefined');
  await page.close();
});
