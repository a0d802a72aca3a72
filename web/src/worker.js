// One of the page's converters (it runs one a processor): reads one input
// at a time into the WebAssembly core (a file, or an entry of a .zip
// archive sliced from it and inflated by the browser as it is read) and
// writes each output block by block as the core makes it: into a file of
// the origin private file system (store.js) through a sync access handle,
// or, in a browser without one, into a Blob held in memory. Outputs are
// stored as they are (zip method 0) or, for a smaller zip, deflated on the
// way. Jobs run one after another, in the order they come.
import { Deflate } from 'fflate';
import { convertPlaced, crcPlaced, failure, outputOptions, outputPath, placeInput, startCore } from './core.js';
import { storeFolder } from './store.js';
import { entryStream, readDirectory, ZipProblem } from './unzip.js';

importScripts('quarlen-core.js');  // Emscripten's glue: defines createQuarlen

// fflate's level for the smaller zip: of 1 to 6, 2 was both the fastest and
// smaller than 1 on the benchmark's model (bench/web_library_bench.mjs).
const level = 2;

const compiled = WebAssembly.compileStreaming(fetch('quarlen-core.wasm'))
  .catch(() => fetch('quarlen-core.wasm').then((r) => r.arrayBuffer()).then((b) => WebAssembly.compile(b)));
let core = null;  // an instance dies with the memory it could not get; the next file starts another
let onDisk = false;  // the store: files of the origin private file system, else Blobs in memory
let serial = 0;
const spare = [];  // store files opened ahead and left unused: { name, access }

async function instance() {
  core ??= await startCore(self.createQuarlen, await compiled);
  return core;
}

// True when this browser gives workers files of the origin private file
// system with sync access handles (not WebKitGTK, Firefox's private
// windows or older Safari).
async function diskStore() {
  try {
    spare.push(await openFile());
    return true;
  } catch {
    return false;
  }
}

// Chromium has been seen to leave one createSyncAccessHandle() among
// thousands unanswered for good, which would hold the run forever: a file
// that does not open within this time is given up for a fresh one (and
// closed and removed should it open later); after a few such files the
// output fails in words.
const openMilliseconds = 5000;
const openTries = 4;

async function openFile() {
  const { folder } = await storeFolder();
  for (let tries = 1; ; ++tries) {
    const name = String(++serial);
    const handle = await folder.getFileHandle(name, { create: true });
    const opening = handle.createSyncAccessHandle();
    let timer;
    const access = await Promise.race([opening, new Promise((r) => { timer = setTimeout(r, openMilliseconds, null); })]);
    clearTimeout(timer);
    if (access) return { name, access };
    opening.then((late) => late.close(), () => {}).finally(() => folder.removeEntry(name).catch(() => {}));
    if (tries === openTries) throw new Error('the browser did not open a file to store the output in');
  }
}

// Where one output's blocks go. put(bytes) stores them, and end() the
// deflater's last ones, false when the store refused them (its quota or
// bound reached: full is then set); body() gives what the page needs of
// the stored body ({ stored, method, and folder and name, or blob });
// drop() forgets it.
async function openSink(deflate, room) {
  let stored = 0;
  let write;
  let body;
  let drop;
  if (onDisk) {
    const file = spare.pop() ?? await openFile();
    const { folder, name } = await storeFolder();
    write = (bytes) => { stored += file.access.write(bytes, { at: stored }); };
    body = () => {
      file.access.flush();
      file.access.close();
      return { folder: name, name: file.name };
    };
    drop = () => {
      if (stored === 0) return spare.push(file);
      file.access.close();
      return folder.removeEntry(file.name).catch(() => {});
    };
  } else {
    let parts = [];
    write = (bytes) => {
      if (stored + bytes.length > room.bytes) throw new Error('the bound is reached');
      parts.push(bytes.slice());
      stored += bytes.length;
    };
    body = () => ({ blob: new Blob(parts) });
    drop = () => { parts = []; };
  }
  const deflater = deflate ? new Deflate({ level }, write) : null;
  const guarded = (fn) => {
    try {
      fn();
      return true;
    } catch {
      sink.full = true;
      return false;
    }
  };
  const sink = {
    full: false,
    put: (bytes) => guarded(() => (deflater ? deflater.push(bytes) : write(bytes))),
    end: () => !deflater || guarded(() => deflater.push(new Uint8Array(0), true)),
    body: () => ({ stored, method: deflate ? 8 : 0, ...body() }),
    drop,
  };
  return sink;
}

