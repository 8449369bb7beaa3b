// Serves a folder on 127.0.0.1 only (a free port unless one is given) and prints the address.
// Used by `tools/web.sh --serve` and by the browser check. A file with a precompressed copy
// beside it (NAME.br, NAME.gz) is sent as that copy to a browser that accepts the encoding.
'use strict';
const http = require('http');
const fs = require('fs');
const path = require('path');

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.data': 'application/octet-stream', '.txt': 'text/plain; charset=utf-8',
};
// Best first: Brotli's copies are the smaller.
const encodings = [['br', '.br'], ['gzip', '.gz']];

// The encodings an Accept-Encoding header allows ("gzip, deflate, br"; "br;q=0" refuses br).
function accepted(header) {
  const allowed = new Set();
  for (const part of String(header || '').split(',')) {
    const [name, ...parameters] = part.trim().toLowerCase().split(';');
    const quality = parameters.map((p) => /^\s*q=([\d.]+)\s*$/.exec(p)).find(Boolean);
    if (name && !(quality && Number(quality[1]) === 0)) allowed.add(name);
  }
  return allowed;
}

// The file to send for `file` and its encoding: a precompressed copy the request accepts, or
// the file itself (encoding null).
function variant(file, acceptEncoding, callback) {
  const allowed = accepted(acceptEncoding);
  const candidates = encodings.filter(([name]) => allowed.has(name))
    .map(([name, suffix]) => [file + suffix, name]).concat([[file, null]]);
  const next = () => {
    const [candidate, encoding] = candidates.shift();
    fs.readFile(candidate, (error, content) => {
      if (error && candidates.length > 0) next();
      else callback(error, content, encoding);
    });
  };
  next();
}

function serve(root, port) {
  root = path.resolve(root);
  const server = http.createServer((request, response) => {
    let name;
    try {
      name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    } catch (error) {
      name = null; // a broken %-escape
    }
    if (name === null || name.includes('\0')) {
      response.writeHead(400).end();
      return;
    }
    const file = path.join(root, name === '/' ? 'index.html' : name);
    if (!file.startsWith(root + path.sep)) {
      response.writeHead(403).end();
      return;
    }
    variant(file, request.headers['accept-encoding'], (error, content, encoding) => {
      if (error) {
        response.writeHead(404).end();
        return;
      }
      const headers = {
        'Content-Type': types[path.extname(file)] || 'application/octet-stream',
        'Cache-Control': 'no-store',
        'Vary': 'Accept-Encoding',
      };
      if (encoding) headers['Content-Encoding'] = encoding;
      response.writeHead(200, headers);
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
