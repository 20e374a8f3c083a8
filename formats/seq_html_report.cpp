#include "formats/seq_html_report.h"

#include "base/utils/FileOutput.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

// The page's style and script. They are constant texts, allowed by the policy through their
// SHA-256 hashes; the data they show comes from the JSON element "vexa-data".
constexpr std::string_view kStyle = R"CSS(
body{font:14px system-ui,sans-serif;margin:0 16px 24px;color:#222}
h1{font-size:20px;margin:14px 0 4px}h2{font-size:16px;margin:18px 0 6px}
.muted{color:#666}.failed{color:#b00020;font-weight:600}.ok{color:#1b5e20;font-weight:600}
dl{display:grid;grid-template-columns:max-content auto;gap:2px 14px;margin:0}dd{margin:0}
pre{background:#f7f7f7;border:1px solid #ddd;padding:8px;overflow:auto;max-height:420px;margin:0}
#timeline{width:100%;height:190px;border:1px solid #ddd;cursor:grab;touch-action:none;display:block}
.bar{display:flex;gap:8px;align-items:center;margin:4px 0}
#events{height:360px;overflow:auto;position:relative;border:1px solid #ddd}
#events table{position:absolute;top:0;left:0;border-collapse:collapse;font:12px ui-monospace,monospace}
#events td,#events th{padding:0 8px;height:20px;white-space:nowrap;text-align:right}
#events th{position:sticky;top:0;background:#eee}
#events tr.sel td{background:#ffe9a8}
)CSS";

constexpr std::string_view kScript = R"JS(
'use strict';
(async () => {
const $ = (id) => document.getElementById(id);
const data = JSON.parse($('vexa-data').textContent);
const say = (id, text) => { $(id).textContent = text; };
document.title = 'vexasim report: ' + data.title;
say('title', data.title);
const o = data.outcome;
say('outcome', o.failed ? 'Simulation interrupted: ' + o.message : 'Simulation finished');
$('outcome').className = o.failed ? 'failed' : 'ok';
const counters = [['Instructions', o.instructions], ['Classical cycles', o.classicalTicks],
  ['Classical time (us)', o.classicalUs], ['Real-time cycles', o.realtimeTicks],
  ['Real time (us)', o.realtimeUs], ['Real-time events', data.count]];
for (const [name, value] of counters) {
  const dt = document.createElement('dt'); dt.textContent = name;
  const dd = document.createElement('dd'); dd.textContent = String(value);
  $('counters').append(dt, dd);
}
say('listing', data.listing);

// The columns: base64 of deflated little-endian arrays, deltas for the integers.
async function inflate(b64) {
  const bin = atob(b64), bytes = new Uint8Array(bin.length);
  for (let i = 0; i < bin.length; ++i) bytes[i] = bin.charCodeAt(i);
  const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate'));
  return new Response(stream).arrayBuffer();
}
const n = data.count, col = {};
await Promise.all(data.columns.map(async (c) => {
  const buf = n ? await inflate(c.data) : new ArrayBuffer(0);
  let a;
  if (c.type === 'f64') a = new Float64Array(buf);
  else if (c.type === 'u8') a = new Uint8Array(buf);
  else if (c.type === 'u16') a = new Uint16Array(buf);
  else { a = new Int32Array(buf); for (let i = 1; i < a.length; ++i) a[i] = (a[i - 1] + a[i]) | 0; }
  if (a.length !== n) throw new Error('column ' + c.name + ' is damaged');
  col[c.name] = a;
}));
const dur = col.duration_ns, time = col.time_ns; // time_ns holds gaps until here
for (let i = 0, end = 0; i < n; ++i) { time[i] += end; end = time[i] + dur[i]; }
const mn = data.mnemonics, mnem = (i) => mn[col.mnemonic[i]];
const endTime = n ? Math.max(1, time[n - 1] + dur[n - 1]) : 1;

// Lanes as in the SVG timeline: both paths for a play, acquisitions, waits and updates.
const LANES = ['path 0', 'path 1', 'acquisition', 'wait / update'];
const WAVE = ['#4e79a7', '#59a14f', '#b07aa1', '#76b7b2', '#9c755f', '#edc948', '#ff9da7', '#86bcb6'];
const ACQ = ['#f28e2b', '#e15759', '#d37295', '#ffbe7d'];
const plays = [], acqs = [], others = [];
for (let i = 0; i < n; ++i) (col.play_valid[i] ? plays : col.acquire_valid[i] ? acqs : others).push(i);
const laneIdx = [Uint32Array.from(plays), null, Uint32Array.from(acqs), Uint32Array.from(others)];
laneIdx[1] = laneIdx[0];
const pal = (p, v) => p[((v % p.length) + p.length) % p.length];
function style(lane, i) {
  if (lane < 2) { const w = col['wave_idx' + lane][i]; return [pal(WAVE, w), 'w' + w]; }
  if (lane === 2) return [pal(ACQ, col.acq_idx[i]), 'a' + col.acq_idx[i] + ':b' + col.bin_idx[i]];
  const m = mnem(i); return [m.startsWith('wait') ? '#bab0ac' : '#8c8fd6', m];
}
function firstFrom(idx, t) { // first k with time[idx[k]] >= t
  let lo = 0, hi = idx.length;
  while (lo < hi) { const mid = (lo + hi) >> 1; if (time[idx[mid]] < t) lo = mid + 1; else hi = mid; }
  return lo;
}

const cv = $('timeline'), ctx = cv.getContext('2d');
const LEFT = 100, TOP = 8, LH = 30, GAP = 6;
let t0 = 0, t1 = endTime, pending = false, selected = -1;
// The plot's width, read from the layout once and again after a resize.
let PW = null;
const plotW = () => PW ?? (PW = Math.max(10, cv.clientWidth - LEFT - 10));
const X = (t) => LEFT + (t - t0) * plotW() / (t1 - t0);
const T = (x) => t0 + (x - LEFT) * (t1 - t0) / plotW();
function draw() {
  pending = false;
  const dpr = window.devicePixelRatio || 1, W = cv.clientWidth, H = cv.clientHeight;
  if (cv.width !== Math.round(W * dpr) || cv.height !== Math.round(H * dpr)) {
    cv.width = Math.round(W * dpr); cv.height = Math.round(H * dpr);
  }
  ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
  ctx.clearRect(0, 0, W, H);
  ctx.font = '10px sans-serif'; ctx.textBaseline = 'middle';
  for (let lane = 0; lane < 4; ++lane) {
    const y = TOP + lane * (LH + GAP);
    ctx.fillStyle = '#f4f4f4'; ctx.fillRect(LEFT, y, plotW(), LH);
    ctx.fillStyle = '#222'; ctx.textAlign = 'right'; ctx.fillText(LANES[lane], LEFT - 8, y + LH / 2);
    ctx.save(); ctx.beginPath(); ctx.rect(LEFT, y, plotW(), LH); ctx.clip();
    ctx.textAlign = 'center';
    const idx = laneIdx[lane];
    let k = Math.max(0, firstFrom(idx, t0) - 1);
    while (k < idx.length) {
      const i = idx[k], x0 = X(time[i]);
      if (x0 > LEFT + plotW()) break;
      const w = Math.max(1, X(time[i] + dur[i]) - x0);
      const [fill, label] = style(lane, i);
      ctx.fillStyle = i === selected ? '#000' : fill; ctx.fillRect(x0, y, w, LH);
      if (w > label.length * 6.2 + 4) { ctx.fillStyle = '#000'; ctx.fillText(label, x0 + w / 2, y + LH / 2); }
      // Events that start within the same pixel are covered by this one.
      const next = Math.floor(x0) + 1;
      k = k + 1 < idx.length && X(time[idx[k + 1]]) < next ? Math.max(k + 1, firstFrom(idx, T(next))) : k + 1;
    }
    ctx.restore();
  }
  const axisY = TOP + 4 * (LH + GAP);
  const span = t1 - t0, raw = span / 8, p = Math.pow(10, Math.floor(Math.log10(raw)));
  const step = [1, 2, 5, 10].map((m) => m * p).find((s) => s >= raw);
  ctx.fillStyle = '#444'; ctx.textAlign = 'center'; ctx.textBaseline = 'top';
  for (let t = Math.ceil(t0 / step) * step; t <= t1; t += step) {
    const x = X(t); ctx.fillRect(x, axisY, 1, 5);
    ctx.fillText(Number(t.toPrecision(12)) + ' ns', x, axisY + 7);
  }
}
const redraw = () => { if (!pending) { pending = true; requestAnimationFrame(draw); } };
function setView(a, b) {
  const span = Math.min(endTime, Math.max(b - a, 1e-3));
  a = Math.min(Math.max(a, 0), endTime - span);
  t0 = a; t1 = a + span; redraw();
}
cv.addEventListener('wheel', (e) => {
  e.preventDefault();
  if (e.shiftKey || Math.abs(e.deltaX) > Math.abs(e.deltaY)) {
    const d = (e.shiftKey ? e.deltaY : e.deltaX) * (t1 - t0) / plotW();
    setView(t0 + d, t1 + d);
  } else {
    const f = Math.pow(1.0015, e.deltaY), at = T(e.offsetX);
    setView(at - (at - t0) * f, at + (t1 - at) * f);
  }
}, { passive: false });
let drag = null;
cv.addEventListener('pointerdown', (e) => { drag = { x: e.clientX, a: t0, b: t1, moved: false }; cv.setPointerCapture(e.pointerId); });
cv.addEventListener('pointermove', (e) => {
  if (!drag) return;
  const d = (drag.x - e.clientX) * (drag.b - drag.a) / plotW();
  if (Math.abs(drag.x - e.clientX) > 2) drag.moved = true;
  setView(drag.a + d, drag.b + d);
});
cv.addEventListener('pointerup', (e) => {
  const click = drag && !drag.moved; drag = null;
  if (!click) return;
  const lane = Math.floor((e.offsetY - TOP) / (LH + GAP));
  if (lane < 0 || lane > 3) return;
  const idx = laneIdx[lane], k = firstFrom(idx, T(e.offsetX) + 1e-9) - 1;
  if (k >= 0) select(idx[k], true);
});
const zoom = (f) => { const c = (t0 + t1) / 2, h = (t1 - t0) * f / 2; setView(c - h, c + h); };
$('zoom-in').onclick = () => zoom(0.5);
$('zoom-out').onclick = () => zoom(2);
$('zoom-fit').onclick = () => setView(0, endTime);
window.addEventListener('resize', () => { PW = null; redraw(); });

// The event table: only the rows in view are in the document.
const ROW = 20, MAXH = 1.5e7, box = $('events'), body = $('event-rows');
const NAMES = ['#', 'time_ns', 'duration_ns', 'address', 'mnemonic', 'wave', 'acq:bin', 'weight',
  'awg_gain', 'awg_offs', 'phase c/f/u', 'phase delta', 'mrk'];
const head = document.createElement('tr');
for (const name of NAMES) { const th = document.createElement('th'); th.textContent = name; head.append(th); }
$('event-head').append(head);
$('spacer').style.height = (Math.min(n * ROW, MAXH) + ROW) + 'px';
say('event-count', n + ' events');
function cells(i) {
  const c = col, pair = (a, b) => a[i] + '/' + b[i];
  return [i, time[i], dur[i], c.address[i], mnem(i), c.play_valid[i] ? pair(c.wave_idx0, c.wave_idx1) : '',
    c.acquire_valid[i] ? c.acq_idx[i] + ':' + c.bin_idx[i] : '', pair(c.weight_idx0, c.weight_idx1),
    pair(c.awg_gain0, c.awg_gain1), pair(c.awg_offs0, c.awg_offs1),
    c.ph_coarse[i] + '/' + c.ph_fine[i] + '/' + c.ph_ufine[i],
    c.ph_delta_coarse[i] + '/' + c.ph_delta_fine[i] + '/' + c.ph_delta_ufine[i], c.mrk[i]];
}
const pool = [];
function firstRow() {
  const visible = Math.ceil(box.clientHeight / ROW);
  if (n * ROW <= MAXH) return Math.floor(box.scrollTop / ROW);
  const f = box.scrollTop / Math.max(1, box.scrollHeight - box.clientHeight);
  return Math.floor(f * Math.max(0, n - visible + 1));
}
function rows() {
  const first = Math.min(firstRow(), Math.max(0, n - 1)), count = Math.min(n - first, Math.ceil(box.clientHeight / ROW) + 1);
  $('event-table').style.top = box.scrollTop + 'px';
  while (pool.length < count) {
    const tr = document.createElement('tr');
    for (let j = 0; j < NAMES.length; ++j) tr.append(document.createElement('td'));
    pool.push(tr); body.append(tr);
  }
  pool.forEach((tr, r) => {
    tr.hidden = r >= count;
    if (r >= count) return;
    const i = first + r, v = cells(i);
    tr.className = i === selected ? 'sel' : '';
    for (let j = 0; j < v.length; ++j) tr.children[j].textContent = String(v[j]);
  });
}
box.addEventListener('scroll', rows);
function select(i, scroll) {
  selected = i;
  const e = cells(i);
  say('selection', 'event ' + e[0] + ': ' + e[4] + ' at ' + e[1] + ' ns for ' + e[2] + ' ns (address ' + e[3] + ')');
  if (scroll) {
    box.scrollTop = n * ROW <= MAXH ? i * ROW : i / n * (box.scrollHeight - box.clientHeight);
  }
  rows(); redraw();
}
box.addEventListener('click', (e) => {
  const tr = e.target.closest('tr'), r = pool.indexOf(tr);
  if (r < 0) return;
  const i = Number(tr.children[0].textContent);
  select(i, false);
  const h = Math.max(t1 - t0, dur[i] * 4);
  setView(time[i] + dur[i] / 2 - h / 2, time[i] + dur[i] / 2 + h / 2);
});
rows(); draw();
document.body.dataset.ready = 'true';
})().catch((error) => {
  const p = document.getElementById('error');
  p.textContent = 'This report could not be shown: ' + error.message;
  p.hidden = false;
});
)JS";

constexpr std::string_view kBodyTop = R"HTML(</head>
<body>
<h1 id="title"></h1>
<p class="muted">vexasim report</p>
<p id="error" class="failed" hidden></p>
<p id="outcome"></p>
<h2>Counters</h2>
<dl id="counters"></dl>
<h2>Timeline</h2>
<div class="bar"><button id="zoom-in" type="button">Zoom in</button><button id="zoom-out" type="button">Zoom out</button><button id="zoom-fit" type="button">Fit</button><span class="muted">Wheel zooms, drag or shift+wheel pans, a click selects an event.</span></div>
<canvas id="timeline" aria-label="Timeline of the real-time events"></canvas>
<p id="selection" class="muted"></p>
)HTML";

