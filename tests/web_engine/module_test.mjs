// The WebAssembly engine through the web GUIs' engine contract: the factory,
// postMessage, the listeners, terminate(). Answers are compared with the
// native engine's for the same lines (run with `make wasm-test`).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const wasmDir = path.resolve(process.env.KESTRANE_WASM_DIR || path.join(root, 'build-wasm'));
const native = path.resolve(process.env.KESTRANE_NATIVE || path.join(root, 'build/kestrane'));
const { default: factory } = await import(pathToFileURL(path.join(wasmDir, 'kestrane.js')).href);

function problem(name) {
  for (const line of fs.readFileSync(path.join(root, 'problems/zukou.sfen'), 'utf8').split('\n')) {
    const cells = line.split('\t');
    if (cells[2] && cells[2].startsWith(name + ' ')) return cells[0];
  }
  throw new Error('no ' + name);
}
const MATE_IN_ONE = '4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1';
const NO_MATE = '4k4/9/9/9/9/9/9/9/9 b P2r2b4g4s4n4l17p 1';
const ZUKOU_002 = problem('zukou-002');
const ZUKOU_100 = problem('zukou-100');

// A module as a host loads it: only locateFile (an href) and printErr.
async function load() {
  const errors = [];
  const engine = await factory({ locateFile: (name) => pathToFileURL(path.join(wasmDir, name)).href,
                                 printErr: (text) => errors.push(text) });
  const lines = [];
  const waiters = [];
  engine.addMessageListener((line) => {
    lines.push({ line, at: performance.now() });
    for (const w of waiters.slice()) if (w.test(line)) { waiters.splice(waiters.indexOf(w), 1); w.resolve(line); }
  });
  const until = (prefix, ms = 60000) => new Promise((resolve, reject) => {
    const seen = lines.find((l) => l.line.startsWith(prefix) && !l.taken);
    if (seen) { seen.taken = true; resolve(seen.line); return; }
    const timer = setTimeout(() => reject(new Error('no "' + prefix + '" within ' + ms + ' ms')), ms);
    waiters.push({ test: (line) => line.startsWith(prefix),
                   resolve: (line) => { clearTimeout(timer); lines.find((l) => l.line === line && !l.taken).taken = true; resolve(line); } });
  });
  return { engine, lines, errors, until, send: (line) => engine.postMessage(line) };
}

// The native engine's answer lines for the same input.
function nativeAnswers(input) {
  const run = spawnSync(native, [], { input: input.join('\n') + '\n', encoding: 'latin1', timeout: 120000 });
  assert.equal(run.status, 0, 'the native engine failed');
  return run.stdout.split('\n').filter((l) => l.startsWith('checkmate') || l.startsWith('bestmove'));
}

test('identification, readyok, and the answers of the native engine', async () => {
  const { send, until, lines, errors } = await load();
  send('usi');
  await until('usiok');
  const block = lines.map((l) => l.line);
  assert.deepEqual(block.slice(0, 2), ['id name Kestrane 1.2', 'id author Ilvar Quennet']);
  assert.ok(block.includes('option name Threads type spin default 1 min 1 max 1'), 'one thread only');
  const manifest = JSON.parse(fs.readFileSync(path.join(wasmDir, 'engine.json'), 'utf8'));
  assert.equal(manifest.abi, 'shogihome-wasm-engine/2');
  assert.equal('id name ' + manifest.name, block[0]);
  assert.equal('id author ' + manifest.author, block[1]);
  assert.equal(manifest.options.length, block.filter((l) => l.startsWith('option ')).length);
  assert.ok(manifest.presets.length >= 1 && manifest.presets.every((p) => p.id && p.displayName && p.values));
  send('isready');
  await until('readyok');

  const input = ['setoption name USI_Hash value 64', 'usinewgame'];
  for (const sfen of [MATE_IN_ONE, NO_MATE, ZUKOU_002]) input.push('position sfen ' + sfen, 'go mate 30000');
  input.push('go btime 0 wtime 0');
  for (const line of input) send(line);
  const got = [];
  for (let i = 0; i < 3; ++i) got.push(await until('checkmate'));
  got.push(await until('bestmove'));
  // The native engine's input simply ends: a "quit" would end its limited
  // solves early, as it does for scripts.
  const expected = nativeAnswers(['usi', 'isready', ...input]);
  assert.deepEqual(got, expected);
  assert.equal(got[0], 'checkmate G*5b');
  assert.equal(got[1], 'checkmate nomate');
  assert.equal(got[2].split(' ').length - 1, 21);
  assert.deepEqual(errors, []);
});

test('stop ends an unlimited search with its answer', async () => {
  const { send, until, lines } = await load();
  for (const line of ['usi', 'isready', 'usinewgame', 'position sfen ' + ZUKOU_100, 'go mate infinite']) send(line);
  await until('readyok');
  // Searching: the progress lines come while the module shares its thread.
  await until('info ', 5000);
  const sent = performance.now();
  send('stop');
  const answer = await until('checkmate', 5000);
  const latency = lines.find((l) => l.line === answer).at - sent;
  assert.ok(answer === 'checkmate timeout' || answer.startsWith('checkmate '), answer);
  // The budget of a stop is measured by the benchmark; here it must end
  // the search at all, well before a limit would.
  assert.ok(latency < 2000, 'stop answered after ' + latency + ' ms');
  // And the module goes on: a game's end, then the setup phase's isready.
  send('gameover lose');
  send('isready');
  await until('readyok', 5000);
});

test('nothing is printed after quit or terminate(), even during a search', async () => {
  for (const how of ['quit', 'terminate']) {
    const { engine, send, until, lines } = await load();
    for (const line of ['usi', 'isready', 'usinewgame', 'position sfen ' + ZUKOU_100, 'go mate 60000']) send(line);
    await until('info ', 5000);
    const count = lines.length;
    if (how === 'quit') send('quit'); else engine.terminate();
    send('isready');
    send('usi');
    await new Promise((resolve) => setTimeout(resolve, 1500));
    assert.equal(lines.length, count, how + ': ' + lines.slice(count).map((l) => l.line).join(' | '));
  }
});

test('a line of any length or bytes leaves the module answering', async () => {
  const { send, until, errors } = await load();
  send('usi');
  await until('usiok');
  send('usinewgame');
  send('position sfen ' + 'x'.repeat(30000));
  send('position sfen \u0000\uffff\ud800 9/9 b 99999999999999999999P 1');
  send('go mate 30000');
  await until('checkmate');
  send('position sfen ' + MATE_IN_ONE + '\r\ngo mate 30000');
  assert.equal(await until('checkmate'), 'checkmate G*5b');
  assert.deepEqual(errors, []);
});
