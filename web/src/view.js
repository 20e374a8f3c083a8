// The run's events on screen: a canvas timeline with the lanes of the SVG timeline that draws
// only the visible range (at most one box per pixel column and lane), and an event table
// that keeps only the visible rows in the document. Every text is set as text.

const LANES = ['path 0', 'path 1', 'acquisition', 'wait / update'];
const WAVE = ['#4e79a7', '#59a14f', '#b07aa1', '#76b7b2', '#9c755f', '#edc948', '#ff9da7', '#86bcb6'];
const ACQ = ['#f28e2b', '#e15759', '#d37295', '#ffbe7d'];
const LEFT = 100;
const TOP = 8;
const LANE_HEIGHT = 30;
const LANE_GAP = 6;
const ROW = 20;
const MAX_HEIGHT = 1.5e7; // below the browsers' limit on an element's height

const palette = (colours, value) => colours[((value % colours.length) + colours.length) % colours.length];

export class Timeline {
  constructor(canvas) {
    this.canvas = canvas;
    this.ctx = canvas.getContext('2d');
    this.events = null;
    this.t0 = 0;
    this.t1 = 1;
    this.pending = false;
    this.drawCount = 0;
    canvas.addEventListener('wheel', (e) => this.onWheel(e), { passive: false });
    let drag = null;
    canvas.addEventListener('pointerdown', (e) => {
      drag = { x: e.clientX, a: this.t0, b: this.t1 };
      canvas.setPointerCapture(e.pointerId);
    });
    canvas.addEventListener('pointermove', (e) => {
      if (!drag) return;
      const d = ((drag.x - e.clientX) * (drag.b - drag.a)) / this.plotWidth();
      this.setView(drag.a + d, drag.b + d);
    });
    canvas.addEventListener('pointerup', () => { drag = null; });
    window.addEventListener('resize', () => {
      this.width = null;
      this.redraw();
    });
  }

  // `events`: {kept, mnemonics, columns} as the worker hands them over.
  show(events) {
    this.events = events;
    this.width = null;
    const c = events.columns;
    const n = events.kept;
    const plays = [];
    const acquisitions = [];
    const others = [];
    for (let i = 0; i < n; ++i) (c.play_valid[i] ? plays : c.acquire_valid[i] ? acquisitions : others).push(i);
    const p = Uint32Array.from(plays);
    this.lanes = [p, p, Uint32Array.from(acquisitions), Uint32Array.from(others)];
    this.end = n ? Math.max(1, c.time_ns[n - 1] + c.duration_ns[n - 1]) : 1;
    this.setView(0, this.end);
  }

  // The plot's width, read from the layout once and again after a resize.
  plotWidth() { return this.width ?? (this.width = Math.max(10, this.canvas.clientWidth - LEFT - 10)); }
  x(t) { return LEFT + ((t - this.t0) * this.plotWidth()) / (this.t1 - this.t0); }
  t(x) { return this.t0 + ((x - LEFT) * (this.t1 - this.t0)) / this.plotWidth(); }

  setView(a, b) {
    const end = this.end || 1;
    const span = Math.min(end, Math.max(b - a, 1e-3));
    a = Math.min(Math.max(a, 0), end - span);
    this.t0 = a;
    this.t1 = a + span;
    this.redraw();
  }
  zoom(factor) {
    const centre = (this.t0 + this.t1) / 2;
    const half = ((this.t1 - this.t0) * factor) / 2;
    this.setView(centre - half, centre + half);
  }
  fit() { this.setView(0, this.end || 1); }

  onWheel(e) {
    e.preventDefault();
    if (e.shiftKey || Math.abs(e.deltaX) > Math.abs(e.deltaY)) {
      const d = ((e.shiftKey ? e.deltaY : e.deltaX) * (this.t1 - this.t0)) / this.plotWidth();
      this.setView(this.t0 + d, this.t1 + d);
    } else {
      const f = Math.pow(1.0015, e.deltaY);
      const at = this.t(e.offsetX);
      this.setView(at - (at - this.t0) * f, at + (this.t1 - at) * f);
    }
  }

  redraw() {
    if (this.pending) return;
    this.pending = true;
    requestAnimationFrame(() => this.draw());
  }

