// The page as a player meets it: it loads cleanly, keeps 60 passes a second on
// any display rate, shows a changing picture that nothing covers, turns keys
// into the same settings and sounds as the desktop, and has the desktop's own
// keys (pause, volume, mute, screenshot, full screen).
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { after, before, test } from 'node:test';
import { dumpOf, launch, open, serve } from './harness.mjs';

let server, browser, page, problems;
before(async () => {
  [server, browser] = await Promise.all([serve(), launch()]);
  ({ page, problems } = await open(browser.context, server.url));
});
after(async () => {
  await browser?.close();
  server?.close();
});

// Passes a second over two seconds, and whether the page fell behind meanwhile.
const passRate = (p) => p.evaluate(async () => {
  const t0 = performance.now(), before = window.tankbattle.timing();
  await new Promise((done) => setTimeout(done, 2000));  // the measuring window, not a wait for a condition
  const now = window.tankbattle.timing();
  return { rate: (now.passes - before.passes) * 1000 / (performance.now() - t0), behind: now.restarts > before.restarts, ms: now.medianMs };
});

test('the page loads without console errors or requests beyond its site, silent until a key', async () => {
  assert.deepEqual(problems, []);
  assert.equal((await page.evaluate(() => window.tankbattle.sound())).state, 'none');
});

// Without pixels a pass is cheap enough for a busy machine to keep up; one
// that still falls behind slows the game down (the page restarts its
// schedule), which the rate then does not have to show.
test('60 passes a second on 60, 30 and 144 Hz displays', async () => {
  await page.evaluate(() => window.tankbattle.begin('', 0));  // one game at a time on the machine
  const rates = {};
  for (const hz of [60, 30, 144]) {
    const other = await browser.context.newPage();
    if (hz !== 60) {
      // A display of another rate: animation frames at whole multiples of 1/hz s, with those time stamps.
      await other.addInitScript((period) => {
        window.requestAnimationFrame = (f) => {
          const next = (Math.floor(performance.now() / period) + 1) * period;
          return setTimeout(() => f(next), next - performance.now());
        };
      }, 1000 / hz);
    }
    await other.goto(server.url + '?nopixels');
    await other.waitForFunction(() => window.tankbattle?.timing().passes > 0);
    rates[hz] = await passRate(other);
    await other.close();
  }
  await page.evaluate(() => window.tankbattle.begin());
  console.log('passes a second by display rate:', JSON.stringify(rates));
  for (const [hz, { rate, behind }] of Object.entries(rates)) {
    // Two seconds hold 120 passes; a 30 Hz display adds them two at a time.
    assert.ok(rate < 62.5 && (behind || rate > 57.5), `${hz} Hz display: ${rate} passes a second`);
  }
});

test('the canvas shows a picture that changes', async () => {
  const sample = () => page.evaluate(() => {
    const { data } = document.getElementById('canvas').getContext('2d').getImageData(0, 0, 640, 480);
    let lit = 0, sum = 0;
    for (let i = 0; i < data.length; i += 4) {
      lit += data[i] + data[i + 1] + data[i + 2] > 30;
      sum = (sum * 31 + data[i] + data[i + 1] * 7 + data[i + 2] * 13) % 1e9;
    }
    return { lit: lit / (640 * 480), sum };
  });
  const first = await sample();
  assert.ok(first.lit > 0.5, `only ${first.lit} of the pixels are lit`);
  await page.waitForFunction(() => window.tankbattle.timing().passes > 200);
  assert.notEqual((await sample()).sum, first.sum);
});