constexpr std::string_view kBodyRest =
    R"HTML(<h2>Events <span id="event-count" class="muted"></span></h2>
<div id="events" tabindex="0" aria-label="Real-time events"><div id="spacer"></div><table id="event-table"><thead id="event-head"></thead><tbody id="event-rows"></tbody></table></div>
<h2>Timed listing</h2>
<pre id="listing"></pre>
)HTML";

// The part of the page a run with the signal layer adds: its findings and a window of its
// output. It has a style, a script and a JSON element of its own, "vexa-signals".
constexpr std::string_view kSignalStyle = R"CSS(
#findings{max-height:300px;overflow:auto;border:1px solid #ddd}
#findings table{border-collapse:collapse;font:12px ui-monospace,monospace}
#findings td,#findings th{padding:0 8px;height:20px;white-space:nowrap;text-align:left}
#findings th{position:sticky;top:0;background:#eee}
#signals{width:100%;height:260px;border:1px solid #ddd;display:block}
)CSS";

constexpr std::string_view kSignalBody =
    R"HTML(<h2>Findings <span id="finding-count" class="muted"></span></h2>
<div id="findings" aria-label="Timing findings"><table><thead><tr><th>time_ns</th><th>address</th><th>line</th><th>kind</th><th>message</th></tr></thead><tbody id="finding-rows"></tbody></table></div>
<h2>Signals <span id="signal-window" class="muted"></span></h2>
<canvas id="signals" aria-label="Both output paths and the markers"></canvas>
)HTML";

