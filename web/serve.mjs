// Serves the solving page on this machine only: node web/serve.mjs [FOLDER]
// [PORT] (default build-wasm/page, 8080), then open http://127.0.0.1:PORT/.
// A module Worker cannot start from a file: URL, so the page needs a server;
// any static server that sends .wasm as application/wasm does as well.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';

const TYPES = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
                '.wasm': 'application/wasm', '.json': 'application/json', '.css': 'text/css' };

export function serve(folder, port = 0, host = '127.0.0.1') {
  const root = path.resolve(folder);
  const server = http.createServer((req, res) => {
    const url = new URL(req.url, 'http://localhost');
    const file = path.resolve(root, '.' + decodeURIComponent(url.pathname === '/' ? '/index.html' : url.pathname));
    if (!file.startsWith(root + path.sep)) { res.writeHead(403).end(); return; }
    fs.readFile(file, (err, data) => {
      if (err) { res.writeHead(404).end('not found'); return; }
      res.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
      res.end(data);
    });
  });
  return new Promise((resolve) => server.listen(port, host, () => resolve(server)));
}

if (process.argv[1] && path.resolve(process.argv[1]) === path.resolve(new URL(import.meta.url).pathname)) {
  const folder = process.argv[2] || 'build-wasm/page';
  const server = await serve(folder, Number(process.argv[3] || 8080));
  console.log(`The solving page: http://127.0.0.1:${server.address().port}/ (Ctrl-C ends)`);
}
