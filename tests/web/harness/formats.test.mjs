// The web host's sound device with every format that waveOut takes: what reaches the audio graph
// is the program's pattern as 16-bit stereo (8-bit samples around 128, one channel on both sides).
import assert from 'node:assert/strict';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { launch, open, output, serve, tapped, until } from './browser.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../..');
const site = process.env.VEMORA_FORMATS_SITE || path.join(root, 'build-web/tests/web/formats-site');

let server, browser;
before(async () => {
  server = await serve(site);
  browser = await launch();
});
after(async () => {
  await browser?.close();
  server?.close();
});

for (const [bits, channels] of [[8, 1], [8, 2], [16, 1], [16, 2]]) {
  test(`SoundFormats.${bits}Bit${channels === 1 ? 'Mono' : 'Stereo'}HeardAs16BitStereo`, async () => {
    const page = await open(browser, `${server.url}?bits=${bits}&channels=${channels}`);
    await until(page, () => vemoraPage.stats().exitCode !== null, 'the program\'s end');
    assert.equal((await page.evaluate(() => vemoraPage.stats())).exitCode, 0);
    const heard = /^heard (\d+) frames (\d+)$/.exec((await output(page)).find(line => line.startsWith('heard ')) || '');
    assert.ok(heard, (await output(page)).join('\n'));
    const [frames, hash] = [Number(heard[1]), Number(heard[2])];
    // MMSYSERR_ALLOCATED: the page's audio plays one source at a time.
    assert.ok((await output(page)).includes('second device: 4'));
    const tap = await tapped(page, frames);
    assert.equal(tap.tapFrames, frames);
    assert.equal(tap.hash, hash);
    await page.close();
  });
}
