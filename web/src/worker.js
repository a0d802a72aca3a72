// One of the page's converters (it runs one a processor): lists the
// inputs of .zip archives (archives.js), storing the deflated zips inside
// them, and reads one input at a time into the WebAssembly core (a file,
// or an entry of an archive, sliced from it and, when deflated, inflated
// straight into the core's memory), then writes each output block by block
// as the core makes it, and the model's picture (a PNG file the core draws
// in the same run) beside them: into a pack, a file of the origin private file
// system (store.js) that takes outputs one after another, through a sync
// access handle, or, in a browser without one, into a Blob held in memory.
// Outputs are stored as they are (zip method 0) or, for a smaller zip,
// deflated on the way; pictures are stored as they are. Jobs run one after another, in the order they come;
// after an input that grew its memory large, it asks the page to end it.
import { Deflate } from 'fflate';
import { archiveInputs } from './archives.js';
import { convertPlaced, coreFile, crcPlaced, failure, inflatePlaced, outputOptions, outputPath, placeInput, startCore, storeFull } from './core.js';
import { removeStored, storeFolder } from './store.js';
import { entryStream, packedBytes, ZipProblem } from './unzip.js';

importScripts('quarlen-core.js');  // Emscripten's glue: defines createQuarlen

// fflate's level for the smaller zip: of 1 to 6, 2 was both the fastest and
// smaller than 1 on the benchmark's model (bench/web_library_bench.mjs).
const level = 2;

const compiled = WebAssembly.compileStreaming(fetch(coreFile()))
  .catch(() => fetch(coreFile()).then((r) => r.arrayBuffer()).then((b) => WebAssembly.compile(b)));
let core = null;  // an instance dies with the memory it could not get; the next file starts another
// An instance's memory only grows, and the memory of one dropped waits for
// a garbage collection that an idle worker may never run: a converter whose
// instance grew past this for a large input asks the page to end it once
// the input is done (jobWorker in main.js), which gives the browser all of
// its memory back at once.
const keepBytes = 512 * 2 ** 20;
const innerKept = 64 * 2 ** 20;  // bytes of inner zips one archive's listing inflates before the worker retires
let onDisk = null;  // the store: files of the origin private file system, else Blobs in memory; null until known
let serial = 0;

// On disk, outputs are stored in packs: a pack is a file of the store that
// takes the outputs of this converter's jobs one after another until it
// holds packBytes or the page asks for it to be sealed; a sealed pack is
// never written again, so that a File read from it stays readable (in
// Chromium one goes stale once its file grows). A file for each output
// cost the browser about 3 kB of memory for as long as the tab lived.
const packBytes = 32e6;
let pack = null;  // the pack being written: { name, path (FOLDER/NAME in the store), access, end }, or null
// Once a conversion grew a core past keepBytes (or a listing inflated
// inner zips past innerKept), the page ends this worker when it holds no
// job: every pack written from then on is sealed with its job, or it would
// stay open for good.
let retiring = false;

async function instance() {
  core ??= await startCore(self.createQuarlen, await compiled);
  return core;
}

// True when c holds more memory than a converter keeps; it is dropped.
function tooBig(c) {
  if (c.HEAPU8.length <= keepBytes) return false;
  if (core === c) core = null;
  return true;
}

