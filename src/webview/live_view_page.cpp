// SPDX-License-Identifier: GPL-3.0-or-later
#include "webview/live_view_page.h"

namespace webview {

const char kLivePage[] = R"PAGE(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>WinQ47V Live View</title>
<style>
  html, body { margin: 0; height: 100%; background: #101418; color: #d8dee4;
               font: 14px/1.35 system-ui, sans-serif; }
  #wrap { display: flex; height: 100%; }
  #view { flex: 1; position: relative; display: flex; align-items: center;
          justify-content: center; overflow: hidden; min-width: 0; }
  #picture { image-rendering: pixelated; image-rendering: crisp-edges;
             background: #000; box-shadow: 0 0 0 1px #2c3440; }
  #side { width: 20em; flex: none; padding: 0.8em 1em; background: #182028;
          overflow-y: auto; border-left: 1px solid #2c3440; }
  h1 { font-size: 1em; margin: 0 0 0.6em; color: #8fb8de; letter-spacing: 0.05em; }
  dl { margin: 0; display: grid; grid-template-columns: auto 1fr; gap: 0.25em 0.8em; }
  dt { color: #8a96a3; }
  dd { margin: 0; font-family: ui-monospace, monospace; white-space: pre; overflow: hidden;
       text-overflow: ellipsis; }
  #r-gps, #r-file, #r-status { white-space: pre-wrap; word-break: break-word; }
  #state { margin-top: 1em; font-size: 0.9em; color: #8a96a3; }
  #lost { position: absolute; top: 1em; left: 50%; transform: translateX(-50%);
          background: #b02a2a; color: #fff; padding: 0.5em 1.2em; border-radius: 4px;
          font-weight: bold; display: none; box-shadow: 0 2px 8px #000a; }
  body.offline #lost { display: block; }
  body.offline #picture { opacity: 0.45; }
  @media (max-aspect-ratio: 1/1) {
    #wrap { flex-direction: column; }
    #side { width: auto; border-left: 0; border-top: 1px solid #2c3440; }
    dl { grid-template-columns: auto 1fr auto 1fr; }
  }
</style>
</head>
<body class="offline">
<div id="wrap">
  <div id="view">
    <canvas id="picture" width="596" height="506"></canvas>
    <div id="lost">Connection lost, retrying&hellip;</div>
  </div>
  <div id="side">
    <h1>WinQ47V Live View</h1>
    <dl>
      <dt>Source</dt><dd id="r-source">-</dd>
      <dt>Range</dt><dd id="r-range">-</dd>
      <dt>Mode</dt><dd id="r-mode">-</dd>
      <dt>Gain</dt><dd id="r-gain">-</dd>
      <dt>Speed</dt><dd id="r-speed">-</dd>
      <dt>Sector</dt><dd id="r-sector">-</dd>
      <dt>Train</dt><dd id="r-train">-</dd>
      <dt>Frequency</dt><dd id="r-frequency">-</dd>
      <dt>Time</dt><dd id="r-dateTime">-</dd>
      <dt>GPS</dt><dd id="r-gps">-</dd>
      <dt>Status</dt><dd id="r-status">-</dd>
      <dt>File</dt><dd id="r-file">-</dd>
      <dt>Position</dt><dd id="r-position">-</dd>
      <dt>Rep rate</dt><dd id="r-repRate">-</dd>
      <dt>Pings</dt><dd id="r-pings">-</dd>
    </dl>
    <div id="state">Connecting&hellip;</div>
  </div>
</div>
<script src="live.js"></script>
</body>
</html>
)PAGE";

const char kLiveScript[] = R"SCRIPT('use strict';
// Live view client: rebuilds the sonar picture from the stream of changed
// rectangles (palette indices, zlib) and shows the readouts. Read-only.
(function () {
  const W = 596, H = 506;
  const canvas = document.getElementById('picture');
  const ctx = canvas.getContext('2d', { alpha: false });
  const image = ctx.createImageData(W, H);
  const rgba = new Uint32Array(image.data.buffer);
  const indices = new Uint8Array(W * H);
  const palette = new Uint32Array(256);
  const littleEndian = new Uint8Array(new Uint32Array([1]).buffer)[0] === 1;
  const stateText = document.getElementById('state');
  let socket = null, retryDelay = 500, work = Promise.resolve(), frames = 0;

  function fit() {
    const view = document.getElementById('view');
    const s = Math.max(0.1, Math.min(view.clientWidth / W, view.clientHeight / H));
    canvas.style.width = Math.floor(W * s) + 'px';
    canvas.style.height = Math.floor(H * s) + 'px';
  }
  window.addEventListener('resize', fit);
  fit();

  function colour(r, g, b) {
    return littleEndian ? (0xff000000 | (b << 16) | (g << 8) | r) >>> 0
                        : ((r << 24) | (g << 16) | (b << 8) | 0xff) >>> 0;
  }
  function paint(x, y, w, h) {
    for (let row = y; row < y + h; row++) {
      let i = row * W + x;
      for (let end = i + w; i < end; i++) rgba[i] = palette[indices[i]];
    }
    ctx.putImageData(image, 0, 0, x, y, w, h);
  }
  async function inflate(bytes) {
    const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate'));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }
  async function apply(buffer) {
    const bytes = new Uint8Array(buffer);
    if (bytes[0] === 0x43 && bytes.length === 769) {            // 'C': colours
      for (let i = 0; i < 256; i++) palette[i] = colour(bytes[1 + 3 * i], bytes[2 + 3 * i], bytes[3 + 3 * i]);
      paint(0, 0, W, H);
    } else if (bytes[0] === 0x50 && bytes.length >= 14) {       // 'P': picture
      const v = new DataView(buffer);
      const x = v.getUint16(6, true), y = v.getUint16(8, true);
      const w = v.getUint16(10, true), h = v.getUint16(12, true);
      if (w === 0 || h === 0 || x + w > W || y + h > H) return;
      const raw = await inflate(bytes.subarray(14));
      if (raw.length !== w * h) return;
      if (bytes[1] & 2) {                                       // a change: added to what is shown
        for (let r = 0; r < h; r++) {
          const at = (y + r) * W + x, from = r * w;
          for (let k = 0; k < w; k++) indices[at + k] += raw[from + k];
        }
      } else {
        for (let r = 0; r < h; r++) indices.set(raw.subarray(r * w, r * w + w), (y + r) * W + x);
      }
      paint(x, y, w, h);
      frames++;
    }
  }
  function showReadouts(r) {
    for (const key of Object.keys(r)) {
      const el = document.getElementById('r-' + key);
      if (el) el.textContent = (r[key] === '' || r[key] === undefined) ? '-' : String(r[key]);
    }
  }
  function connect() {
    const scheme = location.protocol === 'https:' ? 'wss://' : 'ws://';
    const ws = new WebSocket(scheme + location.host + '/stream' + location.search);
    ws.binaryType = 'arraybuffer';
    socket = ws;
    ws.onopen = function () {
      retryDelay = 500;
      document.body.classList.remove('offline');
      stateText.textContent = 'Connected';
    };
    ws.onmessage = function (ev) {
      if (typeof ev.data === 'string') {
        let r = null;
        try { r = JSON.parse(ev.data); } catch (e) { return; }
        if (r && r.type === 'readouts') work = work.then(function () { showReadouts(r); });
      } else {
        const data = ev.data;
        work = work.then(function () { return apply(data); }).catch(function () {});
      }
    };
    ws.onclose = function () {
      if (socket !== ws) return;
      socket = null;
      document.body.classList.add('offline');
      stateText.textContent = 'Connection lost, retrying in ' + (retryDelay / 1000).toFixed(1) + ' s';
      setTimeout(connect, retryDelay);
      retryDelay = Math.min(retryDelay * 2, 5000);
    };
    ws.onerror = function () { ws.close(); };
  }
  connect();
})();
)SCRIPT";

}  // namespace webview
