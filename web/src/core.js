// The WebAssembly core as the worker and the tests call it: one file's bytes
// in; its outputs, notices, --info report and counts out. Every rule of the
// conversion (names of outputs, options, clashes) is the core's: this file
// only carries bytes and texts across.
import { inflateSync } from 'fflate';

const encoder = new TextEncoder();
const decoder = new TextDecoder();

// Starts a fresh instance of the compiled module. createQuarlen is the
// factory that Emscripten's glue (quarlen-core.js) defines.
export function startCore(createQuarlen, wasmModule) {
  return createQuarlen({
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(wasmModule, imports).then((instance) => receive(instance, wasmModule));
      return {};
    },
  });
}

function putText(core, text) {
  const bytes = encoder.encode(text + '\0');
  const at = core._malloc(bytes.length) >>> 0;
  if (at) core.HEAPU8.set(bytes, at);
  return at;
}

const text = (core, at) => {
  at >>>= 0;
  const end = core.HEAPU8.indexOf(0, at);
  return decoder.decode(core.HEAPU8.subarray(at, end));
};

// Calls fn with the texts put into the core's memory, freed afterwards;
// null when memory for them ran out.
function withTexts(core, texts, fn) {
  const at = texts.map((t) => putText(core, t));
  try {
    return at.every(Boolean) ? fn(...at) : null;
  } finally {
    for (const a of at) if (a) core._free(a);
  }
}

// The output options as the core describes them: [{ name, field,
// takesValue, withGlb, default, glbDefault, help }].
export const outputOptions = (core) => JSON.parse(text(core, core._web_options())).options;

// The output path of an input path with the options args; '' when args are
// not options.
export const outputPath = (core, path, args) =>
  withTexts(core, [path, args.join('\n')], (p, a) => text(core, core._web_output_path(p, a))) ?? '';

// The core's file for this engine: that with 128-bit lanes (the picture's
// raster draws 4 samples at a time) where it validates a function that
// splats a number into them, else the plain one.
const lanesProbe = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0,
  10, 8, 1, 6, 0, 65, 0, 253, 15, 11]);  // (func (result v128) i32.const 0 i8x16.splat)
export const coreFile = (wasm = WebAssembly) => (wasm.validate(lanesProbe) ? 'quarlen-core-simd.wasm' : 'quarlen-core.wasm');

// The largest input the core takes: its memory, one address space of 32
// bits (at most 4 GiB), holds the input whole and the conversion's own
// tables beside it.
export const maxInput = 2 ** 31;

export const megabytes = (n) => `${(n / 1e6).toFixed(1)} MB`;

// Why an input of size bytes (a number, exact up to 2^53) cannot be
// converted here, or ''.
export const sizeProblem = (size) =>
  (size > maxInput ? `too large: ${megabytes(size)} (${size} bytes), and this page converts files of up to ${megabytes(maxInput)}` : '');

// Room in the core's memory for an input of size bytes and one spare byte,
// which the caller fills (core.HEAPU8 from the returned address) and hands
// to convertPlaced, or gives back with core._free; 0 when the tab has not
// the memory, or size is past maxInput (_malloc would keep its low 32 bits
// alone).
export const placeInput = (core, size) =>
  (Number.isSafeInteger(size) && size >= 0 && size <= maxInput ? core._malloc(size + 1) >>> 0 : 0);

// Inflates the deflate stream packed into the block at at (placeInput's,
// of size bytes and the spare byte); returns the bytes it holds, up to
// size + 1: one more than size tells a stream that holds more. fflate
// writes into a view of the block, and a typed array takes no write past
// its end (set() throws for one, which is told as a stream that holds
// more). Unlike a DecompressionStream's, its output leaves no garbage of
// the inflated size behind.
export function inflatePlaced(core, packed, at, size) {
  try {
    return packed.length ? inflateSync(packed, { out: core.HEAPU8.subarray(at, at + size + 1) }).length : 0;
  } catch (e) {
    if (e instanceof RangeError) return size + 1;
    throw e;
  }
}

// The side of the pictures the page shows, in pixels.
export const pictureSize = 64;

// Converts the size bytes placed at inputAt (placeInput; freed here), known
// to the user as path (ending in .rsr), with the console program's output
// options (args, such as ['--clean', '--scale', '0.01']). earlier: the path
// of an earlier input with the same output, or ''. picture: the side in
// pixels of the model's picture drawn in the same run (0: none). Each block
// of output goes to write(slot, bytes) as it is made (slot 0: NAME.obj or
// NAME.glb, 1: NAME.mtl, 2: the picture, NAME.png, once the run ends; bytes
// a view into the core's memory, valid during the call); write returns
// false when it could not take the block, and the file then fails as on a
// full disk. Returns { converted, outputs: [{ path, slot, size, crc }],
// picture (as an output, or null: not asked for, or a failed file with
// nothing drawn), notices, info, counts, seconds }. Throws when the
// instance dies (memory it could not get); it is then of no further use.
export function convertPlaced(core, path, inputAt, size, args, earlier, write, picture = 0) {
  console.assert(size <= maxInput, 'an input past maxInput is never placed');
  core.storeWrite = (slot, at, n) => write(slot, core.HEAPU8.subarray(at, at + n));
  const at = withTexts(core, [path, args.join('\n'), earlier],
    (p, a, e) => core._web_convert(p, inputAt, size, a, e, picture) >>> 0);  // frees the input
  if (at === null) core._free(inputAt);
  if (!at) return failure(path, 'not enough memory in this tab to convert the file');
  const count = (i) => core._web_result_count(at, i);
  const result = {
    converted: core._web_result_converted(at) === 1,
    outputs: [],
    notices: text(core, core._web_result_notices(at)),
    info: text(core, core._web_result_info(at)),
    counts: count(0) < 0 ? null : { groups: count(0), points: count(1), textureVertices: count(2), facets: count(3) },
    seconds: core._web_result_seconds(at),
  };
  const made = [0, 1, 2].map((slot) => {
    const outPath = text(core, core._web_result_path(at, slot));
    return outPath ? { path: outPath, slot, size: core._web_result_size(at, slot), crc: core._web_result_crc(at, slot) >>> 0 } : null;
  });
  result.outputs = made.slice(0, 2).filter(Boolean);
  result.picture = made[2];
  core._web_free(at);
  return result;
}

// The CRC-32 of the size bytes at address at of the core's memory,
// continued from crc.
export const crcPlaced = (core, crc, at, size) => core._web_crc32(crc, at, size) >>> 0;

function joined(parts) {
  const all = new Uint8Array(parts.reduce((n, p) => n + p.length, 0));
  let at = 0;
  for (const p of parts) {
    all.set(p, at);
    at += p.length;
  }
  return all;
}

// As convertPlaced, for bytes in hand, with the outputs' bytes gathered.
export function convertFile(core, path, bytes, args, earlier = '', picture = 0) {
  const at = placeInput(core, bytes.length);
  if (!at) return failure(path, 'not enough memory in this tab for the file');
  core.HEAPU8.set(bytes, at);
  const chunks = [[], [], []];
  const result = convertPlaced(core, path, at, bytes.length, args, earlier, (slot, b) => chunks[slot].push(b.slice()), picture);
  for (const o of [...result.outputs, result.picture].filter(Boolean)) o.bytes = joined(chunks[o.slot]);
  return result;
}

// Why a file fails when the store for results has no room for it.
export const storeFull = 'not converted: the store for results is full';

// A file that failed before the core could run, told as a notice line.
export function failure(path, why) {
  return { converted: false, outputs: [], picture: null, notices: `${path}: ${why}\n`, info: '', counts: null };
}