constexpr std::string_view kSignalScript = R"JS(
'use strict';
(async () => {
const $ = (id) => document.getElementById(id);
const s = JSON.parse($('vexa-signals').textContent);
const f = s.findings;
$('finding-count').textContent = f.total === f.rows.length ? f.total + ' findings'
  : 'the first ' + f.rows.length + ' of ' + f.total + ' findings';
const rows = $('finding-rows');
for (const row of f.rows) {
  const tr = document.createElement('tr');
  for (const value of row) { const td = document.createElement('td'); td.textContent = String(value); tr.append(td); }
  rows.append(tr);
}
const w = s.window, cv = $('signals');
if (!w) { cv.hidden = true; $('signal-window').textContent = 'no waveforms'; document.body.dataset.signals = 'ready'; return; }
async function inflate(b64) {
  const bin = atob(b64), bytes = new Uint8Array(bin.length);
  for (let i = 0; i < bin.length; ++i) bytes[i] = bin.charCodeAt(i);
  const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate'));
  return new Response(stream).arrayBuffer();
}
const n = w.columns;
const column = async (b64, Type) => {
  const a = new Type(n ? await inflate(b64) : new ArrayBuffer(0));
  if (a.length !== n) throw new Error('the signal window is damaged');
  return a;
};
const low = [await column(w.low0, Float32Array), await column(w.low1, Float32Array)];
const high = w.step > 1 ? [await column(w.high0, Float32Array), await column(w.high1, Float32Array)] : low;
const mrk = await column(w.markers, Uint8Array);
const stop = w.start + n * w.step;
$('signal-window').textContent = w.start + ' to ' + stop + ' ns' + (w.step > 1 ? ', ' + w.step + ' ns a column' : '');
const ctx = cv.getContext('2d'), LEFT = 100, TOP = 8, PH = 80, MH = 11, GAP = 6;
function draw() {
  const dpr = window.devicePixelRatio || 1, W = cv.clientWidth, H = cv.clientHeight;
  cv.width = Math.round(W * dpr); cv.height = Math.round(H * dpr);
  ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
  ctx.clearRect(0, 0, W, H);
  ctx.font = '10px sans-serif'; ctx.textBaseline = 'middle';
  const PW = Math.max(10, W - LEFT - 10), first = (px) => Math.floor(px * n / PW);
  const label = (text, y) => { ctx.fillStyle = '#222'; ctx.textAlign = 'right'; ctx.fillText(text, LEFT - 8, y); };
  for (let p = 0; p < 2; ++p) {
    const y0 = TOP + p * (PH + GAP), Y = (v) => y0 + (1 - Math.max(-1, Math.min(1, v))) * PH / 2;
    ctx.fillStyle = '#f4f4f4'; ctx.fillRect(LEFT, y0, PW, PH);
    ctx.fillStyle = '#ccc'; ctx.fillRect(LEFT, y0 + PH / 2, PW, 1);
    label('path ' + p, y0 + PH / 2);
    ctx.fillStyle = p ? '#59a14f' : '#4e79a7';
    for (let px = 0; px < PW; ++px) {
      const a = first(px), b = Math.max(a + 1, first(px + 1));
      if (a >= n) break;
      let lo = Infinity, hi = -Infinity;
      for (let i = a; i < b && i < n; ++i) { lo = Math.min(lo, low[p][i]); hi = Math.max(hi, high[p][i]); }
      const top = Y(hi);
      ctx.fillRect(LEFT + px, top, 1, Math.max(1, Y(lo) - top));
    }
  }
  const my = TOP + 2 * (PH + GAP);
  for (let bit = 0; bit < 4; ++bit) {
    const y = my + bit * (MH + 2);
    ctx.fillStyle = '#f4f4f4'; ctx.fillRect(LEFT, y, PW, MH);
    label('marker ' + bit, y + MH / 2);
    ctx.fillStyle = '#e15759';
    for (let px = 0; px < PW; ++px) {
      const a = first(px), b = Math.max(a + 1, first(px + 1));
      if (a >= n) break;
      let on = 0;
      for (let i = a; i < b && i < n; ++i) on |= mrk[i];
      if (on >> bit & 1) ctx.fillRect(LEFT + px, y, 1, MH);
    }
  }
  const axisY = my + 4 * (MH + 2) + 2, span = stop - w.start;
  const raw = span / 8, q = Math.pow(10, Math.floor(Math.log10(raw)));
  const step = [1, 2, 5, 10].map((m) => m * q).find((v) => v >= raw);
  ctx.fillStyle = '#444'; ctx.textAlign = 'center'; ctx.textBaseline = 'top';
  for (let t = Math.ceil(w.start / step) * step; t <= stop; t += step) {
    const x = LEFT + (t - w.start) * PW / span; ctx.fillRect(x, axisY, 1, 5);
    ctx.fillText(t + ' ns', x, axisY + 7);
  }
}
draw();
window.addEventListener('resize', draw);
document.body.dataset.signals = 'ready';
})().catch((error) => {
  const p = document.getElementById('error');
  p.textContent = 'The signals of this report could not be shown: ' + error.message;
  p.hidden = false;
});
)JS";

