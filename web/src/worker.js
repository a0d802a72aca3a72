// The page's worker: converts one file at a time with the WebAssembly core,
// opens .zip archives and packs the download zip, so that the page never
// waits on any of them.
import { unzipSync, zipSync } from 'fflate';
import { convertFile, failure, startCore } from './core.js';
import { isRsr, relativePath } from './paths.js';

importScripts('quarlen-core.js');  // Emscripten's glue: defines createQuarlen

const compiled = WebAssembly.compileStreaming(fetch('quarlen-core.wasm'))
  .catch(() => fetch('quarlen-core.wasm').then((r) => r.arrayBuffer()).then((b) => WebAssembly.compile(b)));
let core = null;  // an instance dies with the memory it could not get; the next file starts another

async function instance() {
  core ??= await startCore(self.createQuarlen, await compiled);
  return core;
}

const jobs = {
  async convert({ path, bytes, args }) {
    let result;
    try {
      result = convertFile(await instance(), path, new Uint8Array(bytes), args);
    } catch (e) {
      core = null;
      result = failure(path, `stopped: this tab could not get the memory the file needs (${e.message})`);
    }
    return [{ result }, result.outputs.map((o) => o.bytes.buffer)];
  },
  unzip({ bytes }) {
    const entries = unzipSync(new Uint8Array(bytes), { filter: (f) => isRsr(f.name) });
    const files = Object.entries(entries).map(([name, data]) => ({ path: relativePath(name), bytes: data }))
      .filter((f) => f.path);
    return [{ files }, files.map((f) => f.bytes.buffer)];
  },
  zip({ files }) {
    const zip = zipSync(Object.fromEntries(files.map((f) => [f.path, [f.bytes, { level: 6 }]])));
    return [{ zip }, [zip.buffer]];
  },
  ready: async () => [{ ready: !!(await instance()) }, []],
};

self.onmessage = async ({ data }) => {
  try {
    const [reply, transfer] = await jobs[data.type](data);
    self.postMessage({ id: data.id, ...reply }, transfer);
  } catch (e) {
    self.postMessage({ id: data.id, error: e.message });
  }
};
