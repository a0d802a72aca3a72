// What the web page's 3D view costs to read a large OBJ under Node: the
// view's reader (web/src/view-read.js, thinned as it reads, fed 1 MB at a
// time, the file's bytes not counted) beside three.js's OBJLoader given the
// whole text, as the view read before (the text counted): seconds and the
// peak of the heap and array buffers above where each began. Run with --expose-gc so that each starts from a clean heap.
//   node --expose-gc bench/web_view_bench.mjs BUILD [GROUPS FACETS]   (default 40 4800: 15 MB)
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, statSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { readObj, thinner } from '../web/src/view-read.js';

const [build, groups = '40', facets = '4800'] = process.argv.slice(2);
const work = mkdtempSync(join(tmpdir(), 'quarlen-web-view-'));
const three = (p) => import(pathToFileURL(createRequire(resolve('web/package.json')).resolve(p)));
const { OBJLoader } = await three('three/examples/jsm/loaders/OBJLoader.js');
const budget = 50000;  // the view's budget when WebGL is drawn in software

const used = () => process.memoryUsage().heapUsed + process.memoryUsage().arrayBuffers;
async function measure(label, read) {
  globalThis.gc?.();
  const base = used();
  let peak = base;
  const timer = setInterval(() => { peak = Math.max(peak, used()); }, 5);
  const start = performance.now();
  const triangles = await read(() => { peak = Math.max(peak, used()); });
  const seconds = (performance.now() - start) / 1000;
  clearInterval(timer);
  console.log(`${label.padEnd(34)} ${seconds.toFixed(2).padStart(6)} s ${((peak - base) / 1e6).toFixed(0).padStart(6)} MB  ${triangles}`);
}

try {
  const model = join(work, 'model.rsr');
  execFileSync(resolve(build, 'bench/quarlen_bench'), ['--model', model, groups, facets]);
  execFileSync(resolve(build, 'cli/quarlen'), [model, join(work, 'model.obj')], { stdio: 'ignore' });
  const path = join(work, 'model.obj');
  console.log(`OBJ: ${(statSync(path).size / 1e6).toFixed(1)} MB; budget ${budget} triangles`);
  console.log('reader                                  time   peak above start   triangles');
  const bytes = readFileSync(path);  // stands for the file on disk, which the view reads a piece at a time
  await measure('view-read.js, 1 MB pieces', async (sample) => {
    const thin = thinner(budget);
    await readObj((function* () {
      for (let at = 0; at < bytes.length; at += 1 << 20) {
        sample();
        yield bytes.subarray(at, at + (1 << 20));
      }
    })(), thin, null);
    const { triangles, every } = thin.end();
    return `${triangles} read, every ${every}th kept`;
  });
  await measure('OBJLoader, whole text', async (sample) => {
    const model = new OBJLoader().parse(readFileSync(path, 'utf8'));
    sample();
    return `${model.children.reduce((n, c) => n + c.geometry.getAttribute('position').count / 3, 0)} read`;
  });
} finally {
  rmSync(work, { recursive: true, force: true });
}
