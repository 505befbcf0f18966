// The engine for the solving page, off the page's thread: USI lines both
// ways, and the page's own calls (read a problem file, draw a known line,
// check a problem as kestrane-check does).
import factory from './kestrane.js';

let engine = null;
const ready = factory({
  locateFile: (name) => new URL(name, import.meta.url).href,
  printErr: (text) => postMessage({ type: 'error', text: String(text) }),
}).then((module) => {
  engine = module;
  engine.addMessageListener((line) => postMessage({ type: 'usi', line }));
  engine.FS.mkdir('/problems');
  postMessage({ type: 'ready' });
  return module;
});

let files = 0;
// A problem file in the module's file system; the checker reads it there.
function writeProblem(name, bytes) {
  const safe = String(name).replace(/[^A-Za-z0-9._-]/g, '_').slice(-60) || 'problem.sfen';
  const path = '/problems/' + (++files) + '-' + safe;
  engine.FS.writeFile(path, bytes);
  return path;
}

onmessage = async (event) => {
  const m = event.data;
  await ready;
  if (m.type === 'usi') {
    engine.postMessage(m.line);
  } else if (m.type === 'read') {
    const path = writeProblem(m.name, new Uint8Array(m.bytes));
    const text = await engine.kestraneText('kestrane_read_problem', ['string'], [path]);
    const cells = text.split('\t');
    postMessage(cells[0] === 'ok'
      ? { type: 'problem', id: m.id, sfen: cells[1], stated: cells[2] ? cells[2].split(' ') : [], path }
      : { type: 'problem', id: m.id, error: cells.slice(1).join(' ') });
  } else if (m.type === 'line-report') {
    const html = await engine.kestraneText('kestrane_line_report', ['string', 'string', 'string', 'number', 'number'],
                                           [m.sfen, m.moves.join(' '), m.name, m.shortest ? 1 : 0, Math.round(m.ms)]);
    postMessage({ type: 'report', id: m.id, html });
  } else if (m.type === 'check') {
    // A file the page opened keeps its stated line; a board becomes a line
    // of an SFEN file.
    const path = m.path || writeProblem(m.name + '.sfen', new TextEncoder().encode(m.sfen + '\t?\t' + m.name + '\n'));
    const html = await engine.kestraneText('kestrane_check_report', ['string', 'number', 'number', 'number'],
                                           [path, m.limitMs, m.altSeconds, m.hashMb]);
    postMessage({ type: 'report', id: m.id, html });
  }
};