// SHA-256 of a text, for the hashes in the policy.
std::array<uint8_t, 32> sha256(std::string_view text) {
    static constexpr uint32_t k[64] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
        0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
        0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
        0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
        0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
        0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
        0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
        0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
        0xc67178f2};
    uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                     0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::string message(text);
    const uint64_t bits = static_cast<uint64_t>(text.size()) * 8;
    message += '\x80';
    while (message.size() % 64 != 56)
        message += '\0';
    for (int shift = 56; shift >= 0; shift -= 8)
        message += static_cast<char>(bits >> shift);
    const auto rotr = [](uint32_t x, int n) { return x >> n | x << (32 - n); };
    for (size_t block = 0; block < message.size(); block += 64) {
        uint32_t w[64];
        for (int i = 0; i < 16; ++i) {
            w[i] = 0;
            for (int j = 0; j < 4; ++j)
                w[i] = w[i] << 8 | static_cast<uint8_t>(message[block + 4 * i + j]);
        }
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ w[i - 15] >> 3;
            const uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ w[i - 2] >> 10;
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a[8];
        std::memcpy(a, h, sizeof a);
        for (int i = 0; i < 64; ++i) {
            const uint32_t s1 = rotr(a[4], 6) ^ rotr(a[4], 11) ^ rotr(a[4], 25);
            const uint32_t ch = (a[4] & a[5]) ^ (~a[4] & a[6]);
            const uint32_t t1 = a[7] + s1 + ch + k[i] + w[i];
            const uint32_t s0 = rotr(a[0], 2) ^ rotr(a[0], 13) ^ rotr(a[0], 22);
            const uint32_t maj = (a[0] & a[1]) ^ (a[0] & a[2]) ^ (a[1] & a[2]);
            std::memmove(a + 1, a, 7 * sizeof(uint32_t));
            a[4] += t1;
            a[0] = t1 + s0 + maj;
        }
        for (int i = 0; i < 8; ++i)
            h[i] += a[i];
    }
    std::array<uint8_t, 32> digest{};
    for (int i = 0; i < 32; ++i)
        digest[static_cast<size_t>(i)] = static_cast<uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
    return digest;
}