test('keypad, keypad-less and player 2 keys change the tanks, with browser defaults suppressed', async () => {
  await page.waitForFunction(() => JSON.parse(window.tankbattle.dumpState()).tanks.slice(0, 3).every((t) => t.runIn === 0));
  await page.evaluate(() => addEventListener('keydown', (e) => { window.lastKeyPrevented = e.defaultPrevented; }));
  // key, field of the dump, and its change: a step (held within the limit of the field) or a toggle
  const cases = [
    ['Numpad5', 'tanks.0.speed', 0.5], ['KeyK', 'tanks.0.speed', 0.5], ['Comma', 'tanks.0.speed', -0.5],
    ['Numpad1', 'tanks.0.turnRate', -0.01], ['Period', 'tanks.0.turnRate', 0.01], ['Numpad6', 'tanks.0.turretRate', 0.008],
    ['KeyJ', 'tanks.0.turretRate', -0.008], ['KeyW', 'tanks.2.speed', 0.5], ['KeyD', 'tanks.2.turnRate', 0.01],
    ['KeyQ', 'tanks.2.turretRate', -0.008], ['Digit1', 'tanks.3.active', 'toggle'], ['KeyI', 'coopMode', 'toggle'],
    ['KeyS', 'tanks.1.speed', -0.5], ['KeyP', 'autoPilot1', 'toggle'], ['KeyO', 'autoPilot2', 'toggle'],
  ];
  const limits = { speed: 1, turnRate: 0.02, turretRate: 0.016 };
  const field = async (path) => path.split('.').reduce((v, k) => v[k], await dumpOf(page));
  for (const [key, path, change] of cases) {
    const was = await field(path), limit = limits[path.split('.').pop()];
    const want = change === 'toggle' ? 1 - was : Math.min(limit, Math.max(-limit, was + change));
    await page.keyboard.press(key);
    assert.equal(await page.evaluate(() => window.lastKeyPrevented), true, `${key} reached the browser`);
    const deadline = Date.now() + 2000;
    let seen;
    while (Math.abs((seen = await field(path)) - want) > 1e-6 && Date.now() < deadline);
    assert.ok(Math.abs(seen - want) < 1e-6, `${key}: ${path} is ${seen}, not ${want}`);
  }
  await page.keyboard.press('F1');
  assert.equal(await page.evaluate(() => window.lastKeyPrevented), false, 'F1 is not a game key');
});

test('a key pressed just before the page loses focus is forgotten', async () => {
  const press = (blur) => page.evaluate((b) => {  // in one task: no pass runs in between
    dispatchEvent(new KeyboardEvent('keydown', { code: 'Digit2', key: '2' }));
    if (b) dispatchEvent(new Event('blur'));
    return window.tankbattle.timing().passes;
  }, blur);
  for (const [blur, toggles] of [[true, false], [false, true]]) {
    const was = (await dumpOf(page)).tanks[5].active;
    const pass = await press(blur);
    await page.waitForFunction((n) => window.tankbattle.timing().passes > n + 2, pass);
    assert.equal((await dumpOf(page)).tanks[5].active, toggles ? 1 - was : was, `blur ${blur}`);
  }
});

test('sound starts after a key and a shot plays it', async () => {
  const before = await page.evaluate(() => window.tankbattle.sound());
  await page.waitForFunction(() => window.tankbattle.sound().decoded.length === 2, null, { timeout: 5000 });
  await page.waitForFunction(() => JSON.parse(window.tankbattle.dumpState()).tanks[0].reload === 0);
  await page.keyboard.press('ArrowRight');
  await page.waitForFunction((n) => window.tankbattle.sound().played > n, before.played, { timeout: 2000 });
  assert.equal((await page.evaluate(() => window.tankbattle.sound())).state, 'running');
  assert.deepEqual(problems, []);
});

// Waits for this many of the page's animation frames.
const frames = (p, n) => p.evaluate((count) => new Promise((done) => {
  const next = () => (--count <= 0 ? done() : requestAnimationFrame(next));
  requestAnimationFrame(next);
}), n);

