// What the browser tests share: Debian's Chromium driven by playwright-core, on a fresh
// profile, and a static server on 127.0.0.1 for the built playground. Every request the
// browser makes to any other host is recorded and refused.
import { chromium } from 'playwright-core';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const site = path.resolve(process.env.VEXA_WEB_DIR || path.join(root, 'build-web'));
export const tools = path.resolve(process.env.VEXA_TOOLS_DIR || path.join(root, 'build'));
// The pictures the tests take go to the site folder, and to docs/ (the README's pictures) when
// VEXA_SCREENSHOT_DIR names it: `VEXA_SCREENSHOT_DIR=../docs npm test`.
export const docs = path.resolve(process.env.VEXA_SCREENSHOT_DIR || site);

const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };

export async function serve(dir = site) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    const file = path.join(dir, name === '/' ? 'index.html' : name);
    if (!file.startsWith(dir + path.sep) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(response);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { url: 'http://127.0.0.1:' + server.address().port + '/', close: () => server.close() };
}

export async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'vexa-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    viewport: { width: 1280, height: 900 },
  });
  const foreign = [];
  await context.route('**/*', (route) => {
    const url = route.request().url();
    if (url.startsWith('http://127.0.0.1:') || url.startsWith('file:') || url.startsWith('data:') || url.startsWith('blob:')) {
      return route.continue();
    }
    foreign.push(url);
    return route.abort();
  });
  return {
    context,
    foreign,
    close: async () => {
      await context.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}