void appendBase64(TextOutput& out, std::string_view bytes) {
    static constexpr char digits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16 |
                           static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8 |
                           static_cast<uint8_t>(bytes[i + 2]);
        char* p = out.room(4);
        p[0] = digits[v >> 18], p[1] = digits[v >> 12 & 63], p[2] = digits[v >> 6 & 63],
        p[3] = digits[v & 63];
        out.advance(4);
    }
    if (const size_t rest = bytes.size() - i; rest > 0) {
        uint32_t v = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16;
        if (rest == 2)
            v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8;
        out.append(digits[v >> 18]);
        out.append(digits[v >> 12 & 63]);
        out.append(rest == 2 ? digits[v >> 6 & 63] : '=');
        out.append('=');
    }
}

std::string base64(std::string_view bytes) {
    StringOutput out;
    appendBase64(out, bytes);
    return std::string(out.text());
}

// A JSON string whose text can stand inside a script element: '<', '>' and '&' are escaped,
// so that no "</script>" or "<!--" can end or change the element.
void appendJsonString(TextOutput& out, std::string_view text) {
    out.append('"');
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.append('\\');
            out.append(c);
        } else if (c == '\n') {
            out.append("\\n");
        } else if (u < 0x20 || c == '<' || c == '>' || c == '&') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out.append(escaped);
        } else {
            out.append(c);
        }
    }
    out.append('"');
}

