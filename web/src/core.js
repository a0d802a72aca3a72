// The WebAssembly core as the worker and the tests call it: one file's bytes
// in, its outputs, notices, --info report and counts out.

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

// The output paths of an input path: NAME.rsr becomes NAME.obj (and
// NAME.mtl), or NAME.glb with --glb, as the console program names them.
export function outputPath(path, extension) {
  return path.slice(0, -4) + extension;
}

export function outputExtension(args) {
  return args.includes('--glb') ? '.glb' : '.obj';
}

function putText(core, text) {
  const bytes = encoder.encode(text + '\0');
  const at = core._malloc(bytes.length) >>> 0;
  if (at) core.HEAPU8.set(bytes, at);
  return at;
}

// Converts bytes known to the user as path (ending in .rsr) with the
// console program's output options (args, such as ['--clean', '--scale',
// '0.01']). Returns { converted, outputs: [{ path, bytes }], notices, info,
// counts, seconds }. Throws when the instance dies (memory it could not get); it is
// then of no further use.
export function convertFile(core, path, bytes, args) {
  const pathAt = putText(core, path);
  const argsAt = putText(core, args.join('\n'));
  const inputAt = core._malloc(Math.max(bytes.length, 1)) >>> 0;
  if (!pathAt || !argsAt || !inputAt) {
    for (const at of [pathAt, argsAt, inputAt]) if (at) core._free(at);
    return failure(path, `not enough memory in this tab for the file (${(bytes.length / 1e6).toFixed(1)} MB)`);
  }
  core.HEAPU8.set(bytes, inputAt);
  const at = core._web_convert(pathAt, inputAt, bytes.length, argsAt) >>> 0;  // frees the input
  core._free(pathAt);
  core._free(argsAt);
  if (!at) return failure(path, 'not enough memory in this tab to convert the file');
  const word = (i) => core.HEAPU32[(at >>> 2) + i];
  const block = (i) => core.HEAPU8.slice(word(i), word(i) + word(i + 1));
  const counts = new Float64Array(core.HEAPU8.buffer, at + 40, 6);
  const result = {
    converted: word(0) === 1,
    outputs: [],
    notices: decoder.decode(block(5)),
    info: decoder.decode(block(7)),
    counts: { groups: counts[0], points: counts[1], textureVertices: counts[2], facets: counts[3] },
    seconds: { convert: counts[4], info: counts[5] },
  };
  if (word(1)) result.outputs.push({ path: outputPath(path, outputExtension(args)), bytes: block(1) });
  if (word(3)) result.outputs.push({ path: outputPath(path, '.mtl'), bytes: block(3) });
  core._web_free(at);
  return result;
}

// A file that failed before the core could run, told as a notice line.
export function failure(path, text) {
  return { converted: false, outputs: [], notices: `${path}: ${text}\n`, info: '', counts: null };
}
