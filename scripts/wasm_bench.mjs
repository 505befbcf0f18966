// The WebAssembly engine against the native one (make build wasm first):
//   node scripts/wasm_bench.mjs [--file problems/zukou.sfen] [--limit 30000]
//        [--stops 20] [--skip-solve] [--skip-page]
// 1. Every problem of the file through both engines, one request at a time,
//    both running side by side (one core each): the answers must be the
//    same; the nodes per second of each, and the ratio.
// 2. `stop` during `go mate infinite` on long works, 20 times: the time from
//    the stop to the answer line, median and max.
// 3. The solving page in headless Chromium: from opening it to the answer of
//    zukou-002 (needs tests/web_page's npm install).
// 4. The size of the module and its .wasm.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const args = process.argv.slice(2);
const opt = (name, value) => { const i = args.indexOf(name); return i >= 0 ? args[i + 1] : value; };
const file = opt('--file', path.join(root, 'problems/zukou.sfen'));
const limit = Number(opt('--limit', 30000));
const stops = Number(opt('--stops', 20));
const wasmDir = path.join(root, 'build-wasm');
const { default: factory } = await import(pathToFileURL(path.join(wasmDir, 'kestrane.js')).href);

const problems = fs.readFileSync(file, 'utf8').split('\n').filter((l) => l && !l.startsWith('#'))
  .map((l) => { const c = l.split('\t'); return { sfen: c[0], name: (c[2] || '').split(' ')[0] }; });

// An engine that answers one request at a time: send lines, wait for the
// line that starts with `until`, with the lines seen meanwhile.
function driver(post, onLine) {
  let waiting = null, seen = [];
  onLine((line) => {
    seen.push(line);
    if (waiting && line.startsWith(waiting.until)) { const w = waiting; waiting = null; const s = seen; seen = []; w.resolve(s); }
  });
  return (lines, until) => new Promise((resolve) => { seen = []; waiting = { until, resolve }; for (const l of lines) post(l); });
}

function nativeEngine() {
  const child = spawn(path.join(root, 'build/kestrane'), [], { stdio: ['pipe', 'pipe', 'inherit'] });
  let buffer = '';
  const listeners = [];
  child.stdout.setEncoding('latin1');
  child.stdout.on('data', (d) => {
    buffer += d;
    for (let i; (i = buffer.indexOf('\n')) >= 0;) { const line = buffer.slice(0, i); buffer = buffer.slice(i + 1); listeners.forEach((f) => f(line)); }
  });
  return { ask: driver((l) => child.stdin.write(l + '\n'), (f) => listeners.push(f)), end: () => child.stdin.end() };
}

async function wasmEngine() {
  const engine = await factory({ locateFile: (n) => pathToFileURL(path.join(wasmDir, n)).href, printErr: (t) => console.error(t) });
  return { engine, ask: driver((l) => engine.postMessage(l), (f) => engine.addMessageListener(f)), end: () => engine.terminate() };
}

function lastNodes(lines) {
  let nodes = 0;
  for (const l of lines) { const m = /\bnodes (\d+)/.exec(l); if (m) nodes = Number(m[1]); }
  return nodes;
}

async function solveAll(e, label) {
  await e.ask(['usi', 'setoption name USI_Hash value 256', 'isready'], 'readyok');
  const out = [];
  for (const p of problems) {
    const t0 = performance.now();
    const lines = await e.ask(['usinewgame', 'position sfen ' + p.sfen, 'go mate ' + limit], 'checkmate');
    out.push({ answer: lines[lines.length - 1], nodes: lastNodes(lines), ms: performance.now() - t0 });
    process.stderr.write(`\r${label} ${out.length}/${problems.length}`);
  }
  e.end();
  return out;
}

