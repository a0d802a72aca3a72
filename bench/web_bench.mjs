// The web page's speed and memory on the benchmark model, against the
// native core on one thread: MB/s under Node (the page's core call) and in
// headless Chromium (the page itself: reading the file, the worker, the
// conversion, deflating the output into storage, the row), and peak memory of each.
//   node bench/web_bench.mjs BUILD [GROUPS POINTS]   (default 40 x 25000:
//   1,000,000 points; web/dist built, Chromium installed)
import { execFileSync, spawn } from 'node:child_process';
import { mkdtempSync, readdirSync, readFileSync, rmSync, statSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { convertFile, coreFile, startCore } from '../web/src/core.js';

const root = join(dirname(fileURLToPath(import.meta.url)), '..');
const require = createRequire(join(root, 'web/package.json'));
const [build, groups = '40', points = '25000'] = process.argv.slice(2);
const runs = 3;
const dist = join(root, 'web/dist');
const work = mkdtempSync(join(tmpdir(), 'quarlen-web-bench-'));
const model = join(work, 'model.rsr');
const bench = resolve(build, 'bench/quarlen_bench');
execFileSync(bench, ['--model', model, groups, points]);
const inMB = statSync(model).size / 1e6;
const best = (times) => Math.min(...times);
const row = (what, seconds, outMB, peakMB) =>
  console.log(`${what.padEnd(34)} ${seconds.toFixed(3).padStart(7)} s ${(inMB / seconds).toFixed(1).padStart(7)} MB/s in` +
    ` ${(outMB / seconds).toFixed(1).padStart(7)} MB/s OBJ   peak ${peakMB.toFixed(0).padStart(5)} MB`);

// Native: the core on one thread, a fresh process each time, to a file.
const native = [];
let nativePeak = 0;
for (let i = 0; i < runs; ++i) {
  const t = performance.now();
  const kb = Number(execFileSync(bench, ['--peak', '1', model, join(work, 'model.obj')]));
  native.push((performance.now() - t) / 1000);
  nativePeak = Math.max(nativePeak, kb / 1024);
}
const outMB = statSync(join(work, 'model.obj')).size / 1e6;
console.log(`model: ${groups} groups x ${points} points, ${inMB.toFixed(1)} MB; OBJ ${outMB.toFixed(1)} MB; best of ${runs}`);
row('native, 1 thread, to a file', best(native), outMB, nativePeak);

// Node: the worker's call into the WebAssembly core, outputs copied out.
const createQuarlen = require(join(dist, 'quarlen-core.js'));
const core = await startCore(createQuarlen, await WebAssembly.compile(readFileSync(join(dist, coreFile()))));
const bytes = readFileSync(model);
const node = [];
const run = [];
for (let i = 0; i < runs; ++i) {
  const t = performance.now();
  const r = convertFile(core, 'model.rsr', bytes, []);
  node.push((performance.now() - t) / 1000);
  run.push(r.seconds);
  if (!r.converted || Math.abs(r.outputs[0].bytes.length / 1e6 - outMB) > 1e-6) throw new Error('the wasm output differs in size');
}
row('WebAssembly under Node: the run', best(run), outMB, process.resourceUsage().maxRSS / 1024);
row('  the whole call (counts, copies out)', best(node), outMB, process.resourceUsage().maxRSS / 1024);

// Chromium: the page converts the model given through its file input; the
// time is the page's own (its status line), memory the renderer's peak.
const puppeteer = require('puppeteer-core');
const port = 8000 + (process.pid % 1000);
const server = spawn(join(root, 'tools/serve-web.sh'), [String(port)], { stdio: 'ignore', detached: true });
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
});
// The highest peak resident memory among the browser's renderers (the page
// and its worker live in one).
const renderersPeakMB = () => {
  const parent = (pid) => Number(readFileSync(`/proc/${pid}/stat`, 'utf8').replace(/^.*\) /, '').split(' ')[1]);
  const ours = (pid) => {
    for (let p = pid; p > 1; p = parent(p)) if (p === browser.process().pid) return true;
    return false;
  };
  let peak = 0;
  for (const pid of readdirSync('/proc').filter((p) => /^\d+$/.test(p))) {
    try {
      if (!readFileSync(`/proc/${pid}/cmdline`, 'utf8').includes('--type=renderer') || !ours(Number(pid))) continue;
      const hwm = /VmHWM:\s+(\d+)/.exec(readFileSync(`/proc/${pid}/status`, 'utf8'));
      if (hwm) peak = Math.max(peak, Number(hwm[1]) / 1024);
    } catch { /* gone meanwhile */ }
  }
  return peak;
};
try {
  const page = await browser.newPage();
  await new Promise((r) => setTimeout(r, 800));
  await page.goto(`http://localhost:${port}/`);
  await page.waitForSelector('body[data-state="idle"]');
  const chromium = [];
  let lag = 0;
  for (let i = 0; i < runs; ++i) {
    if (i === 0) await (await page.$('#pick-files')).uploadFile(model);
    else await page.click('#convert-again');
    await page.waitForFunction(() => document.body.dataset.state === 'converting' || document.querySelector('tr[data-status]'));
    // The page answers while the worker converts: the longest wait for it.
    while (await page.evaluate(() => document.body.dataset.state) !== 'idle') {
      const t = performance.now();
      await page.evaluate(() => 0);
      lag = Math.max(lag, performance.now() - t);
      await new Promise((r) => setTimeout(r, 20));
    }
    const status = await page.$eval('#status', (e) => e.textContent);
    const outcome = await page.$eval('tr[data-path]', (tr) => tr.dataset.status);
    if (outcome !== 'converted') throw new Error(`the page: ${outcome}: ${status}`);
    chromium.push(Number(/in ([\d.]+) s/.exec(status)[1]));
  }
  row('the page in headless Chromium', best(chromium), outMB, renderersPeakMB());
  console.log(`the page answered within ${lag.toFixed(0)} ms at worst while converting`);
} finally {
  await browser.close();
  process.kill(-server.pid);
  rmSync(work, { recursive: true, force: true });
}
