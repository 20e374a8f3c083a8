// The playground: an editor whose every change is assembled at once (diagnostics, report,
// hex, disassembly), runs in a worker that Stop terminates, the run's timeline, events, timing
// findings and timed listing, the bundled examples and links that carry the program.
/* global createVexa */
import { EditorState } from '@codemirror/state';
import { EditorView, keymap, lineNumbers, highlightActiveLine } from '@codemirror/view';
import { defaultKeymap, history as editHistory, historyKeymap } from '@codemirror/commands';
import { StreamLanguage, syntaxHighlighting, HighlightStyle } from '@codemirror/language';
import { setDiagnostics, lintGutter } from '@codemirror/lint';
import { tags } from '@lezer/highlight';
import examples from 'virtual:examples';
import { Timeline, EventTable } from './view.js';
import { encodeProgram, decodeProgram } from './share.js';

const $ = (id) => document.getElementById(id);
const MAX_BUDGET = 2147483647;
const FILE_NAME = 'program.s';

// The assembly language's tokens: comments, labels, directives, the mnemonic, registers and
// numbers.
const vexaLanguage = StreamLanguage.define({
  startState: () => ({ mnemonicSeen: false }),
  token(stream, state) {
    if (stream.sol()) state.mnemonicSeen = false;
    if (stream.eatSpace()) return null;
    if (stream.match(/^[#;].*/)) return 'comment';
    if (stream.match(/^[A-Za-z_][\w.]*:/)) return 'labelName';
    if (stream.match(/^\.[A-Za-z_]\w*/)) return 'keyword';
    if (stream.match(/^@[A-Za-z_][\w.]*/)) return 'labelName';
    if (stream.match(/^[Rr]\d+\b/)) return 'variableName';
    if (stream.match(/^-?(0x[0-9a-fA-F]+|0b[01]+|\d+)\b/)) return 'number';
    if (stream.match(/^[A-Za-z_]\w*/)) {
      if (state.mnemonicSeen) return 'name';
      state.mnemonicSeen = true;
      return 'operatorKeyword';
    }
    stream.next();
    return null;
  },
});
const highlight = HighlightStyle.define([
  { tag: tags.comment, class: 'tok-comment' },
  { tag: tags.labelName, class: 'tok-label' },
  { tag: tags.keyword, class: 'tok-directive' },
  { tag: tags.variableName, class: 'tok-register' },
  { tag: tags.number, class: 'tok-number' },
  { tag: tags.operatorKeyword, class: 'tok-mnemonic' },
]);

let vexa = null;
let program = null;
let worker = null;
let lastAssembly = null;
const timeline = new Timeline($('timeline'));
const table = new EventTable($('events'), $('event-head'), $('event-rows'), $('spacer'), $('event-table'));

function alertText(text) {
  $('alert').textContent = text;
  $('alert').hidden = !text;
}
const status = (text) => { $('status').textContent = text; };

// A report column counts UTF-8 bytes; the editor counts UTF-16 units.
function byteColumnToIndex(text, column) {
  let bytes = 0;
  let i = 0;
  while (i < text.length && bytes < column) {
    const code = text.codePointAt(i);
    bytes += code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    i += code > 0xffff ? 2 : 1;
  }
  return i;
}

function assembleNow(view) {
  if (!program) return;
  const started = performance.now();
  const source = view.state.doc.toString();
  const result = program.assemble(source, FILE_NAME);
  lastAssembly = result;
  const doc = view.state.doc;
  const diagnostics = [];
  const list = $('diagnostics');
  list.replaceChildren();
  for (const d of result.diagnostics) {
    const li = document.createElement('li');
    const where = d.line > 0 ? FILE_NAME + ':' + d.line + (d.column >= 0 ? ':' + d.column : '') + ': ' : '';
    li.textContent = where + d.message;
    li.dataset.line = d.line;
    li.dataset.column = d.column;
    list.append(li);
    if (d.line > 0 && d.line <= doc.lines) {
      const line = doc.line(d.line);
      const from = line.from + (d.column >= 0 ? byteColumnToIndex(line.text, d.column) : 0);
      const to = d.column >= 0 ? Math.min(line.to, line.from + byteColumnToIndex(line.text, d.column + Math.max(1, d.length))) : line.to;
      diagnostics.push({ from, to: Math.max(to, from), severity: 'error', message: d.message });
    }
  }
  view.dispatch(setDiagnostics(view.state, diagnostics));
  $('report').textContent = result.report;
  $('hex').textContent = result.hex;
  $('disassembly').textContent = result.disassembly;
  $('run').disabled = !result.ok || worker !== null;
  document.body.dataset.checkMs = (performance.now() - started).toFixed(2);
  document.body.dataset.assembled = String(result.ok);
}

const editor = new EditorView({
  parent: $('editor'),
  state: EditorState.create({
    doc: '',
    extensions: [
      lineNumbers(), editHistory(), highlightActiveLine(), lintGutter(),
      keymap.of([...defaultKeymap, ...historyKeymap]),
      vexaLanguage, syntaxHighlighting(highlight),
      EditorView.updateListener.of((update) => { if (update.docChanged) assembleNow(update.view); }),
      EditorView.contentAttributes.of({ 'aria-label': 'Program source' }),
    ],
  }),
});

function setSource(text) {
  editor.dispatch({ changes: { from: 0, to: editor.state.doc.length, insert: text } });
}

// The budget as the simulator takes it, or null with a message.
function budget() {
  const text = $('budget').value.trim();
  const value = Number(text);
  if (!/^\d+$/.test(text) || value < 1 || value > MAX_BUDGET) {
    alertText('The instruction budget must be a whole number from 1 to ' + MAX_BUDGET + '.');
    return null;
  }
  return value;
}

function showRun(result) {
  const outcome = $('outcome');
  outcome.textContent = result.failed ? 'interrupted: ' + result.message : 'finished';
  outcome.className = result.failed ? 'failed' : 'ok';
  if (!result.events) return;
  const c = result.counters;
  const us = (ticks, mhz) => (mhz > 0 ? (ticks / mhz).toFixed(3) : '0.000');
  const rows = [['Instructions', c.instructions], ['Classical cycles', c.classicalTicks],
    ['Classical time (us)', us(c.classicalTicks, c.classicalClockMHz)], ['Real-time cycles', c.realtimeTicks],
    ['Real time (us)', us(c.realtimeTicks, c.realtimeClockMHz)], ['Real-time events', result.events.count]];
  $('counters').replaceChildren(...rows.flatMap(([name, value]) => {
    const dt = document.createElement('dt');
    dt.textContent = name;
    const dd = document.createElement('dd');
    dd.textContent = String(value);
    return [dt, dd];
  }));
  showFindings(result);
  const e = result.events;
  $('event-count').textContent = e.count + ' events' + (e.kept < e.count ? ' (the first ' + e.kept + ' shown)' : '');
  $('listing').textContent = result.listing;
  timeline.show(e);
  table.show(e);
}

// The run's timing findings, one line each, as text.
function showFindings(result) {
  const findings = result.findings || [];
  $('findings').replaceChildren(...findings.map((f) => {
    const item = document.createElement('li');
    item.textContent = f.time_ns + ' ns, address ' + f.address + ': ' + f.kind + ': ' + f.message;
    return item;
  }));
  const count = result.findingsCount;
  $('finding-count').textContent = !result.findings ? 'not checked'
    : count === 0 ? 'none'
      : count + (findings.length < count ? ' (the first ' + findings.length + ' shown)' : '');
}

function endRun(text) {
  if (worker) worker.terminate();
  worker = null;
  $('stop').disabled = true;
  $('run').disabled = !(lastAssembly && lastAssembly.ok);
  status(text);
}

function run() {
  const limit = budget();
  if (limit === null) return;
  alertText('');
  worker = new Worker('worker.js');
  $('run').disabled = true;
  $('stop').disabled = false;
  status('Running…');
  const started = performance.now();
  worker.onmessage = ({ data }) => {
    showRun(data);
    endRun('Ran in ' + Math.round(performance.now() - started) + ' ms');
  };
  worker.onerror = (e) => {
    e.preventDefault();
    alertText('The run failed: ' + (e.message || 'the worker stopped'));
    endRun('Failed');
  };
  worker.postMessage({ source: editor.state.doc.toString(), name: FILE_NAME, budget: limit, checkTiming: $('check-timing').checked });
}

async function share() {
  try {
    const fragment = await encodeProgram(editor.state.doc.toString());
    history.replaceState(null, '', '#' + fragment);
    $('share-link').value = location.href;
    $('share-box').hidden = false;
    $('share-link').select();
    if (navigator.clipboard) await navigator.clipboard.writeText(location.href).catch(() => {});
    status('Link ready');
  } catch (error) {
    alertText('The link could not be made: ' + error.message);
  }
}

async function openFragment() {
  const fragment = location.hash.slice(1);
  if (!fragment) return false;
  try {
    setSource(await decodeProgram(fragment));
    return true;
  } catch (error) {
    alertText('The shared link could not be opened: ' + error.message + '. The editor holds the first example instead.');
    return false;
  }
}

async function start() {
  for (const [index, example] of examples.entries()) {
    const option = document.createElement('option');
    option.value = String(index);
    option.textContent = example.name;
    $('examples').append(option);
  }
  $('examples').onchange = () => setSource(examples[Number($('examples').value)].source);
  $('run').onclick = run;
  $('stop').onclick = () => endRun('Stopped');
  $('share').onclick = share;
  $('zoom-in').onclick = () => timeline.zoom(0.5);
  $('zoom-out').onclick = () => timeline.zoom(2);
  $('zoom-fit').onclick = () => timeline.fit();
  window.addEventListener('hashchange', openFragment);
  vexa = await createVexa();
  program = new vexa.Program();
  if (!(await openFragment())) setSource(examples[0] ? examples[0].source : '');
  timeline.redraw();
  status('Ready');
  document.body.dataset.ready = 'true';
  performance.mark('vexa-interactive');
}

start().catch((error) => {
  alertText('The playground could not start: ' + error.message);
  status('Failed');
});
