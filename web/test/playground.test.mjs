// The playground in Chromium: diagnostics at the report's line and column, hex equal to
// vexasm's, as many events as vexasim's, timing findings, a run that Stop ends, shared links
// good and bad, and hostile text shown as text.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { launch, serve, tools, docs, root } from './browser.mjs';

let browser;
let server;
let page;
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'vexa-web-'));

before(async () => {
  server = await serve();
  browser = await launch();
  page = await browser.context.newPage();
});
after(async () => {
  await browser.close();
  server.close();
  fs.rmSync(work, { recursive: true, force: true });
});

async function open(fragment = '') {
  await page.goto(server.url + fragment);
  await page.waitForSelector('body[data-ready=true]');
}

// Replaces the editor's text as a paste does (typing thousands of lines takes minutes).
async function setSource(text) {
  await page.locator('.cm-content').click();
  await page.keyboard.press('Control+A');
  await page.locator('.cm-content').evaluate((content, value) => {
    const data = new DataTransfer();
    data.setData('text/plain', value);
    content.dispatchEvent(new ClipboardEvent('paste', { clipboardData: data, bubbles: true, cancelable: true }));
  }, text);
}

// The editor's text, line by line as it shows it.
const editorText = (p) => p.locator('.cm-line').evaluateAll((lines) => lines.map((line) => line.textContent).join('\n'));

// The number of events vexasim writes to a CSV file for `source`.
function nativeEvents(source, budget = 1000000) {
  fs.writeFileSync(path.join(work, 'p.s'), source);
  execFileSync(path.join(tools, 'vexasim'), ['-l', 'quiet', '-m', String(budget), '--events', 'e.csv', 'p.s'], { cwd: work });
  return fs.readFileSync(path.join(work, 'e.csv'), 'utf8').trim().split('\n').length - 1;
}

test('a typed error shows at its line and column; fixed, the hex is vexasm\'s', async () => {
  await open();
  await page.locator('.cm-content').click();
  await page.keyboard.press('Control+A');
  await page.keyboard.press('Delete');
  // A new line keeps the indentation of the line before it.
  await page.keyboard.type('        move 10, R1\nnop x\nstop\n');
  const item = page.locator('#diagnostics li').first();
  await item.waitFor();
  assert.equal(await item.getAttribute('data-line'), '2');
  assert.equal(await item.getAttribute('data-column'), '12');
  assert.match(await item.textContent(), /^program\.s:2:12: Syntax error/);
  assert.match(await page.locator('#report').textContent(), /program\.s:2:12: .*\n        nop x\n------------\^/);
  // The underline covers the "x".
  assert.equal(await page.locator('.cm-lintRange-error').textContent(), 'x');
  await page.screenshot({ path: path.join(work, 'error.png') });

  await page.keyboard.press('Control+Home');
  await page.keyboard.press('ArrowDown');
  await page.keyboard.press('End');
  await page.keyboard.press('Backspace');
  await page.keyboard.press('Backspace');
  await page.waitForFunction(() => document.body.dataset.assembled === 'true');
  assert.equal(await page.locator('#diagnostics li').count(), 0);
  fs.writeFileSync(path.join(work, 'fixed.s'), '        move 10, R1\n        nop\n        stop\n');
  execFileSync(path.join(tools, 'vexasm'), ['-l', 'quiet', 'fixed.s'], { cwd: work });
  assert.equal(await page.locator('#hex').textContent(), fs.readFileSync(path.join(work, 'fixed.hex'), 'utf8'));
});

test('a run shows as many events as vexasim writes, with the timed listing', async () => {
  await open();
  const source = fs.readFileSync(path.join(root, 'examples/pulse_sequence.s'), 'utf8');
  await page.locator('#examples').selectOption({ label: 'pulse_sequence.s' });
  await page.getByRole('button', { name: 'Run' }).click();
  await page.waitForFunction(() => document.getElementById('outcome').textContent === 'finished');
  assert.equal(await page.locator('#event-count').textContent(), nativeEvents(source) + ' events');
  assert.match(await page.locator('#listing').textContent(), /^address +count +first_tick/);
  assert.ok(await page.locator('#event-rows tr:not([hidden])').count() > 0);
  await page.screenshot({ path: path.join(docs, 'web_playground.png') });
});

test('a run lists its timing findings unless Check timing is off', async () => {
  await open();
  await setSource('        acquire 0, 0, 8\n        acquire 0, 1, 8\n        stop\n');
  await page.waitForFunction(() => document.body.dataset.assembled === 'true');
  await page.getByRole('button', { name: 'Run' }).click();
  await page.waitForFunction(() => document.getElementById('outcome').textContent === 'finished');
  assert.deepEqual(await page.locator('#findings li').allTextContents(), ['8 ns, address 1: ' +
    'acquisition_overlap: window starts at 8 ns, before the window of the acquisition at 0 ns ends at 1000 ns']);
  assert.equal(await page.locator('#finding-count').textContent(), '1');

  await page.getByLabel('Check timing').uncheck();
  await page.getByRole('button', { name: 'Run' }).click();
  await page.waitForFunction(() => document.getElementById('finding-count').textContent === 'not checked');
  assert.equal(await page.locator('#findings li').count(), 0);
});

