// The software Glide's pixel digests from the WebAssembly build, run by node,
// are those every native build prints (tests/data/pixel_digest.txt).
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import { root, webDir } from './harness.mjs';

test('the WebAssembly build draws the native pixels', () => {
  const digests = execFileSync(process.execPath, [join(webDir, 'cmake/pixel_digest.js')], { encoding: 'utf8' });
  assert.equal(digests, readFileSync(join(root, 'tests/data/pixel_digest.txt'), 'utf8'));
});
