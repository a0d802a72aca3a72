// One of the page's converters (it runs one a processor, up to four):
// converts one file at a time with the WebAssembly core and deflates each output as it is made into a file of the origin
// private file system (store.js), so that neither the page nor this worker
// holds more than the model at hand. It also opens .zip archives. Jobs run
// one after another, in the order they come.
import { Deflate, unzipSync } from 'fflate';
import { convertInPlace, failure, outputOptions, outputPath, startCore } from './core.js';
import { isRsr, relativePath } from './paths.js';
import { storeFolder } from './store.js';
import { crc32 } from './zip.js';

importScripts('quarlen-core.js');  // Emscripten's glue: defines createQuarlen

// fflate's level for stored outputs: of 1 to 6, 2 was both the fastest and
// smaller than 1 on the benchmark's model (bench/web_library_bench.mjs).
const level = 2;
const piece = 1 << 20;  // bytes deflated at a time

const compiled = WebAssembly.compileStreaming(fetch('quarlen-core.wasm'))
  .catch(() => fetch('quarlen-core.wasm').then((r) => r.arrayBuffer()).then((b) => WebAssembly.compile(b)));
let core = null;  // an instance dies with the memory it could not get; the next file starts another
let serial = 0;

async function instance() {
  core ??= await startCore(self.createQuarlen, await compiled);
  return core;
}

// Deflates bytes into the open file access; returns what its zip entry needs.
function deflateInto(access, bytes) {
  let stored = 0;
  let crc = 0;
  const deflate = new Deflate({ level }, (chunk) => {
    stored += access.write(chunk, { at: stored });
  });
  for (let at = 0; ; at += piece) {
    const part = bytes.subarray(at, at + piece);
    crc = crc32(part, crc);
    deflate.push(part, at + piece >= bytes.length);
    if (at + piece >= bytes.length) break;
  }
  access.flush();
  return { size: bytes.length, crc, stored };
}

const jobs = {
  async convert({ path, source, args, earlier }) {
    const bytes = source instanceof Blob ? new Uint8Array(await source.arrayBuffer()) : source;
    const { name: folderName, folder } = await storeFolder();
    // The files are opened before the conversion: the outputs are views into
    // the core's memory, which nothing may move until they are stored.
    const files = [];
    for (let i = 0; i < 2; ++i) {
      const name = String(++serial);
      const handle = await folder.getFileHandle(name, { create: true });
      files.push({ name, access: await handle.createSyncAccessHandle() });
    }
    let result;
    try {
      result = convertInPlace(await instance(), path, bytes, args, earlier);
    } catch (e) {
      core = null;
      result = failure(path, `stopped: this tab could not get the memory the file needs (${e.message})`);
    }
    const outputs = [];
    try {
      result.outputs.forEach((o, i) => outputs.push({ path: o.path, folder: folderName, name: files[i].name, ...deflateInto(files[i].access, o.bytes) }));
    } finally {
      result.release();
      for (const f of files) f.access.close();
      for (const f of files.slice(outputs.length)) await folder.removeEntry(f.name);
    }
    const { converted, notices, info, counts, seconds } = result;
    return [{ result: { converted, notices, info, counts, seconds, outputs } }, []];
  },
  // A file's notices and --info report, read again: of a converted file the
  // page keeps only counts.
  async details({ path, source, args, earlier }) {
    const bytes = source instanceof Blob ? new Uint8Array(await source.arrayBuffer()) : source;
    let result;
    try {
      result = convertInPlace(await instance(), path, bytes, args, earlier);
    } catch (e) {
      core = null;
      throw e;
    }
    const { notices, info } = result;
    result.release();
    return [{ notices, info }, []];
  },
  async outputs({ paths, args }) {
    const c = await instance();
    return [{ outputs: paths.map((p) => outputPath(c, p, args)) }, []];
  },
  unzip({ bytes }) {
    const entries = unzipSync(new Uint8Array(bytes), { filter: (f) => isRsr(f.name) });
    const files = Object.entries(entries).map(([name, data]) => ({ path: relativePath(name), bytes: data }))
      .filter((f) => f.path);
    return [{ files }, files.map((f) => f.bytes.buffer)];
  },
  async ready() {
    const c = await instance();
    await storeFolder();
    return [{ options: outputOptions(c) }, []];
  },
};

let chain = Promise.resolve();
self.onmessage = ({ data }) => {
  chain = chain.then(async () => {
    try {
      const [reply, transfer] = await jobs[data.type](data);
      self.postMessage({ id: data.id, ...reply }, transfer);
    } catch (e) {
      self.postMessage({ id: data.id, error: e.message });
    }
  });
};
