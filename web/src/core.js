// The WebAssembly core as the worker and the tests call it: one file's bytes
// in; its outputs, notices, --info report and counts out. Every rule of the
// conversion (names of outputs, options, clashes) is the core's: this file
// only carries bytes and texts across.

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

// Converts bytes known to the user as path (ending in .rsr) with the console
// program's output options (args, such as ['--clean', '--scale', '0.01']).
// earlier: the path of an earlier input with the same output, or ''.
// Returns { converted, outputs: [{ path, bytes }], notices, info, counts,
// seconds }; each output's bytes are a view into the core's memory, valid
// until release() is called. Throws when the instance dies (memory it could
// not get); it is then of no further use.
export function convertInPlace(core, path, bytes, args, earlier = '') {
  const inputAt = core._malloc(Math.max(bytes.length, 1)) >>> 0;
  if (!inputAt) return failure(path, `not enough memory in this tab for the file (${(bytes.length / 1e6).toFixed(1)} MB)`);
  core.HEAPU8.set(bytes, inputAt);
  const at = withTexts(core, [path, args.join('\n'), earlier],
    (p, a, e) => core._web_convert(p, inputAt, bytes.length, a, e) >>> 0);  // frees the input
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
    release: () => core._web_free(at),
  };
  for (const i of [0, 1]) {
    const outPath = text(core, core._web_result_path(at, i));
    const data = core._web_result_bytes(at, i) >>> 0;
    if (outPath) result.outputs.push({ path: outPath, bytes: core.HEAPU8.subarray(data, data + core._web_result_size(at, i)) });
  }
  return result;
}

// As convertInPlace, with the outputs copied out of the core's memory.
export function convertFile(core, path, bytes, args, earlier = '') {
  const result = convertInPlace(core, path, bytes, args, earlier);
  for (const o of result.outputs) o.bytes = o.bytes.slice();
  result.release();
  delete result.release;
  return result;
}

// A file that failed before the core could run, told as a notice line.
export function failure(path, why) {
  return { converted: false, outputs: [], notices: `${path}: ${why}\n`, info: '', counts: null, release() {} };
}