if (!args.includes('--skip-solve')) {
  const [nat, wasm] = await Promise.all([solveAll(nativeEngine(), 'native'), wasmEngine().then((e) => solveAll(e, 'wasm  '))]);
  process.stderr.write('\n');
  let same = 0, sameNodes = 0, unclocked = 0, nodesN = 0, msN = 0, nodesW = 0, msW = 0;
  const differ = [];
  // A request that ran to its limit was cut by the clock, at a point that
  // depends on the build's speed; every other one must match node for node.
  const clocked = (r) => r.ms >= limit;
  problems.forEach((p, i) => {
    const n = nat[i], w = wasm[i];
    if (n.answer === w.answer) same++;
    else differ.push(`${p.name} (native ${n.answer.split(' ').length - 1} plies in ${Math.round(n.ms)} ms, ` +
                     `wasm ${w.answer.split(' ').length - 1} in ${Math.round(w.ms)} ms)`);
    if (!clocked(n) && !clocked(w)) {
      ++unclocked;
      if (n.answer === w.answer && n.nodes === w.nodes) ++sameNodes;
      nodesN += n.nodes; msN += n.ms; nodesW += w.nodes; msW += w.ms;
    }
  });
  const npsN = nodesN / msN * 1000, npsW = nodesW / msW * 1000;
  console.log(`${path.basename(file)}, go mate ${limit}: ${same} of ${problems.length} answers the same` +
              (differ.length ? `; differ: ${differ.join(', ')}` : ''));
  console.log(`of the ${unclocked} requests that neither build ran to the limit, ${sameNodes} with the same answer and node count`);
  console.log(`nodes per second over those: native ${Math.round(npsN)}, wasm ${Math.round(npsW)}, ` +
              `wasm / native ${(npsW / npsN).toFixed(2)}`);
}

if (stops > 0) {
  const e = await wasmEngine();
  await e.ask(['usi', 'setoption name USI_Hash value 256', 'isready'], 'readyok');
  // Long works that no request here finishes (the table carries over, so a
  // work solved once would answer the next time before the stop).
  const long = problems.filter((p) => ['zukou-100', 'zukou-008'].includes(p.name));
  const works = long.length ? long : problems.slice(-2);
  const times = [];
  let early = 0;
  for (let i = 0; i < stops; ++i) {
    const p = works[i % works.length];
    let sent = -1;
    const answered = e.ask(['usinewgame', 'position sfen ' + p.sfen, 'go mate infinite'], 'checkmate')
      .then(() => (sent < 0 ? -1 : performance.now() - sent));
    await new Promise((r) => setTimeout(r, 300 + (i * 137) % 900));
    sent = performance.now();
    e.engine.postMessage('stop');
    const t = await answered;
    if (t < 0) ++early; else times.push(t);
  }
  e.end();
  times.sort((a, b) => a - b);
  console.log(`stop during go mate infinite, ${times.length} stops on ${works.map((w) => w.name).join(', ')}` +
              (early ? ` (${early} answered before the stop, not counted)` : '') +
              `: median ${times[Math.floor(times.length / 2)].toFixed(1)} ms, max ${times[times.length - 1].toFixed(1)} ms`);
}

if (!args.includes('--skip-page')) {
  const { chromium } = await import(pathToFileURL(path.join(root, 'tests/web_page/node_modules/playwright-core/index.mjs')).href);
  const { serve } = await import(pathToFileURL(path.join(root, 'web/serve.mjs')).href);
  const server = await serve(path.join(wasmDir, 'page'));
  const browser = await chromium.launch({ executablePath: process.env.KESTRANE_CHROMIUM || '/usr/bin/chromium', args: ['--no-sandbox'] });
  const zukou002 = problems.find((p) => p.name === 'zukou-002') ||
    { sfen: '9/9/3B3G1/6+p1n/7+p1/7k1/5BL1p/7G1/7+R+r b N2P2g4s2n3l13p 1' };
  const runs = [];
  for (let i = 0; i < 3; ++i) {
    const page = await browser.newPage();
    const t0 = performance.now();
    await page.goto(`http://127.0.0.1:${server.address().port}/`);
    await page.waitForFunction(() => document.getElementById('status').textContent === 'Ready.');
    await page.fill('#sfen', zukou002.sfen);
    await page.click('#set');
    await page.click('#solve');
    await page.waitForSelector('#results section.problem');
    runs.push(performance.now() - t0);
    await page.close();
  }
  await browser.close();
  server.close();
  console.log(`the page, from opening to the answer of zukou-002: ${runs.map((t) => (t / 1000).toFixed(2) + ' s').join(', ')}`);
}

const size = ['kestrane.js', 'kestrane.wasm'].map((n) => fs.statSync(path.join(wasmDir, n)).size);
console.log(`module ${size[0]} bytes + wasm ${size[1]} bytes = ${((size[0] + size[1]) / 1048576).toFixed(2)} MiB`);