  // The first k of a lane with an event starting at or after `t`.
  firstFrom(lane, t) {
    const time = this.events.columns.time_ns;
    let lo = 0;
    let hi = lane.length;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (time[lane[mid]] < t) lo = mid + 1;
      else hi = mid;
    }
    return lo;
  }

  style(lane, i) {
    const c = this.events.columns;
    if (lane < 2) {
      const w = (lane ? c.wave_idx1 : c.wave_idx0)[i];
      return [palette(WAVE, w), 'w' + w];
    }
    if (lane === 2) return [palette(ACQ, c.acq_idx[i]), 'a' + c.acq_idx[i] + ':b' + c.bin_idx[i]];
    const m = this.events.mnemonics[c.mnemonic[i]];
    return [m.startsWith('wait') ? '#bab0ac' : '#8c8fd6', m];
  }

  draw() {
    this.pending = false;
    ++this.drawCount;
    const { canvas, ctx } = this;
    const dpr = window.devicePixelRatio || 1;
    const W = canvas.clientWidth;
    const H = canvas.clientHeight;
    if (canvas.width !== Math.round(W * dpr) || canvas.height !== Math.round(H * dpr)) {
      canvas.width = Math.round(W * dpr);
      canvas.height = Math.round(H * dpr);
    }
    ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
    ctx.clearRect(0, 0, W, H);
    ctx.font = '10px sans-serif';
    ctx.textBaseline = 'middle';
    const plotW = this.plotWidth();
    for (let lane = 0; lane < 4; ++lane) {
      const y = TOP + lane * (LANE_HEIGHT + LANE_GAP);
      ctx.fillStyle = '#f4f4f4';
      ctx.fillRect(LEFT, y, plotW, LANE_HEIGHT);
      ctx.fillStyle = '#222';
      ctx.textAlign = 'right';
      ctx.fillText(LANES[lane], LEFT - 8, y + LANE_HEIGHT / 2);
      if (!this.events) continue;
      ctx.save();
      ctx.beginPath();
      ctx.rect(LEFT, y, plotW, LANE_HEIGHT);
      ctx.clip();
      ctx.textAlign = 'center';
      const idx = this.lanes[lane];
      const { time_ns: time, duration_ns: dur } = this.events.columns;
      let k = Math.max(0, this.firstFrom(idx, this.t0) - 1);
      while (k < idx.length) {
        const i = idx[k];
        const x0 = this.x(time[i]);
        if (x0 > LEFT + plotW) break;
        const w = Math.max(1, this.x(time[i] + dur[i]) - x0);
        const [fill, label] = this.style(lane, i);
        ctx.fillStyle = fill;
        ctx.fillRect(x0, y, w, LANE_HEIGHT);
        if (w > label.length * 6.2 + 4) {
          ctx.fillStyle = '#000';
          ctx.fillText(label, x0 + w / 2, y + LANE_HEIGHT / 2);
        }
        // The events that start within the same pixel column are covered by this box.
        const next = Math.floor(x0) + 1;
        k = k + 1 < idx.length && this.x(time[idx[k + 1]]) < next
          ? Math.max(k + 1, this.firstFrom(idx, this.t(next)))
          : k + 1;
      }
      ctx.restore();
    }
    const axisY = TOP + 4 * (LANE_HEIGHT + LANE_GAP);
    const raw = (this.t1 - this.t0) / 8;
    const p = Math.pow(10, Math.floor(Math.log10(raw)));
    const step = [1, 2, 5, 10].map((m) => m * p).find((s) => s >= raw);
    ctx.fillStyle = '#444';
    ctx.textAlign = 'center';
    ctx.textBaseline = 'top';
    for (let t = Math.ceil(this.t0 / step) * step; t <= this.t1; t += step) {
      const x = this.x(t);
      ctx.fillRect(x, axisY, 1, 5);
      ctx.fillText(Number(t.toPrecision(12)) + ' ns', x, axisY + 7);
    }
  }
}

const COLUMNS = ['#', 'time_ns', 'duration_ns', 'address', 'mnemonic', 'wave', 'acq:bin', 'weight',
  'awg_gain', 'awg_offs', 'phase c/f/u', 'phase delta', 'mrk'];

export class EventTable {
  constructor(box, head, body, spacer, table) {
    Object.assign(this, { box, body, spacer, table });
    this.pool = [];
    this.n = 0;
    const tr = document.createElement('tr');
    for (const name of COLUMNS) {
      const th = document.createElement('th');
      th.textContent = name;
      tr.append(th);
    }
    head.append(tr);
    box.addEventListener('scroll', () => this.rows());
  }

  show(events) {
    this.events = events;
    this.n = events.kept;
    this.spacer.style.height = Math.min(this.n * ROW, MAX_HEIGHT) + ROW + 'px';
    this.box.scrollTop = 0;
    this.rows();
  }

  cells(i) {
    const c = this.events.columns;
    const pair = (a, b) => a[i] + '/' + b[i];
    return [i, c.time_ns[i], c.duration_ns[i], c.address[i], this.events.mnemonics[c.mnemonic[i]],
      c.play_valid[i] ? pair(c.wave_idx0, c.wave_idx1) : '',
      c.acquire_valid[i] ? c.acq_idx[i] + ':' + c.bin_idx[i] : '', pair(c.weight_idx0, c.weight_idx1),
      pair(c.awg_gain0, c.awg_gain1), pair(c.awg_offs0, c.awg_offs1),
      c.ph_coarse[i] + '/' + c.ph_fine[i] + '/' + c.ph_ufine[i],
      c.ph_delta_coarse[i] + '/' + c.ph_delta_fine[i] + '/' + c.ph_delta_ufine[i], c.mrk[i]];
  }

  rows() {
    const { box, n } = this;
    const visible = Math.ceil(box.clientHeight / ROW) + 1;
    let first;
    if (n * ROW <= MAX_HEIGHT) first = Math.floor(box.scrollTop / ROW);
    else first = Math.floor((box.scrollTop / Math.max(1, box.scrollHeight - box.clientHeight)) * Math.max(0, n - visible + 2));
    first = Math.max(0, Math.min(first, n - 1));
    const count = Math.max(0, Math.min(n - first, visible));
    this.table.style.top = box.scrollTop + 'px';
    while (this.pool.length < count) {
      const tr = document.createElement('tr');
      for (let j = 0; j < COLUMNS.length; ++j) tr.append(document.createElement('td'));
      this.pool.push(tr);
      this.body.append(tr);
    }
    this.pool.forEach((tr, r) => {
      tr.hidden = r >= count;
      if (r >= count) return;
      const v = this.cells(first + r);
      for (let j = 0; j < v.length; ++j) tr.children[j].textContent = String(v[j]);
    });
  }
}
