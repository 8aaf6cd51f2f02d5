// serve.mjs DIR [--port N] [--no-isolation]: serves DIR on 127.0.0.1 (port 8000 by default, 0 for
// any free one), with the cross-origin isolation headers that shared memory needs unless
// --no-isolation; prints the address once it listens.
import { createServer } from 'node:http';
import { createReadStream, promises as fs } from 'node:fs';
import path from 'node:path';

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8', '.wasm': 'application/wasm', '.json': 'application/json',
  '.png': 'image/png', '.ico': 'image/x-icon', '.ttf': 'font/ttf', '.txt': 'text/plain; charset=utf-8',
};

function usage() {
  console.error('usage: node serve.mjs DIR [--port N] [--no-isolation]');
  process.exit(2);
}

function parse(argv) {
  const options = { root: null, port: 8000, isolation: true };
  for (let i = 0; i < argv.length; i++) {
    if (argv[i] === '--port' && i + 1 < argv.length && /^\d+$/.test(argv[i + 1]) && Number(argv[i + 1]) < 65536) {
      options.port = Number(argv[++i]);
    } else if (argv[i] === '--no-isolation') {
      options.isolation = false;
    } else if (!argv[i].startsWith('--') && options.root === null) {
      options.root = path.resolve(argv[i]);
    } else {
      usage();
    }
  }
  if (options.root === null) usage();
  return options;
}

// The file a request path names inside root, or null when it would leave root.
function fileFor(root, url) {
  let name;
  try {
    name = decodeURIComponent(new URL(url, 'http://host').pathname);
  } catch {
    return null;
  }
  const file = path.resolve(root, `.${name}`);
  return file === root || file.startsWith(root + path.sep) ? file : null;
}

const options = parse(process.argv.slice(2));
const server = createServer(async (request, response) => {
  const headers = { 'Cache-Control': 'no-cache' };
  if (options.isolation) {
    Object.assign(headers, { 'Cross-Origin-Opener-Policy': 'same-origin', 'Cross-Origin-Embedder-Policy': 'require-corp',
      'Cross-Origin-Resource-Policy': 'same-origin' });
  }
  let file = fileFor(options.root, request.url);
  try {
    if (file === null || !['GET', 'HEAD'].includes(request.method)) throw new Error('refused');
    let info = await fs.stat(file);
    if (info.isDirectory()) {
      file = path.join(file, 'index.html');
      info = await fs.stat(file);
    }
    if (!info.isFile()) throw new Error('not a file');
    headers['Content-Type'] = types[path.extname(file)] || 'application/octet-stream';
    headers['Content-Length'] = info.size;
    response.writeHead(200, headers);
    if (request.method === 'HEAD') response.end(); else createReadStream(file).pipe(response);
  } catch {
    response.writeHead(404, { ...headers, 'Content-Type': 'text/plain; charset=utf-8' });
    response.end('not found\n');
  }
});
server.on('error', error => {
  console.error(`serve.mjs: ${error.message}`);
  process.exit(1);
});
server.listen(options.port, '127.0.0.1', () => {
  console.log(`Serving ${options.root} at http://127.0.0.1:${server.address().port}/`);
});
