// Serves a folder on 127.0.0.1 only (a free port unless one is given) and prints the address.
// Used by `tools/web.sh --serve` and by the browser check.
'use strict';
const http = require('http');
const fs = require('fs');
const path = require('path');

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.data': 'application/octet-stream', '.txt': 'text/plain; charset=utf-8',
};

function serve(root, port) {
  root = path.resolve(root);
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    const file = path.join(root, name === '/' ? 'index.html' : name);
    if (!file.startsWith(root + path.sep)) {
      response.writeHead(403).end();
      return;
    }
    fs.readFile(file, (error, content) => {
      if (error) {
        response.writeHead(404).end();
        return;
      }
      response.writeHead(200, {
        'Content-Type': types[path.extname(file)] || 'application/octet-stream',
        'Cache-Control': 'no-store',
      });
      response.end(content);
    });
  });
  return new Promise((resolve) => server.listen(port || 0, '127.0.0.1', () => resolve(server)));
}

module.exports = { serve };

if (require.main === module) {
  serve(process.argv[2] || '.', Number(process.argv[3]) || 8080).then((server) => {
    console.log(`Orbelune is served at http://127.0.0.1:${server.address().port}/ (Ctrl-C stops)`);
  });
}