test('the desktop\'s own keys: Pause, - and =, F9, F12 and Alt+Enter', async () => {
  const prevented = () => page.evaluate(() => window.lastKeyPrevented);
  // Pause: no pass runs and no game key counts but Escape, the picture dims; Pause again goes on.
  await page.keyboard.press('Pause');
  assert.equal(await prevented(), true);
  assert.equal(await page.evaluate(() => window.tankbattle.paused()), true);
  assert.match(await page.textContent('#status'), /paused/);
  const stopped = (await page.evaluate(() => window.tankbattle.timing())).passes, was = (await dumpOf(page)).coopMode;
  await page.keyboard.press('KeyI');
  await frames(page, 10);
  assert.equal((await page.evaluate(() => window.tankbattle.timing())).passes, stopped);
  await page.keyboard.press('Pause');
  await page.waitForFunction((n) => window.tankbattle.timing().passes > n + 5, stopped);
  assert.equal((await dumpOf(page)).coopMode, was, 'I pressed while paused reached the game');
  assert.equal(await page.evaluate(() => window.tankbattle.paused()), false);

  // The volume in steps of ten within 0 and 100, the mute switch, both on the sound's gain and kept.
  const sound = () => page.evaluate(() => window.tankbattle.sound());
  const cases = [['Minus', 90, false], ['NumpadSubtract', 80, false], ['Equal', 90, false], ['NumpadAdd', 100, false],
                 ['Equal', 100, false], ['F9', 100, true], ['Minus', 90, true], ['F9', 90, false]];
  for (const [key, volume, muted] of cases) {
    await page.keyboard.press(key);
    assert.equal(await prevented(), true, `${key} reached the browser`);
    const s = await sound();
    assert.deepEqual([s.volume, s.muted, Math.round(s.gain * 100)], [volume, muted, muted ? 0 : volume], key);
    assert.equal(await page.textContent('#volume'), muted ? 'muted' : `volume ${volume}`);
  }
  const next = await browser.context.newPage();
  await next.goto(server.url + '?nopixels');
  await next.waitForFunction(() => window.tankbattle);
  assert.deepEqual(await next.evaluate(() => [window.tankbattle.sound().volume, window.tankbattle.sound().muted]),
                   [90, false]);
  await next.close();
  await page.keyboard.press('Control+Minus');
  assert.equal(await prevented(), false, 'Ctrl and - zoom the page');
  assert.equal((await sound()).volume, 90);

  // F12: the picture as a PNG download.
  const [shot] = await Promise.all([page.waitForEvent('download'), page.keyboard.press('F12')]);
  assert.match(shot.suggestedFilename(), /^tankbattle-\d{3}\.png$/);
  const png = readFileSync(await shot.path());
  assert.deepEqual([...png.subarray(0, 8)], [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
  assert.deepEqual([png.readUInt32BE(16), png.readUInt32BE(20)], [640, 480]);

  // Alt+Enter: full screen and back.
  for (const full of [true, false]) {
    await page.keyboard.press('Alt+Enter');
    await page.waitForFunction((f) => (document.fullscreenElement !== null) === f, full, { timeout: 2000 });
  }
  assert.deepEqual(problems, []);
});

// Wherever the page is shown, every point of the picture shows the picture: the
// bar and the key list sit beside it, never over it, and it is as large as fits.
test('nothing covers the picture, with or without the key list, at any window size', async () => {
  for (const [width, height] of [[1280, 800], [800, 600], [480, 800]]) {
    await page.setViewportSize({ width, height });
    for (const keys of [false, true]) {
      await page.evaluate((k) => { document.getElementById('keys').hidden = !k; }, keys);
      const layout = await page.evaluate(() => {
        const box = document.getElementById('canvas').getBoundingClientRect();
        const scale = Math.min(box.width / 640, box.height / 480);
        const picture = { left: box.left + (box.width - 640 * scale) / 2, top: box.top + (box.height - 480 * scale) / 2,
                          width: 640 * scale, height: 480 * scale };
        const covered = [];
        for (let i = 0; i <= 8; i++) {
          for (let j = 0; j <= 8; j++) {
            const x = picture.left + 1 + (picture.width - 2) * i / 8, y = picture.top + 1 + (picture.height - 2) * j / 8;
            const seen = document.elementFromPoint(x, y);
            if (seen?.id !== 'canvas') covered.push(`${Math.round(x)},${Math.round(y)}: ${seen?.id || seen?.tagName}`);
          }
        }
        const below = document.getElementById(document.getElementById('keys').hidden ? 'bar' : 'keys');
        return { picture, covered, box: box.toJSON(), belowTop: below.getBoundingClientRect().top,
                 barBottom: document.getElementById('bar').getBoundingClientRect().bottom };
      });
      const where = `${width} x ${height}, key list ${keys ? 'shown' : 'hidden'}`;
      assert.deepEqual(layout.covered, [], where);
      // As large as fits: the picture's place reaches from the top to the key list or bar,
      // at the bottom, and the picture fills its width or its height.
      const { picture, box } = layout;
      assert.deepEqual([box.top, box.width, Math.round(box.bottom), Math.round(layout.barBottom)],
                       [0, width, Math.round(layout.belowTop), height], where);
      assert.ok(Math.abs(picture.width - box.width) < 1 || Math.abs(picture.height - box.height) < 1,
                `${where}: the picture is ${picture.width} x ${picture.height} in ${box.width} x ${box.height}`);
    }
  }
  await page.evaluate(() => { document.getElementById('keys').hidden = true; });
});