// True when this browser gives workers files of the origin private file
// system with sync access handles (not WebKitGTK, Firefox's private
// windows or older Safari); the file opened to find out is the first pack.
async function diskStore() {
  try {
    pack = await openPack();
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

// A new file of the store, empty: { name, path (FOLDER/NAME), access }.
async function openStoreFile() {
  const { name: folderName, folder } = await storeFolder();
  for (let tries = 1; ; ++tries) {
    const name = String(++serial);
    const handle = await folder.getFileHandle(name, { create: true });
    const opening = handle.createSyncAccessHandle();
    let timer;
    const access = await Promise.race([opening, new Promise((r) => { timer = setTimeout(r, openMilliseconds, null); })]);
    clearTimeout(timer);
    if (access) return { name, path: `${folderName}/${name}`, access, handle };
    opening.then((late) => late.close(), () => {}).finally(() => folder.removeEntry(name).catch(() => {}));
    if (tries === openTries) throw new Error('the browser did not open a file to store the output in');
  }
}

// A new pack, empty.
async function openPack() {
  const { name, path, access } = await openStoreFile();
  return { name, path, access, end: 0 };
}

// Stores the size bytes of stream (an inflated zip inside an archive) for
// the page to read where they lie: { file, spill (its path in the store) },
// or in a browser without a store, { file (a Blob in memory), spill: null }.
// Throws a ZipProblem when the stream holds more or less than size.
async function keepInflated(stream, size) {
  const target = onDisk ? await openStoreFile() : null;
  const parts = [];
  let n = 0;
  try {
    for await (const bytes of readStream(stream, size)) {
      if (target) target.access.write(bytes, { at: n });
      else parts.push(bytes);
      n += bytes.length;
    }
    if (!target) return { file: new Blob(parts), spill: null };
    target.access.close();
    return { file: await target.handle.getFile(), spill: target.path };
  } catch (e) {
    if (target) {
      target.access.close();
      await removeStored(target.path);
    }
    throw e;
  }
}

// Seals the pack being written; its path, or null when there was none or
// it held nothing (it is then removed).
async function seal() {
  if (!pack) return null;
  const { name, path, access, end } = pack;
  pack = null;
  access.close();
  if (end) return path;
  await (await storeFolder()).folder.removeEntry(name).catch(() => {});
  return null;
}

// Where one job's outputs (slot 0; 1: NAME.mtl, which the core ends while
// slot 0 may still grow; 2: NAME.png, the picture) go, raw: write[slot](bytes)
// stores a block or throws when the store refuses it; bodies(made) ends the
// outputs of the slots made and gives each slot's body ({ pack: its path in
// the store, at }, or { blob }); drop() takes back all that the job stored.
async function diskOutputs() {
  pack ??= await openPack();
  const target = pack;
  const start = target.end;
  const put = (bytes, at) => {
    if (target.access.write(bytes, { at }) !== bytes.length) throw new Error('the store took part of a block');
  };
  let first = 0;
  const held = [null, [], []];  // slots 1 and 2, small, held until slot 0 ends
  return {
    write: [
      (bytes) => {
        put(bytes, start + first);
        first += bytes.length;
      },
      (bytes) => held[1].push(bytes.slice()),
      (bytes) => held[2].push(bytes.slice()),
    ],
    bodies(made) {
      const at = [start];
      let end = start + first;
      for (const slot of [1, 2]) {
        at[slot] = end;
        if (made.includes(slot)) for (const bytes of held[slot]) { put(bytes, end); end += bytes.length; }
      }
      target.access.flush();
      target.end = end;
      return at.map((a) => ({ pack: target.path, at: a }));
    },
    drop() {
      target.access.truncate(start);
      target.access.flush();
      target.end = start;
    },
  };
}

// The same in memory, up to room.bytes in all.
function memoryOutputs(room) {
  const parts = [[], [], []];
  let stored = 0;
  const keep = (slot) => (bytes) => {
    if (stored + bytes.length > room.bytes) throw new Error('the bound is reached');
    parts[slot].push(bytes.slice());
    stored += bytes.length;
  };
  return { write: [keep(0), keep(1), keep(2)], bodies: () => parts.map((p) => ({ blob: new Blob(p) })), drop() {} };
}

// One job's outputs, stored as they are or deflated (not the picture, a
// PNG file, whose bytes are deflated already): put(slot, bytes)
// stores a block, false when the store refused it (its quota or bound
// reached); finish(made) ends the outputs of the slots made and gives what
// the page needs of each stored body ({ stored, method, and where it lies }),
// or null when the store refused a block; drop() takes back all of them.
function jobOutputs(raw, deflate) {
  let full = false;
  const stored = [0, 0, 0];
  const plain = raw.write.map((write, slot) => (bytes) => {
    write(bytes);
    stored[slot] += bytes.length;
  });
  const deflaters = plain.map((write, slot) => (deflate && slot < 2 ? new Deflate({ level }, write) : null));
  const guarded = (fn) => {
    try {
      if (!full) fn();
    } catch {
      full = true;
    }
    return !full;
  };
  return {
    put: (slot, bytes) => guarded(() => (deflaters[slot] ? deflaters[slot].push(bytes) : plain[slot](bytes))),
    finish(made) {
      let bodies = null;
      for (const slot of made) if (deflaters[slot]) guarded(() => deflaters[slot].push(new Uint8Array(0), true));
      if (made.length) guarded(() => { bodies = raw.bodies(made); });
      return full ? null : made.map((slot) => ({ ...bodies[slot], stored: stored[slot], method: deflaters[slot] ? 8 : 0 }));
    },
    drop: () => raw.drop(),
  };
}

const holdsMore = 'damaged in its archive: it holds more than its archive says';
const cutShort = 'damaged in its archive: it is cut short';
// The problem of an input of n bytes where its archive says size.
const sizeProblem = (n, size) => new ZipProblem(n > size ? holdsMore : cutShort);

// The blocks of stream, which must hold size bytes: one that holds more
// is stopped before the block that passes size, and throws a ZipProblem,
// as one cut short does.
async function* readStream(stream, size) {
  const reader = stream.getReader();
  let n = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    if (n + value.length > size) {
      reader.cancel();
      throw sizeProblem(n + value.length, size);
    }
    yield value;
    n += value.length;
  }
  if (n !== size) throw sizeProblem(n, size);
}

// Reads the size bytes of stream into the core's block at at.
async function readInto(c, stream, at, size) {
  let n = 0;
  for await (const bytes of readStream(stream, size)) {
    c.HEAPU8.set(bytes, at + n);
    n += bytes.length;
  }
}

// The input's bytes as they lie (deflated for a deflated entry), read
// while the converter converts the input before it: { bytes } or
// { error }. Reading keeps going in the browser while the core runs.
async function readAhead(source) {
  try {
    const { archive, entry } = source;
    return { bytes: entry ? await packedBytes(archive, entry) : new Uint8Array(await source.arrayBuffer()) };
  } catch (error) {
    return { error };
  }
}

// The input's bytes to the core's memory: its address, or a failure.
// ahead: the promise of readAhead(source), or null to read them now.
async function place(c, path, source, ahead = null) {
  const size = source.entry ? source.entry.size : source.size;
  const at = placeInput(c, size);
  if (!at) return { fail: failure(path, `not enough memory in this tab for the file (${(size / 1e6).toFixed(1)} MB)`) };
  console.assert(at + size + 1 <= c.HEAPU8.length, 'the block lies in the core\'s memory');
  try {
    const { archive, entry } = source;
    const read = ahead && await ahead;
    if (read?.error) throw read.error;
    if (entry?.method === 8) {
      const n = inflatePlaced(c, read?.bytes ?? await packedBytes(archive, entry), at, size);
      if (n !== size) throw sizeProblem(n, size);
    } else if (read) {
      if (read.bytes.length !== size) throw sizeProblem(read.bytes.length, size);
      c.HEAPU8.set(read.bytes, at);
    } else {
      await readInto(c, entry ? await entryStream(archive, entry) : source.stream(), at, size);
    }
    if (entry && crcPlaced(c, 0, at, size) !== entry.crc) throw new ZipProblem('damaged in its archive: its bytes do not match their check sum');
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
  // room: { bytes } that the memory store may still take (unused on disk);
  // picture: the picture's side in pixels, or 0 for none. The reply holds
  // the picture's bytes too, for the page to show at once.
  async convert({ path, source, args, earlier, deflate, room, picture, ahead }) {
    const c = await instance();
    onDisk ??= await diskStore();  // a converter started again after one died
    // The store first: one that cannot be had fails the job with nothing
    // else to give back.
    const outputs = jobOutputs(onDisk ? await diskOutputs() : memoryOutputs(room), deflate);
    const input = await place(c, path, source, ahead);
    let result = input.fail;
    let png = null;
    const put = (slot, bytes) => {
      if (slot === 2) png = bytes.slice();
      return outputs.put(slot, bytes);
    };
    try {
      result ??= convertPlaced(c, path, input.at, input.size, args, earlier, put, picture);
    } catch (e) {
      core = null;
      result = failure(path, `stopped: this tab could not get the memory the file needs (${e.message})`);
    }
    retiring ||= tooBig(c);
    const made = [...result.outputs, result.picture].filter(Boolean);
    const bodies = outputs.finish(made.map((o) => o.slot));
    if (!bodies || !bodies.length) outputs.drop();  // nothing half-written is kept
    const sealed = retiring || pack?.end >= packBytes ? await seal() : null;
    const read = input.fail ? 0 : input.size;
    if (!bodies) return { result: failure(path, storeFull), full: onDisk ? 'quota' : 'bound', read, sealed, retire: retiring };
    const { converted, notices, info, counts, seconds } = result;
    const stored = made.map((o, k) => ({ path: o.path, size: o.size, crc: o.crc, ...bodies[k] }));
    const shown = result.picture ? { ...stored.pop(), bytes: png } : null;
    return { result: { converted, notices, info, counts, seconds, outputs: stored, picture: shown }, read, sealed, retire: retiring };
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
    tooBig(c);
    return { notices: result.notices, info: result.info };
  },
  async outputs({ paths, args }) {
    const c = await instance();
    return { outputs: paths.map((p) => outputPath(c, p, args)) };
  },
  // The inputs of the archive file, picked as path (archives.js); the
  // inner zips it stored that no input reads are removed at once.
  // Inflating inner zips leaves garbage of their size that an idle worker
  // keeps (some 200 MB for 640 MiB): past innerKept, the worker retires.
  async list({ file, path }) {
    onDisk ??= await diskStore();
    let inflated = 0;
    const keep = (stream, size) => {
      inflated += size;
      return keepInflated(stream, size);
    };
    const { inputs, skipped, spills } = await archiveInputs(file, path, keep);
    const read = new Set(inputs.flatMap((i) => i.source?.spills ?? []));
    for (const spill of spills.filter((s) => !read.has(s))) await removeStored(spill);
    retiring ||= inflated > innerKept;
    return { inputs, skipped, sealed: retiring ? await seal() : null, retire: retiring };
  },
  // Seals the pack being written (see packBytes), so that it can be read.
  async seal() {
    return { sealed: await seal() };
  },
  async ready() {
    const c = await instance();
    onDisk ??= await diskStore();
    return { options: outputOptions(c), onDisk };
  },
};
let chain = Promise.resolve();
let held = 0;  // jobs taken and not yet answered
self.onmessage = ({ data }) => {
  // An input sent while another converts is read meanwhile (main.js pump).
  const ahead = data.type === 'convert' && held ? readAhead(data.source) : null;
  held += 1;
  chain = chain.then(async () => {
    try {
      self.postMessage({ id: data.id, ...await jobs[data.type]({ ...data, ahead }) });
    } catch (e) {
      self.postMessage({ id: data.id, error: e.message });
    } finally {
      held -= 1;
    }
  });
};
