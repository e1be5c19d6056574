// The page: one WebSocket update a second fills the tables and extends the trend;
// the trend's past comes from api/history. Every array is bounded, so a page left
// open for weeks stays as small as on its first day.
'use strict';
(() => {
  const COLOURS = ['#d62728', '#1f77b4', '#2ca02c', '#9467bd', '#ff7f0e', '#8c564b', '#e377c2', '#17becf'];
  const MAX_POINTS = 3600;
  const $ = (id) => document.getElementById(id);
  // Addresses beside the page's, without any user name and password its own address
  // holds, which the browser will not send a request to.
  const here = (path) => new URL(path, location.origin + location.pathname).href;

  let span = 3600; // seconds shown
  let step = 1; // seconds between the points the history gave
  let points = []; // {t: ms, v: [8 numbers or null]}, oldest first, at most MAX_POINTS
  let frozen = null; // the points shown while paused
  let shown = null; // per channel: drawn or not
  let names = [];
  let decimals = [];
  let hoverX = null;

  function make(tag, parent, cls, text) {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    if (parent) parent.appendChild(e);
    return e;
  }
  const two = (n) => String(n).padStart(2, '0');
  const clock = (ms) => {
    const d = new Date(ms);
    return `${two(d.getHours())}:${two(d.getMinutes())}:${two(d.getSeconds())}`;
  };
  const stamp = (ms) => {
    const d = new Date(ms);
    return `${d.getFullYear()}-${two(d.getMonth() + 1)}-${two(d.getDate())} ${clock(ms)}`;
  };

  // The tables are built once and then only their texts change.
  const rows = [];
  for (let c = 0; c < 8; c++) {
    const tr = make('tr', $('channels'));
    make('td', tr, 'num', String(c));
    const row = { tr, name: make('td', tr), value: make('td', tr, 'num'), type: make('td', tr),
      quality: make('td', tr) };
    row.value.id = `ch${c}-value`;
    row.quality.id = `ch${c}-quality`;
    rows.push(row);
  }
  const lineCells = [];
  for (let k = 0; k < 16; k++) {
    const cell = make('div', $('lines'), 'line', String(k));
    cell.id = `line${k}`;
    lineCells.push({ cell, dir: make('small', cell) });
  }

  function showAlarms(m) {
    const list = $('alarms');
    list.replaceChildren();
    if (m.rules === 0) make('li', list, 'none', 'no alarm rules');
    else if (m.alarms.length === 0) make('li', list, 'none', 'none active');
    for (const a of m.alarms)
      make('li', list, 'active', `${a.name}: channel ${a.channel} (${names[a.channel]}) since ${stamp(a.since)}`);
  }

  function buildLegend() {
    const legend = $('legend');
    legend.replaceChildren();
    names.forEach((name, c) => {
      const label = make('label', legend);
      label.style.color = COLOURS[c];
      const box = make('input', label);
      box.type = 'checkbox';
      box.checked = shown[c];
      box.addEventListener('change', () => { shown[c] = box.checked; draw(); });
      label.append(` ${c} ${name}`);
    });
  }

  function update(m) {
    const card = m.card;
    $('card').textContent = card.connected ? `Card Connected (version ${card.version})` : 'Card Disconnected';
    $('port').textContent = card.lost ? `COM${card.port} lost`
      : card.opened ? `COM${card.port} opened` : `COM${card.port} not found${card.failure ? `: ${card.failure}` : ''}`;
    $('task').textContent = card.task ? 'task running' : 'task stopped';
    $('frame').textContent = m.frame ? stamp(m.frame) : 'none yet';
    const renamed = m.channels.some((ch, c) => (ch.name || `Channel ${c}`) !== names[c]);
    m.channels.forEach((ch, c) => {
      const row = rows[c];
      names[c] = ch.name || `Channel ${c}`;
      decimals[c] = (ch.text.split('.')[1] || '').length;
      row.name.textContent = names[c];
      row.value.textContent = ch.text;
      row.value.dataset.value = ch.value === null ? '' : String(ch.value);
      row.type.textContent = ch.type;
      row.quality.textContent = ch.reason ? `${ch.quality}, ${ch.reason}` : ch.quality;
      row.quality.className = ch.quality;
      row.tr.className = ch.quality === 'bad' ? 'isbad' : '';
    });
    m.lines.forEach((line, k) => {
      const { cell, dir } = lineCells[k];
      cell.classList.toggle('on', line.on);
      cell.classList.toggle('output', line.output);
      cell.title = `line ${k}: ${line.output ? 'output' : 'input'}, ${line.on ? 'on' : 'off'}`;
      dir.textContent = line.output ? 'out' : 'in';
    });
    showAlarms(m);
    if (shown === null) {
      shown = m.channels.map((ch) => ch.plot);
      if (!shown.some((s) => s)) shown.fill(true);
    }
    if (renamed) buildLegend();
    if (m.second) addPoint(m.second);
    if (!frozen && !document.hidden) draw();
  }

  function trim(list) {
    if (!list.length) return;
    const oldest = list[list.length - 1].t - span * 1000;
    let drop = 0;
    while (drop < list.length && list[drop].t <= oldest) drop++;
    drop = Math.max(drop, list.length - MAX_POINTS);
    if (drop > 0) list.splice(0, drop);
  }

  function addPoint(s) {
    const last = points[points.length - 1];
    if (last && s.t - last.t < step * 1000 - 500) return;
    points.push({ t: s.t, v: s.v });
    trim(points);
  }

  async function loadHistory() {
    try {
      const reply = await fetch(here(`api/history?seconds=${span}`), { cache: 'no-store' });
      if (!reply.ok) return;
      const h = await reply.json();
      const past = h.t.map((t, i) => ({ t, v: h.v[i] }));
      const end = past.length ? past[past.length - 1].t : 0;
      step = h.step;
      // Seconds that came while the history was on its way stay.
      points = past.concat(points.filter((p) => p.t > end));
      trim(points);
      if (!frozen) draw();
    } catch (e) {
      // the next connection tries again
    }
  }

  function niceStep(range, count) {
    const raw = range / count;
    const power = 10 ** Math.floor(Math.log10(raw));
    return [1, 2, 5, 10].map((f) => f * power).find((s) => s >= raw);
  }

  function draw() {
    const canvas = $('trend');
    const ratio = window.devicePixelRatio || 1;
    const w = canvas.clientWidth;
    const h = canvas.clientHeight;
    if (canvas.width !== Math.round(w * ratio) || canvas.height !== Math.round(h * ratio)) {
      canvas.width = Math.round(w * ratio);
      canvas.height = Math.round(h * ratio);
    }
    const g = canvas.getContext('2d');
    g.setTransform(ratio, 0, 0, ratio, 0, 0);
    g.clearRect(0, 0, w, h);
    const data = frozen || points;
    const end = data.length ? data[data.length - 1].t : Date.now();
    const start = end - span * 1000;
    let lo = Infinity;
    let hi = -Infinity;
    for (const p of data)
      p.v.forEach((v, c) => {
        if (v !== null && shown && shown[c]) { lo = Math.min(lo, v); hi = Math.max(hi, v); }
      });
    if (!Number.isFinite(lo)) { lo = 0; hi = 1; }
    if (hi - lo < 1e-6) { lo -= 1; hi += 1; }
    const pad = (hi - lo) * 0.05;
    lo -= pad;
    hi += pad;
    const L = 58, R = 8, T = 8, B = 22;
    const x = (t) => L + ((t - start) / (end - start)) * (w - L - R);
    const y = (v) => T + ((hi - v) / (hi - lo)) * (h - T - B);

    g.font = '11px sans-serif';
    g.strokeStyle = '#e3e7eb';
    g.fillStyle = '#555';
    g.lineWidth = 1;
    const vStep = niceStep(hi - lo, 5);
    for (let v = Math.ceil(lo / vStep) * vStep; v <= hi; v += vStep) {
      g.beginPath(); g.moveTo(L, y(v)); g.lineTo(w - R, y(v)); g.stroke();
      g.textAlign = 'right';
      g.fillText(Number(v.toPrecision(6)).toString(), L - 4, y(v) + 4);
    }
    const tStep = niceStep(span * 1000, 6);
    for (let t = Math.ceil(start / tStep) * tStep; t <= end; t += tStep) {
      g.beginPath(); g.moveTo(x(t), T); g.lineTo(x(t), h - B); g.stroke();
      g.textAlign = 'center';
      g.fillText(clock(t), x(t), h - 6);
    }
    // A bad second (null) lifts the pen: a gap, not a line to a number no sensor gave.
    for (let c = 0; c < 8; c++) {
      if (!shown || !shown[c]) continue;
      g.strokeStyle = COLOURS[c];
      g.lineWidth = 1.5;
      g.beginPath();
      let up = true;
      for (const p of data) {
        const v = p.v[c];
        if (v === null) { up = true; continue; }
        if (up) g.moveTo(x(p.t), y(v)); else g.lineTo(x(p.t), y(v));
        up = false;
      }
      g.stroke();
    }
    if (frozen) {
      g.fillStyle = '#ffd60a';
      g.fillRect(w - R - 64, T + 2, 60, 20);
      g.fillStyle = '#000';
      g.textAlign = 'center';
      g.fillText('Paused', w - R - 34, T + 16);
    }
    showReadout(g, data, x, start, end, h - B);
  }

  function showReadout(g, data, x, start, end, bottom) {
    const box = $('readout');
    if (hoverX === null || !data.length) { box.hidden = true; return; }
    const w = $('trend').clientWidth;
    const t = start + ((hoverX - 58) / (w - 58 - 8)) * (end - start);
    let lo = 0, hi = data.length - 1;
    while (lo < hi) { const mid = (lo + hi) >> 1; if (data[mid].t < t) lo = mid + 1; else hi = mid; }
    if (lo > 0 && t - data[lo - 1].t < data[lo].t - t) lo--;
    const p = data[lo];
    g.strokeStyle = '#333';
    g.beginPath(); g.moveTo(x(p.t), 8); g.lineTo(x(p.t), bottom); g.stroke();
    box.replaceChildren();
    make('div', box, '', stamp(p.t));
    p.v.forEach((v, c) => {
      if (!shown[c]) return;
      const line = make('div', box, '', `${names[c]}: ${v === null ? 'bad' : v.toFixed(decimals[c])}`);
      line.style.color = COLOURS[c];
    });
    box.hidden = false;
  }

  function setPaused(paused) {
    frozen = paused ? points.slice() : null;
    $('pause').textContent = paused ? 'Live' : 'Pause';
    draw();
  }

  async function loadLogs() {
    try {
      const reply = await fetch(here('api/logs'), { cache: 'no-store' });
      if (!reply.ok) return;
      const files = await reply.json();
      const body = $('logs');
      body.replaceChildren();
      if (!files.length) make('td', make('tr', body), '', 'no logs in the working directory').colSpan = 3;
      for (const f of files) {
        const tr = make('tr', body);
        const link = make('a', make('td', tr), '', f.name);
        link.href = here(`logs/${encodeURIComponent(f.name)}`);
        link.download = f.name;
        const kb = f.size / 1024;
        make('td', tr, 'num', f.size < 1024 ? `${f.size} B` : kb < 1024 ? `${kb.toFixed(1)} kB` : `${(kb / 1024).toFixed(1)} MB`);
        make('td', tr, '', stamp(f.modified));
      }
    } catch (e) {
      // shown again at the next refresh
    }
  }

  let retry = 1000;
  function connect() {
    const socket = new WebSocket(`${location.protocol === 'https:' ? 'wss' : 'ws'}://${location.host}/live`);
    socket.onopen = () => {
      retry = 1000;
      $('link').textContent = 'live';
      $('link').className = 'on';
      loadHistory();
    };
    socket.onmessage = (e) => update(JSON.parse(e.data));
    socket.onclose = () => {
      $('link').textContent = 'reconnecting…';
      $('link').className = 'off';
      setTimeout(connect, retry);
      retry = Math.min(retry * 2, 30000);
    };
  }

  $('span').addEventListener('change', () => {
    span = Number($('span').value);
    setPaused(false);
    loadHistory();
  });
  $('pause').addEventListener('click', () => setPaused(!frozen));
  const canvas = $('trend');
  canvas.addEventListener('contextmenu', (e) => { e.preventDefault(); setPaused(!frozen); });
  canvas.addEventListener('pointermove', (e) => { hoverX = e.offsetX; draw(); });
  canvas.addEventListener('pointerleave', () => { hoverX = null; draw(); });
  document.addEventListener('visibilitychange', () => { if (!document.hidden) draw(); });
  window.addEventListener('resize', draw);
  connect();
  loadLogs();
  setInterval(loadLogs, 30000);
})();
