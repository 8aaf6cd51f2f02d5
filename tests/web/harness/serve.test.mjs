// The static server: the isolation headers (or none when asked), the types a browser insists on,
// and nothing outside the site, however the path is spelt.
import assert from 'node:assert/strict';
import { mkdirSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { request } from 'node:http';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { serve } from './browser.mjs';

// A raw GET: the path reaches the server exactly as written.
function get(base, rawPath) {
  const { hostname, port } = new URL(base);
  return new Promise((resolve, reject) => {
    request({ hostname, port, path: rawPath }, response => {
      let body = '';
      response.on('data', chunk => { body += chunk; });
      response.on('end', () => resolve({ status: response.statusCode, headers: response.headers, body }));
    }).on('error', reject).end();
  });
}

let root, isolated, plain;
before(async () => {
  root = mkdtempSync(path.join(tmpdir(), 'vemora-serve-'));
  mkdirSync(path.join(root, 'site'));
  writeFileSync(path.join(root, 'secret.txt'), 'outside');
  writeFileSync(path.join(root, 'site', 'index.html'), '<p>in</p>');
  writeFileSync(path.join(root, 'site', 'program.wasm'), 'wasm');
  isolated = await serve(path.join(root, 'site'));
  plain = await serve(path.join(root, 'site'), { isolation: false });
});
after(() => {
  isolated?.close();
  plain?.close();
  rmSync(root, { recursive: true, force: true });
});

test('Serve.IsolationHeadersUnlessAskedNot', async () => {
  const page = await get(isolated.url, '/');
  assert.equal(page.status, 200);
  assert.equal(page.body, '<p>in</p>');
  assert.equal(page.headers['cross-origin-opener-policy'], 'same-origin');
  assert.equal(page.headers['cross-origin-embedder-policy'], 'require-corp');
  assert.equal((await get(isolated.url, '/program.wasm')).headers['content-type'], 'application/wasm');
  const bare = await get(plain.url, '/index.html');
  assert.equal(bare.status, 200);
  assert.equal(bare.headers['cross-origin-opener-policy'], undefined);
  assert.equal(bare.headers['cross-origin-embedder-policy'], undefined);
});

test('Serve.NothingOutsideTheSite', async () => {
  for (const raw of ['/../secret.txt', '/%2e%2e/secret.txt', '/..%2fsecret.txt', '/site/../../secret.txt',
    '/%2E%2E%5Csecret.txt', '/missing.js', '/%zz']) {
    const answer = await get(isolated.url, raw);
    assert.equal(answer.status, 404, raw);
    assert.notEqual(answer.body, 'outside', raw);
  }
});