void appendNumber(TextOutput& out, uint64_t value) {
    out.append(std::to_string(value));
}

// The bytes of `values`, little-endian, deflated at once.
template <typename T> std::string deflated(const std::vector<T>& values) {
    std::string bytes(values.size() * sizeof(T), '\0');
    for (size_t i = 0; i < values.size(); ++i) {
        uint64_t bits = 0;
        std::memcpy(&bits, &values[i], sizeof(T));
        for (size_t j = 0; j < sizeof(T); ++j)
            bytes[i * sizeof(T) + j] = static_cast<char>(bits >> (8 * j));
    }
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::string packed(size, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
              reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()),
              Z_BEST_COMPRESSION);
    packed.resize(size);
    return packed;
}

std::string microseconds(uint64_t ticks, double clockMHz) {
    if (clockMHz <= 0.0)
        return "0.000";
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(ticks) / clockMHz);
    return text;
}

} // namespace

// One column of the events: fixed-size little-endian values, deflated as they come.
class seq_html_report::Column {
public:
    enum Type { F64, I32_DELTA, U8, U16 };

    Column(const char* name, Type type) : m_name(name), m_type(type) { reset(); }
    ~Column() { deflateEnd(&m_stream); }
    Column(const Column&) = delete;
    Column& operator=(const Column&) = delete;

    void reset() {
        if (m_open)
            deflateEnd(&m_stream);
        m_stream = {};
        deflateInit(&m_stream, Z_BEST_COMPRESSION);
        m_open = true;
        m_used = 0;
        m_data.clear();
    }
    void put(uint64_t bits) {
        const size_t size = m_type == F64 ? 8 : m_type == I32_DELTA ? 4 : m_type == U16 ? 2 : 1;
        if (m_used + size > sizeof m_buffer)
            drain(Z_NO_FLUSH);
        for (size_t i = 0; i < size; ++i)
            m_buffer[m_used++] = static_cast<uint8_t>(bits >> (8 * i));
    }
    void putDouble(double value) {
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        put(bits);
    }
    void finish() { drain(Z_FINISH); }

    const char* name() const { return m_name; }
    const char* typeName() const {
        static constexpr const char* names[] = {"f64", "i32d", "u8", "u16"};
        return names[m_type];
    }
    const std::string& data() const { return m_data; }

private:
    void drain(int flush) {
        m_stream.next_in = m_buffer;
        m_stream.avail_in = static_cast<uInt>(m_used);
        uint8_t out[16384];
        int status;
        do {
            m_stream.next_out = out;
            m_stream.avail_out = sizeof out;
            status = deflate(&m_stream, flush);
            m_data.append(reinterpret_cast<const char*>(out), sizeof out - m_stream.avail_out);
        } while (m_stream.avail_in > 0 || (flush == Z_FINISH && status != Z_STREAM_END));
        m_used = 0;
    }

    const char* m_name;
    Type m_type;
    z_stream m_stream{};
    bool m_open = false;
    uint8_t m_buffer[16384];
    size_t m_used = 0;
    std::string m_data;
};

