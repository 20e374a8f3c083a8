// The WebAssembly module under Node: assembly with words, hex, disassembly and diagnostics,
// and a run with its events, listing and counters.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { root, site, tools } from './browser.mjs';

// Emscripten 3.1.6 fetches its .wasm whenever fetch exists, which fails for a file under
// Node (as `node --no-experimental-fetch` avoids); without fetch it reads the file.
async function load() {
  const fetch = globalThis.fetch;
  delete globalThis.fetch;
  try {
    return await createRequire(import.meta.url)(path.join(site, 'vexa.js'))();
  } finally {
    globalThis.fetch = fetch;
  }
}

test('the module assembles, reports and simulates as the tools do', async () => {
  const vexa = await load();
  const program = new vexa.Program();
  const source = fs.readFileSync(path.join(root, 'examples/pulse_sequence.s'), 'utf8');
  const assembly = program.assemble(source, 'pulse_sequence.s');
  assert.equal(assembly.ok, true);
  assert.equal(assembly.report, 'assembler finished successfully');
  assert.equal(assembly.words.length, 10);
  assert.equal(assembly.words[0], 0xac00000040004000n); // set_awg_gain 16384, 16384
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'vexa-module-'));
  try {
    fs.writeFileSync(path.join(work, 'p.s'), source);
    execFileSync(path.join(tools, 'vexasm'), ['-l', 'quiet', 'p.s'], { cwd: work });
    assert.equal(assembly.hex, fs.readFileSync(path.join(work, 'p.hex'), 'utf8'));
  } finally {
    fs.rmSync(work, { recursive: true, force: true });
  }
  assert.match(assembly.disassembly, /play/);

  const run = program.simulate(1000000, 1e6);
  assert.equal(run.failed, false);
  assert.equal(run.events.count, 30);
  assert.deepEqual(Array.from(run.events.columns.time_ns.slice(0, 4)), [0, 100, 200, 450]);
  assert.deepEqual(run.events.mnemonics, ['play', 'acquire', 'wait']);
  assert.equal(run.counters.instructions, 46);
  assert.match(run.listing, /^address +count/);

  const limited = program.simulate(1000000, 4);
  assert.equal(limited.events.count, 30);
  assert.equal(limited.events.kept, 4);
  assert.equal(limited.events.columns.address.length, 4);

  const bad = program.assemble('        play 1, 2\n        nop x\n', 'e.s');
  assert.equal(bad.ok, false);
  assert.deepEqual(bad.diagnostics.map((d) => [d.line, d.column, d.length]), [[2, 12, 1]]);
  assert.equal(bad.report, 'assembler failed with 1 errors:\ne.s:2:12: Syntax error: AsmParser: ' +
    'Invalid Immediate argument: Expected an integer number: \n        nop x\n------------^\n');
  assert.equal(bad.words.length, 0);
  assert.equal(program.simulate(10, 10).failed, true);
  program.delete();
});
