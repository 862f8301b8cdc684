// The same game in the page as natively: a replay watched in the page gives
// the native headless dumps at every checkpoint, and a game played and
// recorded in the page plays back natively to the same end. Prints the page's
// time a pass beside the native one.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { launch, nativeDumps, nativeGame, open, root, serve } from './harness.mjs';

let server, browser;
before(async () => { [server, browser] = await Promise.all([serve(), launch()]); });
after(async () => {
  await browser?.close();
  server?.close();
});

const replays = [['tests/data/battle12.replay', 1200, 100]];  // file, passes, checkpoint every

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

for (const [replay, passes, every] of replays) {
  test(`${replay} in the page gives the native dumps at every checkpoint`, async () => {
    const { page, problems } = await open(browser.context, server.url,
                                          `?replay=${replay}&frames=${passes}&dumpEvery=${every}&fast`);
    await page.waitForFunction(() => window.tankbattle.ended(), null, { timeout: 240_000, polling: 500 });
    const inPage = (await page.evaluate(() => window.tankbattle.dumps())).trim().split('\n');
    const native = nativeDumps(join(root, replay), passes, every);
    assert.equal(inPage.length, native.length);
    inPage.forEach((line, i) => {
      if (line !== native[i]) {
        assert.fail(`checkpoint ${i} differs first at ${firstDifference(JSON.parse(line), JSON.parse(native[i]))}`);
      }
    });
    const { medianMs } = await page.evaluate(() => window.tankbattle.timing());
    const nativeMs = nativeMsPerPass(replay, 300);
    console.log(`${replay}: ${medianMs.toFixed(2)} ms a pass in the page (median), ` +
                `${nativeMs.toFixed(2)} ms natively, ratio ${(medianMs / nativeMs).toFixed(1)}`);
    assert.deepEqual(problems, []);
    await page.close();
  });
}

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
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#record')]);
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