namespace {

// The columns, in the order event() fills them; the names are those of the CSV events file.
// time_ns holds the gap since the end of the previous event.
struct ColumnDef {
    const char* name;
    seq_html_report::Column::Type type;
};
using C = seq_html_report::Column;
constexpr ColumnDef kColumns[] = {{"time_ns", C::F64},
                                  {"duration_ns", C::F64},
                                  {"address", C::I32_DELTA},
                                  {"mnemonic", C::U16},
                                  {"play_valid", C::U8},
                                  {"wave_idx0", C::I32_DELTA},
                                  {"wave_idx1", C::I32_DELTA},
                                  {"acquire_valid", C::U8},
                                  {"acq_idx", C::I32_DELTA},
                                  {"bin_idx", C::I32_DELTA},
                                  {"weight_idx0", C::I32_DELTA},
                                  {"weight_idx1", C::I32_DELTA},
                                  {"param_valid", C::U8},
                                  {"awg_gain0", C::I32_DELTA},
                                  {"awg_gain1", C::I32_DELTA},
                                  {"awg_offs0", C::I32_DELTA},
                                  {"awg_offs1", C::I32_DELTA},
                                  {"ph_coarse", C::I32_DELTA},
                                  {"ph_fine", C::I32_DELTA},
                                  {"ph_ufine", C::I32_DELTA},
                                  {"ph_delta_coarse", C::I32_DELTA},
                                  {"ph_delta_fine", C::I32_DELTA},
                                  {"ph_delta_ufine", C::I32_DELTA},
                                  {"mrk", C::I32_DELTA}};

uint64_t delta(int32_t value, int32_t previous) {
    return static_cast<uint32_t>(value) - static_cast<uint32_t>(previous);
}

} // namespace

seq_html_report::seq_html_report(std::string title) : m_title(std::move(title)) {
    for (const ColumnDef& def : kColumns)
        m_columns.push_back(std::make_unique<Column>(def.name, def.type));
}

seq_html_report::~seq_html_report() = default;

void seq_html_report::begin() {
    for (auto& column : m_columns)
        column->reset();
    m_mnemonics.clear();
    m_previous = rt_info{};
    m_previousAddress = 0;
    m_previousEnd = 0;
    m_count = 0;
}

void seq_html_report::event(const rt_info& e, address_t address) {
    size_t mnemonic = 0;
    while (mnemonic < m_mnemonics.size() && m_mnemonics[mnemonic] != e.str)
        ++mnemonic;
    if (mnemonic == m_mnemonics.size())
        m_mnemonics.push_back(e.str);
    const rt_info& p = m_previous;
    size_t i = 0;
    const auto next = [this, &i]() -> Column& { return *m_columns[i++]; };
    next().putDouble(static_cast<double>(static_cast<int64_t>(e.time_ns - m_previousEnd)));
    next().putDouble(static_cast<double>(e.duration_ns));
    next().put(static_cast<uint32_t>(address - m_previousAddress));
    next().put(mnemonic);
    next().put(e.play_valid);
    next().put(delta(e.wave_idx[0], p.wave_idx[0]));
    next().put(delta(e.wave_idx[1], p.wave_idx[1]));
    next().put(e.acquire_valid);
    next().put(delta(e.acq_idx, p.acq_idx));
    next().put(delta(e.bin_idx, p.bin_idx));
    next().put(delta(e.weight_idx[0], p.weight_idx[0]));
    next().put(delta(e.weight_idx[1], p.weight_idx[1]));
    next().put(e.param_valid);
    next().put(delta(e.awg_gain[0], p.awg_gain[0]));
    next().put(delta(e.awg_gain[1], p.awg_gain[1]));
    next().put(delta(e.awg_offs[0], p.awg_offs[0]));
    next().put(delta(e.awg_offs[1], p.awg_offs[1]));
    next().put(delta(e.ph_coarse, p.ph_coarse));
    next().put(delta(e.ph_fine, p.ph_fine));
    next().put(delta(e.ph_ufine, p.ph_ufine));
    next().put(delta(e.ph_delta_coarse, p.ph_delta_coarse));
    next().put(delta(e.ph_delta_fine, p.ph_delta_fine));
    next().put(delta(e.ph_delta_ufine, p.ph_delta_ufine));
    next().put(delta(e.mrk, p.mrk));
    m_previous = e;
    m_previousAddress = address;
    m_previousEnd = e.time_ns + e.duration_ns;
    ++m_count;
}

void seq_html_report::end() {
    for (auto& column : m_columns)
        column->finish();
}

void seq_html_report::setFindings(std::vector<FindingRow> rows, uint64_t total) {
    m_findings = std::move(rows);
    m_findingTotal = std::max<uint64_t>(total, m_findings.size());
    m_hasFindings = true;
}

void seq_html_report::setSignalWindow(SignalWindow window) {
    m_window = std::move(window);
    m_window.step_ns = std::max<uint64_t>(m_window.step_ns, 1);
    for (int path = 0; path < 2; ++path) {
        m_window.low[path].resize(m_window.markers.size());
        m_window.high[path].resize(m_window.markers.size());
    }
    m_hasWindow = true;
}

