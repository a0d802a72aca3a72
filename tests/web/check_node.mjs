// The WebAssembly core under Node against the console program: every model
// below DIR converts to the same bytes, notices and outcome, with and
// without output options, with its picture drawn in the same run, and each
// file that converts comes with the --info report of the console program
// (the conversion counts what it reads; a failed one stops where --info may
// read on).
//   node check_node.mjs QUARLEN WEB_DIST DIR
import { spawnSync } from 'node:child_process';
import { copyFileSync, cpSync, existsSync, mkdirSync, readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { crc32, deflateRawSync } from 'node:zlib';
import { convertFile, coreFile, inflatePlaced, maxInput, outputPath, placeInput, sizeProblem, startCore } from '../../web/src/core.js';
import { mtlColors, readGlb, readObj, thinner } from '../../web/src/view-read.js';
import { compare, modelPaths, nativeInfo, nativeResults } from './native.mjs';

const [quarlen, dist, dir] = process.argv.slice(2);
export const optionSets = [
  [],
  ['--clean', '--mtl', '--triangulate'],
  ['--weld', '--scale', '0.01', '--z-up', '--lf', '--exact', '--mtl'],
  ['--glb'],
];

// The core a browser with 128-bit lanes loads (Node has them), and below
// the plain one for those without.
const createQuarlen = createRequire(import.meta.url)(resolve(dist, 'quarlen-core.js'));
const loadCore = async (file) => startCore(createQuarlen, await WebAssembly.compile(readFileSync(join(dist, file))));
const core = await loadCore(coreFile());
const paths = modelPaths(dir);

let failures = 0;
const infos = {};  // path -> the console program's --info report
const drawn = [];  // the traditional conversion's results, with their pictures
for (const [k, args] of optionSets.entries()) {
  const work = join(dir, `native-${k}`);
  cpSync(join(dir, 'lib'), join(work, 'lib'), { recursive: true });
  const ours = new Map(paths.map((p) => [p, convertFile(core, p, readFileSync(join(dir, p)), args, '', 64)]));
  if (!k) drawn.push(...ours);
  const theirs = nativeResults(quarlen, work, paths, args);
  const label = `wasm ${args.join(' ') || '(traditional)'}`;
  // The CRC-32 and size the core counts as it writes, for the zip's headers.
  const miscounted = [...ours.values()].flatMap((r) => [...r.outputs, r.picture ?? []].flat()).filter((o) => o.crc !== crc32(o.bytes) || o.size !== o.bytes.length);
  if (miscounted.length) console.log(`${label}: CRC-32 or size miscounted for ${miscounted.map((o) => o.path).slice(0, 3)}`);
  const differences = compare(label, ours, theirs) + miscounted.length;
  console.log(`${label}: ${paths.length} files (${[...theirs.values()].filter((r) => r.converted).length} converted by the console program), ${differences} differ`);
  failures += differences;
  const converted = paths.filter((p) => ours.get(p).converted);
  const reports = converted.filter((p) => ours.get(p).info !== (infos[p] ??= nativeInfo(quarlen, dir, p)));
  console.log(`${label}: ${converted.length - reports.length} of ${converted.length} --info reports as the console program's`);
  for (const p of reports.slice(0, 3)) console.log(`  ${p}:\n${ours.get(p).info}--- vs ---\n${infos[p]}`);
  failures += reports.length;
}

// Pictures: every converted file has one, a PNG of 64 x 64 pixels named as
// `quarlen --png` names it; the placeholder (that of a converted file without
// facets) is that of no model with facets (but the seeds, whose points lie
// up to 10^12 apart: their facets are too thin to cover a pixel) and of no
// failed file, which has a picture only when something was drawn.
const placeholder = drawn.find(([, r]) => r.converted && r.counts.facets === 0)?.[1].picture.bytes;
const unlike = drawn.filter(([path, r]) => {
  const png = r.picture && Buffer.from(r.picture.bytes);
  const square = png?.subarray(0, 8).equals(Buffer.from('\x89PNG\r\n\x1a\n', 'latin1')) && png.readUInt32BE(16) === 64 && png.readUInt32BE(20) === 64;
  const wantPlaceholder = r.converted && (r.counts.facets === 0 || path.includes('/seeds/'));
  return png ? !square || r.picture.path !== path.replace(/rsr$/i, 'png') || (!wantPlaceholder && png.equals(placeholder)) : r.converted;
});
console.log(`pictures: ${drawn.filter(([, r]) => r.picture).length} of ${paths.length} files, ${unlike.length} not as wanted (${unlike.slice(0, 3).map(([p]) => p)})`);
failures += !placeholder + unlike.length;
// The plain core writes the same bytes and draws the same pictures.
const plain = await loadCore('quarlen-core.wasm');
const bytesOf = (r) => JSON.stringify([r.notices, ...[...r.outputs, r.picture ?? []].flat().map((o) => [o.path, Buffer.from(o.bytes).toString('base64')])]);
const apart = drawn.filter(([p, r]) => bytesOf(r) !== bytesOf(convertFile(plain, p, readFileSync(join(dir, p)), [], '', 64)));
console.log(`plain core: ${coreFile() === 'quarlen-core.wasm' ? 'LOADED BY NODE' : 'not loaded by Node'}, ${apart.length} of ${drawn.length} files otherwise than the core with lanes (${apart.slice(0, 3).map(([p]) => p)})`);
failures += apart.length + (coreFile() === 'quarlen-core.wasm');

// Two inputs with one output: the core names the output and tells the
// later input's failure as the console program's batch does.
const pair = ['clash/x.RSR', 'clash/x.rsr'];
mkdirSync(join(dir, 'clash'));
for (const p of pair) copyFileSync(join(dir, 'lib/sample.rsr'), join(dir, p));
const batch = spawnSync(quarlen, ['-r', 'clash'], { cwd: dir }).stderr.toString();
const told = convertFile(core, pair[1], readFileSync(join(dir, pair[1])), [], pair[0]);
const same = outputPath(core, pair[0], []) === outputPath(core, pair[1], []);
console.log(`clash: ${JSON.stringify(told.notices)} ${same && !told.converted && batch.includes(told.notices) ? 'as' : 'NOT as'} the batch's`);
if (!same || told.converted || !batch.includes(told.notices)) failures += 1;
// Sizes past maxInput, and at 2^32 and beyond (which _malloc would cut to their low 32 bits), are refused before the memory
// grows; a deflate stream inflated into a block of 1,000 bytes gives its size, or 1,001 when it holds more (coded or stored),
// and writes nothing past the block's spare byte.
const heap = core.HEAPU8.length;
const placed = [maxInput + 1, 2 ** 32 - 1, 2 ** 32, 2 ** 32 + 16, 2 ** 53 + 2].filter((n) => placeInput(core, n) || !/^too large/.test(sizeProblem(n)));
const block = placeInput(core, 1000);
const past = (at = block + 1001) => core.HEAPU8.slice(at, at + 100).join();
const [before, held] = [past(), [[1000, 1], [999, 1], [5000, 1], [5000, 0]].map(([n, level]) => inflatePlaced(core, deflateRawSync(Buffer.alloc(n, 7), { level }), block, 1000))];
const bounded = !placed.length && !sizeProblem(maxInput) && core.HEAPU8.length === heap && past() === before && held.join() === '1000,999,1001,1001';
console.log(`sizes: ${bounded ? 'refused past' : 'NOT bounded at'} ${maxInput} bytes and at 2^32 and beyond, inflated into the block alone (${held})`);
failures += bounded ? 0 : 1;
core._free(block);
// The view's reader (view-read.js), given each OBJ (with and without .mtl)
// and GLB the console program wrote, in pieces that cut lines and records,
// reads the groups, colours and finite triangles three.js's OBJLoader and
// GLTFLoader read (a GLB's names aside: three.js makes them unique); under
// a budget of 50 it keeps at most 50: those whose number is a multiple of
// its n.
const three = (p) => import(pathToFileURL(createRequire(resolve(dist, '../package.json')).resolve(p)));
const { OBJLoader } = await three('three/examples/jsm/loaders/OBJLoader.js');
const { MTLLoader } = await three('three/examples/jsm/loaders/MTLLoader.js');
const { GLTFLoader } = await three('three/examples/jsm/loaders/GLTFLoader.js');
const { Color } = await three('three/src/math/Color.js');
const { LinearSRGBColorSpace } = await three('three/src/constants.js');
const triangles = (p) => Array.from({ length: p.length / 9 }, (_, t) => Array.from(p.subarray(9 * t, 9 * t + 9)));
// A three.js object's name (none for a GLB), colour and finite triangles
// (of its meshes, or of the lines that OBJLoader makes of some faces).
const seen = (group, name, color) => {
  const corners = [];
  group.traverse((o) => {
    if (!o.geometry) return;
    const position = o.geometry.getAttribute('position');
    const index = o.geometry.getIndex();
    for (let i = 0; i < (index ? index.count : position.count); ++i) {
      const v = index ? index.getX(i) : i;
      corners.push(position.getX(v), position.getY(v), position.getZ(v));
    }
  });
  return [name, color, triangles(Float32Array.from(corners)).filter((t) => t.every(Number.isFinite))];
};
const quiet = (fn) => {
  const warn = console.warn;
  console.warn = () => {};  // OBJLoader tells each line it skips (vt, l, p)
  try { return fn(); } finally { console.warn = warn; }
};
const views = [0, 1].flatMap((k) => paths.map((p) => join(dir, `native-${k}`, p.replace(/\.rsr$/i, '.obj'))))
  .concat(paths.map((p) => join(dir, 'native-3', p.replace(/\.rsr$/i, '.glb')))).filter((f) => existsSync(f));
let misread = 0;
for (const file of views) {
  const bytes = readFileSync(file);
  let want;
  let read;
  if (file.endsWith('.glb')) {
    const model = await new Promise((done, fail) => new GLTFLoader().parse(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length), '', (g) => done(g.scene), fail));
    want = model.children.map((c) => { let m; c.traverse((o) => { m ??= o.isMesh ? o.material : undefined; }); return seen(c, null, m ? m.color.getHex() : null); });
    read = (chunks, thin) => readGlb(chunks, thin, (c) => new Color().setRGB(c[0], c[1], c[2], LinearSRGBColorSpace).getHex());
  } else {
    const mtlFile = file.replace(/\.obj$/, '.mtl');
    const mtl = file.includes('native-1') ? readFileSync(mtlFile, 'utf8') : null;
    const loader = new OBJLoader();
    if (mtl) loader.setMaterials(new MTLLoader().parse(mtl, ''));
    const model = quiet(() => loader.parse(new TextDecoder().decode(bytes)));
    want = model.children.map((c) => seen(c, c.name, mtl ? [c.material].flat()[0].color.getHex() : null));
    read = (chunks, thin) => readObj(chunks, thin, mtl ? mtlColors(mtl) : null);
  }
  const pieces = async function* () { for (let at = 0; at < bytes.length; at += 97) yield bytes.subarray(at, at + 97); };
  const [all, thinned] = await Promise.all([Infinity, 50].map(async (budget) => {
    const thin = thinner(budget);
    await read(pieces(), thin);
    return thin.end();
  }));
  const named = (name) => (file.endsWith('.glb') ? null : name);
  const got = (r) => JSON.stringify(r.groups.map((g) => [named(g.name), g.color, triangles(g.positions)]));
  let number = 0;
  const every = want.map(([name, color, ts]) => [name, color, ts.filter(() => number++ % thinned.every === 0)]);
  const kept = thinned.groups.reduce((n, g) => n + g.positions.length / 9, 0);
  if (got(all) !== JSON.stringify(want) || got(thinned) !== JSON.stringify(every) || kept > 50 || thinned.triangles !== number) {
    if (++misread < 4) console.log(`view reader: ${file}: read otherwise than three.js reads it, or thinned wrongly (${kept} kept)`);
  }
}
console.log(`view reader: ${misread} of ${views.length} OBJ and GLB files read otherwise than three.js reads them or thinned wrongly`);
failures += misread;
process.exit(failures ? 1 : 0);