// Reads the size bytes of stream to the core's memory at at.
async function readInto(c, stream, at, size) {
  const reader = stream.getReader();
  let n = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    if (n + value.length > size) {
      reader.cancel();
      throw new ZipProblem('damaged in its archive: it holds more than its archive says');
    }
    c.HEAPU8.set(value, at + n);
    n += value.length;
  }
  if (n !== size) throw new ZipProblem('damaged in its archive: it is cut short');
}

// The input's bytes to the core's memory: its address, or a failure.
async function place(c, path, source) {
  const size = source.entry ? source.entry.size : source.size;
  const at = placeInput(c, size);
  if (!at) return { fail: failure(path, `not enough memory in this tab for the file (${(size / 1e6).toFixed(1)} MB)`) };
  try {
    if (source.entry) {
      await readInto(c, await entryStream(source.archive, source.entry), at, size);
      if (crcPlaced(c, 0, at, size) !== source.entry.crc) throw new ZipProblem('damaged in its archive: its bytes do not match their check sum');
    } else {
      await readInto(c, source.stream(), at, size);
    }
    return { at, size };
  } catch (e) {
    c._free(at);
    const why = e instanceof ZipProblem ? e.message
      : source.entry ? `damaged in its archive: it could not be read (${e.message})`
        : `could not be read; was it changed or removed since it was chosen? (${e.message})`;
    return { fail: failure(path, why) };
  }
}

const jobs = {
  // room: { bytes } that the memory store may still take (unused on disk).
  async convert({ path, source, args, earlier, deflate, room }) {
    const c = await instance();
    // The store files first: one that cannot be had fails the job with
    // nothing else to give back (an unused one goes back among the spares).
    const first = await openSink(deflate, room);
    const sinks = [first, await openSink(deflate, room).catch(async (e) => {
      await first.drop();
      throw e;
    })];
    const input = await place(c, path, source);
    if (input.fail) {
      for (const s of sinks) await s.drop();
      return { result: input.fail };
    }
    let result;
    try {
      result = convertPlaced(c, path, input.at, input.size, args, earlier, (slot, bytes) => sinks[slot].put(bytes));
    } catch (e) {
      core = null;
      result = failure(path, `stopped: this tab could not get the memory the file needs (${e.message})`);
    }
    const made = new Set(result.outputs.map((o) => o.slot));
    if (sinks.every((s, slot) => !made.has(slot) || s.end()) && !sinks.some((s) => s.full)) {
      for (const [slot, s] of sinks.entries()) if (!made.has(slot)) await s.drop();
      const { converted, notices, info, counts, seconds } = result;
      const outputs = result.outputs.map((o) => ({ path: o.path, size: o.size, crc: o.crc, ...sinks[o.slot].body() }));
      return { result: { converted, notices, info, counts, seconds, outputs } };
    }
    for (const s of sinks) await s.drop();  // nothing half-written is kept
    return { result: failure(path, 'not converted: the store for results is full'), full: onDisk ? 'quota' : 'bound' };
  },
  // A file's notices and --info report, read again (its outputs made and
  // dropped): of a converted file the page keeps only counts.
  async details({ path, source, args, earlier }) {
    const c = await instance();
    const input = await place(c, path, source);
    if (input.fail) return { notices: input.fail.notices, info: '' };
    let result;
    try {
      result = convertPlaced(c, path, input.at, input.size, args, earlier, () => true);
    } catch (e) {
      core = null;
      throw e;
    }
    return { notices: result.notices, info: result.info };
  },
  async outputs({ paths, args }) {
    const c = await instance();
    return { outputs: paths.map((p) => outputPath(c, p, args)) };
  },
  // The archive's entries, or the plain words for why it cannot be read.
  async list({ file }) {
    try {
      return { entries: await readDirectory(file) };
    } catch (e) {
      return { problem: e instanceof ZipProblem ? e.message : `could not be read (${e.message})` };
    }
  },
  async ready() {
    const c = await instance();
    onDisk = await diskStore();
    return { options: outputOptions(c), onDisk };
  },
};
let chain = Promise.resolve();
self.onmessage = ({ data }) => {
  chain = chain.then(async () => {
    try {
      self.postMessage({ id: data.id, ...await jobs[data.type](data) });
    } catch (e) {
      self.postMessage({ id: data.id, error: e.message });
    }
  });
};