test('Stop ends an endless loop and the page stays responsive', async () => {
  await open();
  await setSource('forever: jmp @forever\n');
  await page.locator('#budget').fill('2147483647');
  await page.waitForFunction(() => document.body.dataset.assembled === 'true');
  await page.getByRole('button', { name: 'Run' }).click();
  await page.waitForFunction(() => document.getElementById('status').textContent === 'Running…');
  await page.waitForTimeout(300);
  assert.equal(await page.evaluate(() => 1 + 1), 2); // the page answers during the run
  await page.getByRole('button', { name: 'Stop' }).click();
  assert.equal(await page.locator('#status').textContent(), 'Stopped');
  assert.equal(await page.getByRole('button', { name: 'Run' }).isEnabled(), true);

  await page.locator('#budget').fill('2147483648');
  await page.getByRole('button', { name: 'Run' }).click();
  assert.match(await page.locator('#alert').textContent(), /from 1 to 2147483647/);
});

test('a shared link opens the same program; a damaged one says so', async () => {
  await open();
  const program = '# shared «ü»\n        set_mrk 3\n        stop\n';
  await setSource(program);
  await page.getByRole('button', { name: 'Share' }).click();
  await page.waitForFunction(() => document.getElementById('share-link').value.includes('#v1.'));
  const link = await page.locator('#share-link').inputValue();
  const fragment = link.slice(link.indexOf('#'));

  const other = await browser.context.newPage();
  await other.goto(server.url + fragment);
  await other.waitForSelector('body[data-ready=true]');
  assert.equal(await editorText(other), program);
  assert.equal(await other.locator('#alert').isHidden(), true);

  const [tag, crc, data] = fragment.slice(1).split('.');
  const flipped = (data[5] === 'A' ? 'B' : 'A');
  const cases = [
    ['truncated', `#${tag}.${crc}.${data.slice(0, data.length - 4)}`],
    ['corrupt', `#${tag}.${crc}.${data.slice(0, 5)}${flipped}${data.slice(6)}`],
    ['wrong checksum', `#${tag}.00000000.${data}`],
    ['not base64url', `#${tag}.${crc}.<img src=x onerror=alert(1)>`],
    ['unknown version', `#v9.${crc}.${data}`],
    ['empty', '#v1..'],
  ];
  for (const [name, bad] of cases) {
    await other.goto('about:blank');
    await other.goto(server.url + bad);
    await other.waitForSelector('body[data-ready=true]');
    const alert = await other.locator('#alert').textContent();
    assert.match(alert, /^The shared link could not be opened: /, name);
    assert.notEqual(await editorText(other), program, name);
    assert.equal(await other.locator('img').count(), 0, name);
  }
  await other.close();
});

test('hostile text in the program is shown as text and runs nothing', async () => {
  await open();
  await page.evaluate(() => { window.hostileRan = false; });
  await setSource('# <img src=x onerror="window.hostileRan=true"></script><script>window.hostileRan=true</script>\n        nop <b>x</b>\n        stop\n');
  await page.locator('#diagnostics li').first().waitFor();
  assert.match(await page.locator('#report').textContent(), /nop <b>x<\/b>/);
  assert.equal(await page.locator('#report b, #diagnostics b, img').count(), 0);
  assert.equal(await page.evaluate(() => window.hostileRan), false);
  assert.deepEqual(browser.foreign, []);
});

test('diagnostics follow a keystroke quickly on a 4096-line program', async () => {
  await open();
  const lines = [];
  for (let i = 0; i < 4095; ++i) lines.push(i % 4 === 0 ? `l${i}:     move ${i}, R1` : '        nop');
  lines.push('        stop');
  await setSource(lines.join('\n') + '\n');
  await page.waitForFunction(() => document.body.dataset.assembled === 'true');
  const times = [];
  for (let i = 0; i < 5; ++i) {
    await page.keyboard.press('Control+End');
    await page.keyboard.type('x');
    await page.waitForFunction(() => document.body.dataset.assembled === 'false');
    times.push(Number(await page.evaluate(() => document.body.dataset.checkMs)));
    await page.keyboard.press('Backspace');
    await page.waitForFunction(() => document.body.dataset.assembled === 'true');
  }
  console.log('# diagnostics after a keystroke on 4096 lines: ' + times.join(', ') + ' ms');
});
