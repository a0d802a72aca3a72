// The WebAssembly core under Node against the console program: every model
// below DIR converts to the same bytes, notices and outcome, with and
// without output options, and gives the same --info report.
//   node check_node.mjs QUARLEN WEB_DIST DIR
import { cpSync, readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';
import { convertFile, startCore } from '../../web/src/core.js';
import { compare, modelPaths, nativeInfo, nativeResults } from './native.mjs';

const [quarlen, dist, dir] = process.argv.slice(2);
export const optionSets = [
  [],
  ['--clean', '--mtl', '--triangulate'],
  ['--weld', '--scale', '0.01', '--z-up', '--lf', '--exact', '--mtl'],
  ['--glb'],
];

const createQuarlen = createRequire(import.meta.url)(resolve(dist, 'quarlen-core.js'));
const core = await startCore(createQuarlen, await WebAssembly.compile(readFileSync(join(dist, 'quarlen-core.wasm'))));
const paths = modelPaths(dir);

let failures = 0;
for (const [k, args] of optionSets.entries()) {
  const work = join(dir, `native-${k}`);
  cpSync(join(dir, 'lib'), join(work, 'lib'), { recursive: true });
  const ours = new Map(paths.map((p) => [p, convertFile(core, p, readFileSync(join(dir, p)), args)]));
  const theirs = nativeResults(quarlen, work, paths, args);
  const label = `wasm ${args.join(' ') || '(traditional)'}`;
  const differences = compare(label, ours, theirs);
  const converted = [...theirs.values()].filter((r) => r.converted).length;
  console.log(`${label}: ${paths.length} files (${converted} converted by the console program), ${differences} differ`);
  failures += differences;
  if (k === 0) {
    const reports = paths.filter((p) => ours.get(p).info !== nativeInfo(quarlen, dir, p));
    console.log(`wasm --info: ${paths.length - reports.length} of ${paths.length} reports as the console program's`);
    for (const p of reports.slice(0, 3)) console.log(`  ${p}:\n${ours.get(p).info}--- vs ---\n${nativeInfo(quarlen, dir, p)}`);
    failures += reports.length;
  }
}
process.exit(failures ? 1 : 0);
