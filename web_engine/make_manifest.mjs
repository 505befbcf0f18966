// Writes engine.json beside the module, the manifest web GUIs read, from
// what the built module itself answers to "usi": the name, the author and
// the options are the engine's own lines, never a second copy of them.
import fs from 'fs';
import path from 'path';
import { pathToFileURL } from 'url';

const dir = path.resolve(process.argv[2]);
const { default: factory } = await import(pathToFileURL(path.join(dir, 'kestrane.js')).href);
const engine = await factory({ locateFile: (name) => pathToFileURL(path.join(dir, name)).href,
                               printErr: (text) => console.error(text) });
const lines = await new Promise((resolve) => {
  const seen = [];
  engine.addMessageListener((line) => {
    seen.push(line);
    if (line === 'usiok') resolve(seen);
  });
  engine.postMessage('usi');
});
engine.terminate();

function value(type, text) {
  if (type === 'check') return text === 'true';
  if (type === 'spin') return Number(text);
  return text;
}
const manifest = { abi: 'shogihome-wasm-engine/2', module: 'kestrane.js', moduleFormat: 'esm', name: '', author: '',
                   options: [], presets: [] };
for (const line of lines) {
  if (line.startsWith('id name ')) manifest.name = line.slice(8);
  else if (line.startsWith('id author ')) manifest.author = line.slice(10);
  else if (line.startsWith('option name ')) {
    const m = /^option name (\S+) type (\S+)(?: default (\S+))?(?: min (\S+))?(?: max (\S+))?$/.exec(line);
    if (!m) throw new Error('make_manifest: an option line it cannot read: ' + line);
    const option = { name: m[1], type: m[2] };
    if (m[3] !== undefined) option.default = value(m[2], m[3]);
    if (m[4] !== undefined) option.min = Number(m[4]);
    if (m[5] !== undefined) option.max = Number(m[5]);
    manifest.options.push(option);
  }
}
const defaults = Object.fromEntries(manifest.options.map((o) => [o.name, o.default]));
// Preset ids are published: never change one, add new ones instead.
manifest.presets = [
  { id: 'kestrane-solve', displayName: 'Solve (shortest mate)', values: defaults },
  { id: 'kestrane-solve-and-check', displayName: 'Solve and look for alternate solutions',
    values: { ...defaults, Do_YoTsume_Search: true } },
];
fs.writeFileSync(path.join(dir, 'engine.json'), JSON.stringify(manifest, null, 2) + '\n');
