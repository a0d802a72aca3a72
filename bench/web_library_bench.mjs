// The web page at library scale in headless Chromium: for libraries of
// COUNT copies of a 15 MB generated model (a folder with one sub-folder),
// the seconds to convert (the page's own status line) and to download
// quarlen-obj.zip, MB/s of input, and the peak proportional set size of all
// the browser's processes together. Then fflate's deflate levels 1 to 6 on
// the model's OBJ output under Node (the worker's deflate), MB/s and size.
//   node bench/web_library_bench.mjs BUILD [COUNT...]   (default 100 300;
//   web/dist built, Chromium installed)
import { execFileSync } from 'node:child_process';
import { linkSync, mkdirSync, mkdtempSync, readFileSync, rmSync, statSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { browserPssMB, downloaded, launch, openPage, root, serve, settled, watchPss } from '../tests/web/browser.mjs';

const [build, ...counts] = process.argv.slice(2);
const work = mkdtempSync(join(tmpdir(), 'quarlen-web-library-'));
const model = join(work, 'model.rsr');
execFileSync(resolve(build, 'bench/quarlen_bench'), ['--model', model, '40', '4800']);
const modelMB = statSync(model).size / 1e6;
const { origin, stop } = await serve();
try {
  console.log(`model: ${modelMB.toFixed(1)} MB; library: N copies, half in lib/, half in lib/sub/`);
  console.log('copies    input MB   convert s   MB/s   download s   zip MB   peak PSS MB (idle before)');
  for (const count of (counts.length ? counts : ['100', '300']).map(Number)) {
    const lib = join(work, 'lib');
    mkdirSync(join(lib, 'sub'), { recursive: true });
    for (let i = 0; i < count; ++i) linkSync(model, join(lib, i % 2 ? 'sub' : '', `m${i}.rsr`));
    const downloads = join(work, 'downloads');
    mkdirSync(downloads);
    const browser = await launch();
    try {
      const page = await openPage(browser, origin, downloads);
      const idle = browserPssMB(browser);
      const peak = watchPss(browser);
      await (await page.$('#files')).uploadFile(lib);
      await settled(page, count);
      const status = await page.$eval('#status', (e) => e.textContent);
      const convert = Number(/in ([\d.]+) s/.exec(status)[1]);
      const t = performance.now();
      await page.click('#download-all');
      if (!await downloaded(downloads, 'quarlen-obj.zip', 3600)) throw new Error('no quarlen-obj.zip');
      const download = (performance.now() - t) / 1000;
      const zipMB = statSync(join(downloads, 'quarlen-obj.zip')).size / 1e6;
      console.log(`${String(count).padStart(6)} ${(count * modelMB).toFixed(0).padStart(11)} ${convert.toFixed(1).padStart(11)}` +
        ` ${(count * modelMB / convert).toFixed(1).padStart(6)} ${download.toFixed(1).padStart(12)} ${zipMB.toFixed(0).padStart(8)}` +
        ` ${peak().toFixed(0).padStart(13)} (${idle.toFixed(0)})`);
    } finally {
      await browser.close();
      rmSync(lib, { recursive: true });
      rmSync(downloads, { recursive: true });
    }
  }

  // The worker deflates each output as it is made: the level's cost.
  const { Deflate } = createRequire(join(root, 'web/package.json'))('fflate');
  execFileSync(resolve(build, 'cli/quarlen'), [model, join(work, 'model.obj')], { stdio: 'ignore' });
  const obj = readFileSync(join(work, 'model.obj'));
  console.log(`fflate on the model's OBJ (${(obj.length / 1e6).toFixed(1)} MB), 1 MB pieces as the worker pushes them:`);
  for (let level = 1; level <= 6; ++level) {
    let stored = 0;
    const t = performance.now();
    const deflate = new Deflate({ level }, (chunk) => { stored += chunk.length; });
    for (let at = 0; at < obj.length; at += 1 << 20) deflate.push(obj.subarray(at, at + (1 << 20)), at + (1 << 20) >= obj.length);
    const s = (performance.now() - t) / 1000;
    console.log(`  level ${level}: ${s.toFixed(2)} s, ${(obj.length / 1e6 / s).toFixed(0)} MB/s, ${(100 * stored / obj.length).toFixed(1)}% of the size`);
  }
} finally {
  stop();
  rmSync(work, { recursive: true, force: true });
}