void seq_html_report::write(TextOutput& out) const {
    const bool signals = m_hasFindings || m_hasWindow;
    const auto hash = [](std::string_view text) {
        const auto digest = sha256(text);
        return "'sha256-" +
               base64(
                   std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size())) +
               "'";
    };
    out.append("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
               "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
               "base-uri 'none'; form-action 'none'; script-src ");
    out.append(hash(kScript));
    if (signals) {
        out.append(' ');
        out.append(hash(kSignalScript));
    }
    out.append("; style-src ");
    out.append(hash(kStyle));
    if (signals) {
        out.append(' ');
        out.append(hash(kSignalStyle));
    }
    out.append("\">\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
               "<title>vexasim report</title>\n<style>");
    out.append(kStyle);
    out.append("</style>\n");
    if (signals) {
        out.append("<style>");
        out.append(kSignalStyle);
        out.append("</style>\n");
    }
    out.append(kBodyTop);
    if (signals)
        out.append(kSignalBody);
    out.append(kBodyRest);

    out.append("<script type=\"application/json\" id=\"vexa-data\">{\"title\":");
    appendJsonString(out, m_title);
    out.append(",\"outcome\":{\"failed\":");
    out.append(m_outcome.failed ? "true" : "false");
    out.append(",\"message\":");
    appendJsonString(out, m_outcome.message);
    out.append(",\"instructions\":");
    appendNumber(out, m_outcome.instructions);
    out.append(",\"classicalTicks\":");
    appendNumber(out, m_outcome.classicalTicks);
    out.append(",\"classicalUs\":");
    appendJsonString(out, microseconds(m_outcome.classicalTicks, m_outcome.classicalClockMHz));
    out.append(",\"realtimeTicks\":");
    appendNumber(out, m_outcome.realtimeTicks);
    out.append(",\"realtimeUs\":");
    appendJsonString(out, microseconds(m_outcome.realtimeTicks, m_outcome.realtimeClockMHz));
    out.append("},\n\"listing\":");
    appendJsonString(out, m_listing);
    out.append(",\n\"count\":");
    appendNumber(out, m_count);
    out.append(",\"mnemonics\":[");
    for (size_t i = 0; i < m_mnemonics.size(); ++i) {
        if (i > 0)
            out.append(',');
        appendJsonString(out, m_mnemonics[i] != nullptr ? m_mnemonics[i] : "");
    }
    out.append("],\"columns\":[");
    for (size_t i = 0; i < m_columns.size(); ++i) {
        const Column& column = *m_columns[i];
        out.append(i > 0 ? ",\n{\"name\":\"" : "\n{\"name\":\"");
        out.append(column.name());
        out.append("\",\"type\":\"");
        out.append(column.typeName());
        out.append("\",\"data\":\"");
        appendBase64(out, column.data());
        out.append("\"}");
    }
    out.append("]}</script>\n<script>");
    out.append(kScript);
    out.append("</script>\n");
    if (signals)
        writeSignals(out);
    out.append("</body>\n</html>\n");
}

void seq_html_report::writeSignals(TextOutput& out) const {
    out.append("<script type=\"application/json\" id=\"vexa-signals\">{\"findings\":{\"total\":");
    appendNumber(out, m_findingTotal);
    out.append(",\"rows\":[");
    for (size_t i = 0; i < m_findings.size(); ++i) {
        const FindingRow& row = m_findings[i];
        out.append(i > 0 ? ",\n[" : "\n[");
        appendNumber(out, row.time_ns);
        out.append(',');
        appendNumber(out, row.address);
        out.append(',');
        appendNumber(out, row.line);
        out.append(',');
        appendJsonString(out, row.kind);
        out.append(',');
        appendJsonString(out, row.message);
        out.append(']');
    }
    out.append("]}");
    if (m_hasWindow) {
        const SignalWindow& w = m_window;
        out.append(",\n\"window\":{\"start\":");
        appendNumber(out, w.start_ns);
        out.append(",\"step\":");
        appendNumber(out, w.step_ns);
        out.append(",\"columns\":");
        appendNumber(out, w.markers.size());
        const auto array = [&out](const char* name, const std::string& data) {
            out.append(",\n\"");
            out.append(name);
            out.append("\":\"");
            appendBase64(out, data);
            out.append('"');
        };
        array("low0", deflated(w.low[0]));
        array("low1", deflated(w.low[1]));
        // One sample a column: the highest values are the lowest.
        if (w.step_ns > 1) {
            array("high0", deflated(w.high[0]));
            array("high1", deflated(w.high[1]));
        }
        array("markers", deflated(w.markers));
        out.append('}');
    }
    out.append("}</script>\n<script>");
    out.append(kSignalScript);
    out.append("</script>\n");
}

bool seq_html_report::save(const std::string& fileName, UIStr& message) const {
    FileOutput out;
    if (!out.open(fileName)) {
        message = out.error();
        return false;
    }
    write(out);
    if (!out.commit()) {
        message = out.error();
        return false;
    }
    return true;
}
