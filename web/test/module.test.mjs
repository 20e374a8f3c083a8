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

test('the signal layer runs beside the simulation: findings, acquisitions and a window', async () => {
  const vexa = await load();
  const program = new vexa.Program();
  // Half gain on waveform 1 (0.5 for 8 ns) gives 0.25 on both paths; looped back 8 ns later,
  // each 8 ns acquisition integrates exactly that pulse.
  const source = `        set_awg_gain    16384, 16384
        set_awg_offs    0, 0
        move            3, R1
repeat: play            1, 1, 8
        acquire         0, 0, 8
        loop            R1, @repeat
        stop
`;
  assert.equal(program.assemble(source, 'loop.s').ok, true);
  const pulse = new Float32Array(8).fill(0.5);
  const settings = { input: 'loopback', loopback_delay_ns: 8, integration_ns: 8 };
  const run = program.simulate(100000, 1e6, { waveforms: { 1: pulse }, ...settings });
  assert.equal(run.failed, false);
  assert.equal(run.events.count, 6);
  assert.deepEqual(run.findings, []);
  assert.deepEqual(run.acquisitions,
    [{ acq_idx: 0, bins: [{ bin_idx: 0, count: 3, path0: 0.25, path1: 0.25 }] }]);

  const window = program.render(0, 16);
  assert.equal(window.time_ns, 0);
  const expected = [...Array(8).fill(0.25), ...Array(8).fill(0)];
  assert.deepEqual(Array.from(window.path0), expected);
  assert.deepEqual(Array.from(window.path1), expected);
  assert.deepEqual(Array.from(window.markers), Array(16).fill(0));

  const missing = program.simulate(100000, 1e6, { waveforms: { 2: [0.5] }, ...settings });
  assert.deepEqual(missing.findings.slice(0, 2), [0, 1].map((path) => ({
    time_ns: 0, address: 3, kind: 'missing_waveform',
    message: `path ${path}: waveform 1 is not in the table`,
  })));
  assert.deepEqual(missing.findings.map((f) => f.time_ns), [0, 0, 16, 16, 32, 32]);
  assert.equal(missing.findingsCount, 6);
  assert.equal(missing.acquisitions[0].bins[0].path0, 0);
  const underruns = program.simulate(100000, 1e6, { waveforms: {}, kinds: ['underrun'] });
  assert.deepEqual([underruns.findings, underruns.findingsCount], [[], 0]);
  // By default each acquisition integrates 1000 ns: those at 24 and 40 ns overlap the one before.
  const overlaps = program.simulate(100000, 1e6, { kinds: ['acquisition_overlap'] });
  assert.deepEqual(overlaps.findings.map((f) => [f.time_ns, f.address]), [[24, 4], [40, 4]]);
  const first = program.simulate(100000, 1e6, { max_findings: 1 });
  assert.deepEqual([first.findings.length, first.findings[0].message, first.findingsCount],
    [1, 'path 0: waveform 1 is not in the table', 8]);
  // Supplied input: 1 for 16 ns; the acquisitions at 8, 24 and 40 ns see 1, 0 and 0.
  const supplied = program.simulate(100000, 1e6, { input: new Float32Array(16).fill(1), integration_ns: 8 });
  assert.equal(supplied.acquisitions[0].bins[0].path1, 1 / 3);

  // Bad tables, settings and windows are thrown with a message that names them.
  const refused = [
    [{ waveforms: { 1: [0.5, 2] } }, /^waveform 1: /],
    [{ waveforms: { 1: ['0.5'] } }, /^waveform 1: sample 0 is not a number$/],
    [{ waveforms: { 1: 0.5 } }, /^waveform 1: samples must be/],
    [{ waveforms: { x: [0] } }, /^waveforms: index "x" is not an integer$/],
    [{ weights: { 64: [0] } }, /^weight 64/],
    [{ integration_ns: 0 }, /^integration_ns/],
    [{ integration_ns: 1.5 }, /^integration_ns must be an integer$/],
    [{ input: 'file' }, /^input: 'file' is neither/],
    [{ input: [1, NaN] }, /^input path 0: sample 1 is NaN/],
    [{ gain: 1 }, /^unknown signal setting "gain"$/],
    [{ kinds: ['underrun', 'late'] }, /^kinds: entry 1 is not a finding kind$/],
    [{ max_findings: -1 }, /^max_findings must not be negative$/],
  ];
  for (const [options, message] of refused)
    assert.throws(() => program.simulate(100000, 1e6, options), { message }, JSON.stringify(options));
  // A refused run leaves the latest good one to render; a new assembly forgets it.
  assert.equal(program.render(8, 9).path0[0], 0);
  assert.throws(() => program.render(16, 0), { message: /^window: stop 0 is before start 16$/ });
  assert.throws(() => program.render(0, 2 ** 22 + 1), { message: /^window: 4194305 samples/ });
  assert.throws(() => program.render(-1, 4), { message: /^window: start must be/ });
  assert.equal(program.simulate(100000, 1e6, undefined).findings, undefined);
  assert.throws(() => program.render(0, 4), { message: /^render: no run/ });
  program.delete();
});
