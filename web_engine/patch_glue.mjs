// Mends the module glue that this toolchain writes (an ES module), so that a
// host passing only `locateFile` (an href beside the module) and `printErr`
// loads it in Node.js and in a browser Worker, classic or module:
// - in Node.js the glue calls require and reads __dirname, which an ES
//   module does not have;
// - it fetches the .wasm by a file: URL, which Node.js cannot fetch, and
//   reads a file: href given by locateFile as if it were a path;
// - a module Worker has no importScripts, so the glue took it for neither
//   a browser nor a Worker and could not read the .wasm without streaming.
// Every mend must find its text: a toolchain that writes other glue fails
// the build here instead of failing in a host.
import fs from 'fs';

const file = process.argv[2];
let glue = fs.readFileSync(file, 'utf8');
const MARK = '// kestrane: glue mended\n';
if (glue.startsWith(MARK)) process.exit(0);

function mend(from, to, count) {
  const found = glue.split(from).length - 1;
  if (found !== count) {
    console.error(`patch_glue: expected ${count} of ${JSON.stringify(from)} in ${file}, found ${found}`);
    process.exit(1);
  }
  glue = glue.split(from).join(to);
}

mend('filename=nodePath["normalize"](filename)',
     'filename=String(filename).startsWith("file:")?require("url").fileURLToPath(String(filename)):nodePath["normalize"](filename)', 2);
mend('if(!wasmBinary&&typeof WebAssembly.instantiateStreaming=="function"',
     'if(!wasmBinary&&!ENVIRONMENT_IS_NODE&&typeof WebAssembly.instantiateStreaming=="function"', 1);
mend('var ENVIRONMENT_IS_WORKER=typeof importScripts=="function";',
     'var ENVIRONMENT_IS_WORKER=typeof importScripts=="function"||typeof WorkerGlobalScope!="undefined"&&self instanceof WorkerGlobalScope;', 1);
mend('scriptDirectory=__dirname+"/"', 'scriptDirectory=kestraneDirname+"/"', 1);

const head = MARK +
  "const kestraneNode = typeof process == 'object' && typeof process.versions == 'object' &&\n" +
  "  typeof process.versions.node == 'string';\n" +
  "const require = kestraneNode ? (await import('module')).createRequire(import.meta.url) : undefined;\n" +
  "const kestraneDirname = kestraneNode ? require('path').dirname(require('url').fileURLToPath(import.meta.url)) : '';\n";
fs.writeFileSync(file, head + glue);
