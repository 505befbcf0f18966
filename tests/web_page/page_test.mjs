// The solving page in headless Chromium, served on loopback (make wasm-test):
// set up a problem three ways, solve, step to the end with the board read
// back and compared with the rules reference at every ply, stop, and check.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { serve } from '../../web/serve.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const pageDir = path.resolve(process.env.KESTRANE_PAGE_DIR || path.join(root, 'build-wasm/page'));
const referenceBoards = path.resolve(process.env.KESTRANE_REFERENCE_BOARDS || path.join(root, 'build/tests/reference_boards'));
const browserPath = process.env.KESTRANE_CHROMIUM || '/usr/bin/chromium';

function problem(name) {
  for (const line of fs.readFileSync(path.join(root, 'problems/zukou.sfen'), 'utf8').split('\n')) {
    const cells = line.split('\t');
    if (cells[2] && cells[2].startsWith(name + ' ')) return cells[0];
  }
  throw new Error('no ' + name);
}
const ZUKOU_002 = problem('zukou-002');
const ZUKOU_100 = problem('zukou-100');

let server, browser, url;
before(async () => {
  server = await serve(pageDir);
  url = `http://127.0.0.1:${server.address().port}/`;
  browser = await chromium.launch({ executablePath: browserPath, args: ['--no-sandbox', '--disable-gpu'] });
});
after(async () => {
  await browser?.close();
  server?.close();
});

async function open(viewport = { width: 1100, height: 900 }) {
  const page = await browser.newPage({ viewport });
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  page.on('requestfailed', (r) => errors.push('request failed: ' + r.url()));
  page.on('request', (r) => { if (!r.url().startsWith(url)) errors.push('outside request: ' + r.url()); });
  const opened = performance.now();
  await page.goto(url);
  await page.addScriptTag({ path: path.join(root, 'tests/browser/diagram_reading.js') });
  await page.waitForFunction(() => document.getElementById('status').textContent === 'Ready.', null, { timeout: 30000 });
  return { page, errors, opened };
}

// What the diagram inside `selector` shows: "board hands", as the rules
// reference writes a position.
function shown(page, selector) {
  return page.evaluate((sel) => {
    const svg = document.querySelector(sel);
    const hands = kestraneDiagram.hand(svg, 'b') + kestraneDiagram.hand(svg, 'w');
    return kestraneDiagram.board(svg) + ' ' + (hands || '-');
  }, selector);
}

test('paste zukou-002, solve, and step to the end as the rules reference plays it', async () => {
  const { page, errors, opened } = await open();
  await page.fill('#sfen', ZUKOU_002);
  await page.click('#set');
  assert.equal(await page.evaluate(() => kestranePage.sfen()), ZUKOU_002);
  await page.click('#solve');
  await page.waitForSelector('#results section.problem', { timeout: 30000 });
  const answered = performance.now();
  const status = await page.textContent('#status');
  assert.match(status, /^Mate in 21, proven shortest /);
  assert.match(await page.textContent('#results .verdict'), /^Mate in 21, proven shortest\. Check soundness/);
  assert.ok(await page.isChecked('#rest'), 'zukou-002 gives the defender every piece not placed');
  assert.match(await page.textContent('#first'), /^First mate found after/);
  const moves = await page.evaluate(() => JSON.parse(document.querySelector('#results script.plies').textContent).usi);
  assert.equal(moves.length, 21);
  const expected = execFileSync(referenceBoards, [ZUKOU_002, ...moves], { encoding: 'utf8' }).trim().split('\n');
  assert.equal(expected.length, 22, 'the answer is not legal by the rules reference');
  const svg = '#results section.problem svg.diagram';
  for (let ply = 0; ply <= 21; ++ply) {
    assert.equal(await shown(page, svg), expected[ply], 'after ply ' + ply);
    assert.equal(await page.textContent('#results .ply'), ply + ' / 21');
    if (ply < 21) await page.click('#results button[data-step="next"]');
  }
  assert.ok(await page.isDisabled('#results button[data-step="next"]'));
  // Keys step too: back one, then home.
  await page.click('#results section.problem');
  await page.keyboard.press('ArrowLeft');
  assert.equal(await page.textContent('#results .ply'), '20 / 21');
  await page.keyboard.press('Home');
  assert.equal(await shown(page, svg), expected[0]);
  assert.deepEqual(errors, []);
  console.log(`# page opened and answered zukou-002 in ${((answered - opened) / 1000).toFixed(2)} s`);
  await page.close();
});

