// The same game in the page as natively: the regression replays watched in
// the page give the native headless dumps at every checkpoint and the
// committed pictures, and a game played and recorded in the page plays back
// natively to the same end. Prints the page's time a pass beside the native one.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readdirSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { launch, nativeDumps, nativeGame, open, root, serve } from './harness.mjs';

// The page served cross-origin isolated draws on worker threads; served
// plainly, on its own thread.
let server, plain, browser;
before(async () => { [server, plain, browser] = await Promise.all([serve(), serve({ isolated: false }), launch()]); });
after(async () => {
  await browser?.close();
  server?.close();
  plain?.close();
});
const site = (threads) => (threads ? server : plain).url;
const threadsOf = (page) => page.evaluate(() => window.crossOriginIsolated && window.tankbattle.timing().threads);

// The committed regression replays, to the end their expected results name,
// with the pictures those hold.
const regress = readdirSync(join(root, 'tests/regress')).filter((f) => f.endsWith('.expected')).map((f) => {
  const lines = readFileSync(join(root, 'tests/regress', f), 'utf8').split('\n');
  return {
    replay: `tests/regress/${f.replace('.expected', '.replay')}`,
    passes: Number(lines.find((l) => l.startsWith('end ')).split(' ')[1]),
    frames: lines.filter((l) => l.startsWith('frame ')),
  };
});

// The first field in which two dump lines differ, as "path: a vs b".
function firstDifference(a, b, path = '') {
  if (typeof a !== 'object' || a === null) return a === b ? null : `${path}: ${a} vs ${b}`;
  for (const k of Object.keys(a)) {
    const d = firstDifference(a[k], b?.[k], `${path}.${k}`);
    if (d) return d;
  }
  return null;
}

// Native headless time a pass with pixels: the difference of two runs, so start-up cancels out.
function nativeMsPerPass(replay, passes) {
  const run = (n) => {
    const t0 = process.hrtime.bigint();
    execFileSync(nativeGame, ['--headless', '--replay', join(root, replay), '--frames', String(n)]);
    return Number(process.hrtime.bigint() - t0) / 1e6;
  };
  return (run(passes + 1) - run(1)) / passes;
}

// Every replay in the threaded page, the first also in the one-thread page.
for (const { replay, passes, frames, threads } of [...regress.map((r) => ({ ...r, threads: true })),
                                                   { ...regress[0], threads: false }]) {
  const build = threads ? 'on worker threads' : 'on one thread';
  test(`${replay} in the page ${build} gives the native dumps every 500 passes and the committed pictures`, async () => {
    const pictures = frames.map((l) => l.split(' ')[1]).join(',');
    const { page, problems } = await open(browser.context, site(threads),
                                          `?replay=${replay}&frames=${passes}&dumpEvery=500&fast&pictures=${pictures}`);
    assert.equal(await threadsOf(page) > 1, threads);
    await page.waitForFunction(() => window.tankbattle.ended(), null, { timeout: 120_000, polling: 200 });
    const inPage = (await page.evaluate(() => window.tankbattle.dumps())).trim().split('\n');
    const native = nativeDumps(join(root, replay), passes, 500);
    assert.equal(inPage.length, native.length);
    inPage.forEach((line, i) => {
      if (line !== native[i]) {
        assert.fail(`checkpoint ${i} differs first at ${firstDifference(JSON.parse(line), JSON.parse(native[i]))}`);
      }
    });
    assert.deepEqual((await page.evaluate(() => window.tankbattle.pictures())).trim().split('\n'), frames);
    assert.deepEqual(problems, []);
    await page.close();
  });
}

test('time a pass in the page and natively (printed)', async () => {
  const replay = 'tests/regress/battle12.replay', passes = 240;
  const nativeMs = nativeMsPerPass(replay, passes);
  for (const threads of [true, false]) {
    const { page } = await open(browser.context, site(threads), `?replay=${replay}&frames=${passes}&fast`);
    await page.waitForFunction(() => window.tankbattle.ended(), null, { timeout: 120_000, polling: 200 });
    const { medianMs, threads: count } = await page.evaluate(() => window.tankbattle.timing());
    console.log(`${replay}, ${passes} passes: ${medianMs.toFixed(2)} ms a pass in the page on ${count} thread(s) ` +
                `(median), ${nativeMs.toFixed(2)} ms natively (mean), ratio ${(medianMs / nativeMs).toFixed(1)}`);
    assert.ok(medianMs > 0);
    await page.close();
  }
});

test('a game recorded in the page plays back natively to the same end', async () => {
  const passes = 300;
  const { page } = await open(browser.context, server.url, `?frames=${passes}`);
  const passesRun = () => page.evaluate(() => window.tankbattle.timing().passes);
  for (const [key, atPass] of [['Digit6', 20], ['Numpad5', 40], ['KeyW', 60], ['ArrowRight', 80], ['Space', 100],
                               ['KeyI', 120], ['KeyA', 140], ['KeyP', 160], ['Digit2', 180], ['ControlLeft', 200]]) {
    await page.waitForFunction((n) => window.tankbattle.timing().passes >= n, atPass);
    await page.keyboard.press(key);
  }
  await page.waitForFunction(() => window.tankbattle.ended(), null, { timeout: 60_000 });
  assert.equal(await passesRun(), passes);
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#saveReplay')]);
  const dir = mkdtempSync(join(tmpdir(), 'tankbattle-recorded-'));
  try {
    const file = join(dir, 'recorded.replay');
    await download.saveAs(file);
    assert.ok(readFileSync(file, 'utf8').split('\n').length > 10, 'the recording holds the keys pressed');
    assert.equal(nativeDumps(file, passes, passes).at(-1), await page.evaluate(() => window.tankbattle.dumpState()));
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
});
