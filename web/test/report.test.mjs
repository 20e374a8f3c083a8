// The HTML report from file:// in Chromium: its event table, no request to anything, hostile
// text as text; and a report of a million events, its size and the time it takes to open.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { launch, tools, docs, root } from './browser.mjs';

let browser;
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'vexa-report-'));

before(async () => { browser = await launch(); });
after(async () => {
  await browser.close();
  fs.rmSync(work, { recursive: true, force: true });
});

function report(name, source, budget = 1000000, options = []) {
  fs.writeFileSync(path.join(work, name), source);
  execFileSync(path.join(tools, 'vexasim'), ['-l', 'quiet', '-m', String(budget), '--html', 'report.html', ...options, name],
    { cwd: work, stdio: ['ignore', 'ignore', 'ignore'] });
  return path.join(work, 'report.html');
}

async function open(file) {
  const page = await browser.context.newPage();
  const requests = [];
  page.on('request', (request) => requests.push(request.url()));
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  const started = Date.now();
  await page.goto('file://' + file);
  await page.waitForSelector('body[data-ready=true]', { timeout: 20000 });
  return { page, requests, errors, ms: Date.now() - started };
}

test('a report opens from file:// with its events and asks for nothing', async () => {
  const source = fs.readFileSync(path.join(root, 'examples/pulse_sequence.s'), 'utf8');
  const { page, requests, errors } = await open(report('pulse_sequence.s', source));
  assert.deepEqual(errors, []);
  assert.equal(await page.locator('#event-count').textContent(), '30 events');
  assert.deepEqual(await page.locator('#event-rows tr').first().locator('td').allTextContents(),
    ['0', '0', '100', '4', 'play', '1/2', '', '0/0', '16384/16384', '0/0', '0/0/0', '0/0/0', '0']);
  assert.equal(await page.locator('#outcome').textContent(), 'Simulation finished');
  assert.deepEqual(requests.filter((url) => !url.startsWith('file:')), []);
  assert.deepEqual(browser.foreign, []);
  await page.screenshot({ path: path.join(docs, 'web_report.png') });
  await page.close();
});

test('with waveforms a report lists the findings and draws the output', async () => {
  const source = fs.readFileSync(path.join(root, 'examples/pulse_sequence.s'), 'utf8');
  fs.copyFileSync(path.join(root, 'examples/pulse_sequence.npz'), path.join(work, 'pulse_sequence.npz'));
  const { page, errors } = await open(report('pulse_sequence.s', source, 1000000, ['--waveforms', 'pulse_sequence.npz']));
  await page.waitForSelector('body[data-signals=ready]');
  assert.deepEqual(errors, []);
  assert.equal(await page.locator('#finding-count').textContent(), '9 findings');
  assert.deepEqual(await page.locator('#finding-rows tr').first().locator('td').allTextContents(),
    ['550', '5', '10', 'acquisition_overlap', 'window starts at 550 ns, before the window of the acquisition at 100 ns ends at 1100 ns']);
  assert.equal(await page.locator('#signal-window').textContent(), '0 to 4500 ns');
  if (process.env.VEXA_SCREENSHOT) await page.screenshot({ path: process.env.VEXA_SCREENSHOT, fullPage: true });
  await page.close();
});

test('hostile text in the file name and comments is shown literally', async () => {
  const name = '<img src=x onerror=alert(1)>.s';
  const { page, errors } = await open(report(name, '# </script><img src=x onerror=alert(2)>\n        play 1, 2, 10\n        stop\n'));
  assert.deepEqual(errors, []);
  assert.equal(await page.locator('#title').textContent(), name);
  assert.match(await page.locator('#listing').textContent(), /# <\/script><img src=x onerror=alert\(2\)>/);
  assert.equal(await page.locator('img').count(), 0);
  await page.close();
});

test('a report of a million events stays small, opens and pans', async () => {
  const source = '        move 333334, R1\nagain:  play 1, 2, 100\n        acquire 0, 0, 100\n' +
    '        wait 250\n        loop R1, @again\n        stop\n';
  const file = report('big.s', source, 2000000);
  const size = fs.statSync(file).size;
  const { page, ms } = await open(file);
  assert.equal(await page.locator('#event-count').textContent(), '1000002 events');
  // Pan by 120 wheel steps, one per frame, and time the frames.
  const fps = await page.evaluate(async () => {
    const canvas = document.getElementById('timeline');
    document.getElementById('zoom-in').click();
    const frames = 120;
    const started = performance.now();
    for (let i = 0; i < frames; ++i) {
      canvas.dispatchEvent(new WheelEvent('wheel', { deltaY: 8, shiftKey: true, bubbles: true, cancelable: true }));
      await new Promise(requestAnimationFrame);
    }
    return frames / ((performance.now() - started) / 1000);
  });
  console.log(`# report of 1000002 events: ${(size / 1024).toFixed(0)} KiB, opened in ${ms} ms, panned at ${fps.toFixed(0)} frames/s`);
  assert.ok(size < 2 * 1024 * 1024);
  await page.close();
});