test('a position set by clicks, and a problem file opened', async () => {
  const { page, errors } = await open();
  await page.click('#clear');
  // The defender's king on 1a, a gold on 1c for the attacker, a gold in hand.
  const box = await page.locator('#board').boundingBox();
  const at = (file, rank) => ({ x: box.x + (12 + (9 - file) * 40 + 20) * box.width / 396,
                                y: box.y + (62 + (rank - 1) * 40 + 20) * box.height / 470 });
  await page.click('#side');
  await page.click('#palette button[data-piece="K"]');
  await page.mouse.click(at(1, 1).x, at(1, 1).y);
  await page.click('#side');
  await page.click('#palette button[data-piece="G"]');
  await page.mouse.click(at(1, 3).x, at(1, 3).y);
  await page.click('#hand button[data-hand="G"]:last-child');
  assert.equal(await page.evaluate(() => kestranePage.sfen()), '8k/9/8G/9/9/9/9/9/9 b G2r2b2g4s4n4l18p 1');
  assert.equal(await shown(page, '#board'), '8k/9/8G/9/9/9/9/9/9 G2r2b2g4s4n4l18p');
  // A second click with the same piece takes it away again.
  await page.mouse.click(at(1, 3).x, at(1, 3).y);
  assert.equal(await page.evaluate(() => kestranePage.sfen()), '8k/9/9/9/9/9/9/9/9 b G2r2b3g4s4n4l18p 1');
  await page.mouse.click(at(1, 3).x, at(1, 3).y);
  await page.click('#solve');
  await page.waitForSelector('#results section.problem', { timeout: 30000 });
  assert.match(await page.textContent('#status'), /^Mate in 1\b/);

  // A KIF file keeps its own defender's hand (none here) and its stated line.
  await page.setInputFiles('#file', path.join(root, 'tests/fixtures/page/stated-line.kif'));
  await page.waitForFunction(() => document.getElementById('sfen').value.startsWith('6Gbk/'), null, { timeout: 10000 });
  assert.equal(await page.inputValue('#sfen'), '6Gbk/9/8N/7+P1/9/9/9/9/9 b - 1');
  assert.match(await page.textContent('#message'), /states a line of 3 plies/);
  // Its check judges the file's line: another first move also mates.
  await page.selectOption('#limit', '10000');
  await page.click('#check');
  await page.waitForSelector('#results section.problem', { timeout: 60000 });
  assert.match(await page.textContent('#results .verdict'), /^Alternate solution from ply 1/);
  assert.deepEqual(errors, []);
  await page.close();
});

test('stop ends a solve without a limit, on a phone-sized screen', async () => {
  const { page, errors } = await open({ width: 390, height: 844 });
  assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= innerWidth), 'the page is wider than the phone');
  await page.fill('#sfen', ZUKOU_100);
  await page.click('#set');
  await page.selectOption('#limit', '0');
  await page.click('#solve');
  await page.waitForFunction(() => /nodes/.test(document.getElementById('status').textContent), null, { timeout: 10000 });
  assert.ok(await page.isEnabled('#stop'));
  await page.click('#stop');
  await page.waitForFunction(() => /^(No mate found in time|Mate in)/.test(document.getElementById('status').textContent),
                             null, { timeout: 5000 });
  assert.ok(await page.isEnabled('#solve'));
  assert.deepEqual(errors, []);
  await page.close();
});

test('the soundness check of kestrane-check, for the problem on the board', async () => {
  const { page, errors } = await open();
  await page.fill('#sfen', ZUKOU_002);
  await page.click('#set');
  await page.selectOption('#limit', '10000');
  await page.click('#check');
  await page.waitForSelector('#results section.problem', { timeout: 60000 });
  assert.match(await page.textContent('#results .verdict'), /^Sound: mate in 21, no alternate solution/);
  // A row per ply, each decided.
  assert.equal(await page.locator('#results .plies-table tbody tr').count(), 21);
  assert.equal(await page.locator('#results .plies-table tr.ply-undecided').count(), 0);
  assert.deepEqual(errors, []);
  await page.close();
});
