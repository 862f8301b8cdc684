// What the web tests share: build-web/ served on 127.0.0.1, Debian's Chromium
// with a fresh profile, the page opened with its console watched, and the
// native game for comparisons.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { extname, join, normalize, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

export const root = resolve(fileURLToPath(import.meta.url), '../../..');
export const webDir = process.env.WEB_DIR ?? join(root, 'build-web');
export const nativeGame = process.env.NATIVE_GAME ?? join(root, 'build/tankbattle');
const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };

// Serves build-web/, and the repository's tests/ folder under /tests/ (replays);
// cross-origin isolated (the page then draws on worker threads) unless told not to.
export async function serve({ isolated = true } = {}) {
  const isolation = isolated
    ? { 'cross-origin-opener-policy': 'same-origin', 'cross-origin-embedder-policy': 'require-corp' } : {};
  const server = createServer((request, response) => {
    const path = normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname));
    const file = path.startsWith('/tests/') ? join(root, path) : join(webDir, path === '/' ? 'index.html' : path);
    try {
      const type = types[extname(file)] ?? 'text/plain';
      response.writeHead(200, { 'content-type': type, ...isolation }).end(readFileSync(file));
    } catch {
      response.writeHead(404).end();
    }
  });
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  return { url: `http://127.0.0.1:${server.address().port}/`, close: () => server.close() };
}

export async function launch() {
  const profile = mkdtempSync(join(tmpdir(), 'tankbattle-chromium-'));
  const flags = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
                 '--disable-component-update', '--disable-sync', '--autoplay-policy=user-gesture-required'];
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium', headless: true, args: flags, acceptDownloads: true,
  });
  return { context, close: async () => { await context.close(); rmSync(profile, { recursive: true, force: true }); } };
}

// Opens the page and waits for its game to start; `problems` collects console
// errors, page errors and requests that leave the site.
export async function open(context, url, query = '') {
  const page = await context.newPage();
  const problems = [];
  page.on('console', (m) => m.type() === 'error' && problems.push(`console: ${m.text()}`));
  page.on('pageerror', (e) => problems.push(`page: ${e.message}`));
  page.on('request', (r) => !r.url().startsWith(url) && !r.url().startsWith('blob:') && problems.push(`request: ${r.url()}`));
  await page.goto(url + query);
  await page.waitForFunction(() => window.tankbattle && document.getElementById('status').textContent !== 'loading');
  return { page, problems };
}

export const dumpOf = (page) => page.evaluate(() => JSON.parse(window.tankbattle.dumpState()));

// Runs the native game headless; returns its dump lines after the first, which
// names the program and its version.
export function nativeDumps(replayFile, frames, dumpEvery) {
  const dir = mkdtempSync(join(tmpdir(), 'tankbattle-native-'));
  try {
    const dump = join(dir, 'dump.jsonl');
    execFileSync(nativeGame, ['--headless', '--replay', replayFile, '--frames', String(frames),
                              '--dump-state', dump, '--dump-every', String(dumpEvery), '--no-pixels']);
    const [header, ...lines] = readFileSync(dump, 'utf8').trim().split('\n');
    if (JSON.parse(header).program !== 'tankbattle') throw new Error(`no header in the native dump: ${header}`);
    return lines;
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
}
