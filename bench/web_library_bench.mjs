// The web page at library scale in headless Chromium, beside the console
// program on the same tree in the same run. A library of COUNT copies of a
// 15 MB generated model (a folder with one sub-folder) is converted:
//   - as a folder, the zip stored (the default) and deflated (smaller zip),
//     without the models' pictures (the page draws them by default), and
//     stored in a browser without WebGL (whose page is composited without
//     SwiftShader, the software GL the others draw with);
//   - as one .zip archive of the folder, deflated (as downloads are) and
//     stored, and as a bundle: a zip of ten deflated zips, each of a tenth
//     of the library (deflated once more, as zip tools do);
// each row gives the seconds to convert (the page's own status line) and
// to download the zip, MB/s of input, the zip's size and the peak
// proportional set size of all the browser's processes together. Each
// zip must pass `python3 -m zipfile -t` and hold the console program's
// bytes. `quarlen -r -j2 -o` converts the same tree for comparison. Then
// the memory the page keeps for many small files: PSS, its garbage
// collected, once 400 and once 4,000 copies of the sample are converted
// (the median of three rounds). Then the pictures' cost: the folder, and
// one of ten times as many copies of a 1 MB model of small facets as
// figures have them (13 spheres, quarlen_picture_bench --model), each
// converted with pictures and without, in turn, five times: the medians'
// difference, each run's seconds to show the spread, and the CPU seconds
// of the browser's kinds of process (where the difference is spent).
// Last, fflate's deflate levels 1 to 6 on the model's OBJ under Node (the
// smaller zip's deflate).
//   node bench/web_library_bench.mjs BUILD [COUNT [pictures]]   (default 100;
//   pictures: the pictures' cost alone; web/dist built, Chromium installed)
import { execFileSync } from 'node:child_process';
import { linkSync, mkdirSync, mkdtempSync, readFileSync, rmSync, statSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { browserCpuSeconds, browserPssMB, downloaded, launch, openPage, root, serve, settled, watchPss } from '../tests/web/browser.mjs';

// Collects the garbage of the browser's pages and workers, so that what
// browserPssMB reads next is what they keep.
async function collectGarbage(browser) {
  const cdp = await browser.target().createCDPSession();
  const { targetInfos } = await cdp.send('Target.getTargets');
  for (const { targetId } of targetInfos.filter((t) => t.type === 'page' || t.type === 'worker')) {
    const { sessionId } = await cdp.send('Target.attachToTarget', { targetId, flatten: true });
    const session = cdp.connection().session(sessionId);
    await session.send('HeapProfiler.collectGarbage').catch(() => {});
    await session.detach().catch(() => {});
  }
  await cdp.detach();
}

const [build, countText = '100', part = 'all'] = process.argv.slice(2);
const count = Number(countText);
const quarlen = resolve(build, 'cli/quarlen');
const work = mkdtempSync(join(tmpdir(), 'quarlen-web-library-'));
const model = join(work, 'model.rsr');
execFileSync(resolve(build, 'bench/quarlen_bench'), ['--model', model, '40', '4800']);
const modelMB = statSync(model).size / 1e6;
const lib = join(work, 'lib');
mkdirSync(join(lib, 'sub'), { recursive: true });
for (let i = 0; i < count; ++i) linkSync(model, join(lib, i % 2 ? 'sub' : '', `m${i}.rsr`));

// The zip is sound and every entry is the console program's output (the
// zip's paths start with the archive's name, lib/ or bundle/partN/).
const zipCheck = `
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
assert z.testzip() is None
names = z.namelist()
assert len(names) == int(sys.argv[3]), len(names)
for n in names:
    inside = n.split("/", 2)[2] if n.startswith("bundle/") else n.split("/", 1)[1]
    with z.open(n) as got, open(sys.argv[2] + "/" + inside, "rb") as want:
        while True:
            a = got.read(1 << 22)
            assert a == want.read(1 << 22), n
            if not a:
                break
`;

// The pictures' cost, on the worst case for drawing (facets that span
// the model) and on small facets.
async function pictureCost() {
  const spheres = join(work, 'spheres');
  mkdirSync(spheres);
  execFileSync(resolve(build, 'bench/quarlen_picture_bench'), ['--model', join(work, 'spheres.rsr')]);
  const sphereCount = 10 * count;  // about as many bytes as the folder above
  for (let i = 0; i < sphereCount; ++i) linkSync(join(work, 'spheres.rsr'), join(spheres, `s${i}.rsr`));
  // One run: its seconds (the page's own timing), and the CPU seconds each
  // kind of the browser's processes took meanwhile.
  const convertOnce = async (folder, files, pictures) => {
    const browser = await launch();
    try {
      const page = await openPage(browser, origin, join(work, 'none'));
      if (!pictures) await page.click('#pictures');
      const before = browserCpuSeconds(browser);
      await (await page.$('#files')).uploadFile(folder);
      const seconds = Number(/in ([\d.]+) s/.exec(await settled(page, files))[1]);
      const after = browserCpuSeconds(browser);
      return { seconds, cpu: Object.fromEntries(Object.keys(after).map((k) => [k, after[k] - (before[k] ?? 0)])) };
    } finally {
      await browser.close();
    }
  };
  const rounds = 5;
  const median = (list) => [...list].sort((x, y) => x - y)[list.length >> 1];
  // Each run's CPU seconds, by process, of the kinds that do the work: the
  // renderer holds the page and its converters; the GPU process and the
  // browser's own show the page (SwiftShader here) and store the outputs.
  const kinds = ['renderer', 'gpu-process', 'browser'];
  for (const [name, folder, files] of [['the folder above', lib, count],
    [`${sphereCount} copies of the spheres (1 MB)`, spheres, sphereCount]]) {
    const done = { true: [], false: [] };
    for (let round = 0; round < rounds; ++round) {
      for (const pictures of [true, false]) done[pictures].push(await convertOnce(folder, files, pictures));
    }
    const seconds = { true: done.true.map((r) => r.seconds), false: done.false.map((r) => r.seconds) };
    const cpu = (pictures, kind) => median(done[pictures].map((r) => r.cpu[kind] ?? 0));
    const [on, off] = [median(seconds.true), median(seconds.false)];
    const runs = (list) => list.map((t) => t.toFixed(2)).join(' ');
    console.log(`pictures, ${name}: converted in ${on.toFixed(2)} s with them, ${off.toFixed(2)} s without ` +
      `(medians of ${rounds} in turn): ${(100 * (on / off - 1)).toFixed(1)}% slower; ` +
      `runs with: ${runs(seconds.true)}, without: ${runs(seconds.false)}`);
    console.log(`  CPU seconds a run, with pictures / without (medians): ${kinds.map((k) =>
      `${k} ${cpu(true, k).toFixed(1)} / ${cpu(false, k).toFixed(1)}`).join(', ')}`);
  }
}

const { origin, stop } = await serve();
try {
  if (part === 'pictures') {
    await pictureCost();
  } else {
    await everything();
  }
} finally {
  stop();
  rmSync(work, { recursive: true, force: true });
}

async function everything() {
  const native = join(work, 'native');
  const t = performance.now();
  execFileSync(quarlen, ['-q', '-r', '-j2', '-o', native, lib]);
  const nativeSeconds = (performance.now() - t) / 1000;
  console.log(`model: ${modelMB.toFixed(1)} MB; library: ${count} copies (${(count * modelMB).toFixed(0)} MB), half in lib/, half in lib/sub/`);
  console.log(`quarlen -r -j2 -o: ${nativeSeconds.toFixed(2)} s, ${(count * modelMB / nativeSeconds).toFixed(0)} MB/s`);
  execFileSync('/usr/bin/python3', ['-c', `
import zipfile, os
files = sorted(os.path.relpath(os.path.join(d, f), "${lib}") for d, _, fs in os.walk("${lib}") for f in fs)
for name, method in (("lib.zip", zipfile.ZIP_DEFLATED), ("stored.zip", zipfile.ZIP_STORED)):
    with zipfile.ZipFile(os.path.join("${work}", name), "w", method, compresslevel=1) as z:
        for f in files:
            z.write(os.path.join("${lib}", f), f)
with zipfile.ZipFile(os.path.join("${work}", "bundle.zip"), "w", zipfile.ZIP_DEFLATED, compresslevel=1) as bundle:
    for k in range(10):
        part = os.path.join("${work}", "part%d.zip" % k)
        with zipfile.ZipFile(part, "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
            for f in files[k::10]:
                z.write(os.path.join("${lib}", f), f)
        bundle.write(part, "part%d.zip" % k)
        os.remove(part)
`]);
  const mb = (name) => (statSync(join(work, name)).size / 1e6).toFixed(0);
  console.log(`lib.zip: ${mb('lib.zip')} MB (deflated, level 1); stored.zip: ${mb('stored.zip')} MB (stored); ` +
    `bundle.zip: ${mb('bundle.zip')} MB (ten zips of a tenth each, deflated, level 1)`);
  console.log('input                  convert s   MB/s   download s   zip MB   zip sound   peak PSS MB (idle before)');
  for (const [label, input, smaller, webgl, pictures = true] of [['folder', lib, false, true],
    ['folder, no pictures', lib, false, true, false], ['folder, no WebGL', lib, false, false],
    ['folder, smaller zip', lib, true, true], ['lib.zip', join(work, 'lib.zip'), false, true],
    ['stored.zip', join(work, 'stored.zip'), false, true], ['bundle.zip, ten zips', join(work, 'bundle.zip'), false, true]]) {
    // The outputs and archives written before, gigabytes, reach the disk
    // first: each row starts with the disk idle.
    execFileSync('sync');
    const downloads = join(work, 'downloads');
    mkdirSync(downloads);
    const browser = await launch(webgl);
    try {
      const page = await openPage(browser, origin, downloads);
      if (smaller) await page.click('#smaller');
      if (!pictures) await page.click('#pictures');
      const idle = browserPssMB(browser);
      const peak = watchPss(browser);
      await (await page.$(input === lib ? '#files' : '#pick-files')).uploadFile(input);
      await settled(page, count);
      const status = await page.$eval('#status', (e) => e.textContent);
      const convert = Number(/in ([\d.]+) s/.exec(status)[1]);
      const started = performance.now();
      await page.click('#download-all');
      if (!await downloaded(downloads, 'quarlen-obj.zip', 3600)) throw new Error('no quarlen-obj.zip');
      const download = (performance.now() - started) / 1000;
      const pss = peak();
      const zip = join(downloads, 'quarlen-obj.zip');
      let sound = 'yes';
      try {
        execFileSync('/usr/bin/python3', ['-m', 'zipfile', '-t', zip], { stdio: 'ignore' });
        execFileSync('/usr/bin/python3', ['-c', zipCheck, zip, native, String(count)], { stdio: 'ignore' });
      } catch {
        sound = 'NO';
      }
      console.log(`${label.padEnd(20)} ${convert.toFixed(1).padStart(11)} ${(count * modelMB / convert).toFixed(1).padStart(6)}` +
        ` ${download.toFixed(1).padStart(12)} ${(statSync(zip).size / 1e6).toFixed(0).padStart(8)} ${sound.padStart(11)}` +
        ` ${pss.toFixed(0).padStart(13)} (${idle.toFixed(0)})`);
    } finally {
      await browser.close();
      rmSync(downloads, { recursive: true });
    }
  }

  // Many small files: what the page keeps per file, in three rounds (the
  // GPU process's own memory swings by some 15 MB from one run to the next).
  const small = join(work, 'small');
  const perThousand = [];
  for (let round = 0; round < 3; ++round) {
    const kept = [];
    for (const n of [400, 4000]) {
      rmSync(small, { recursive: true, force: true });
      for (let i = 0; i < n; ++i) {
        mkdirSync(join(small, `d${i % 40}`), { recursive: true });
        linkSync(join(root, 'examples/sample.rsr'), join(small, `d${i % 40}`, `s${i}.rsr`));
      }
      const browser = await launch();
      try {
        const page = await openPage(browser, origin, join(work, 'none'));
        await (await page.$('#files')).uploadFile(small);
        await settled(page, n);
        await collectGarbage(browser);
        await new Promise((r) => setTimeout(r, 3000));
        kept.push(browserPssMB(browser));
      } finally {
        await browser.close();
      }
    }
    perThousand.push((kept[1] - kept[0]) / 3.6);
    console.log(`small files, round ${round + 1}: 400 converted ${kept[0].toFixed(0)} MB PSS, 4,000 converted ` +
      `${kept[1].toFixed(0)} MB: ${perThousand.at(-1).toFixed(1)} MB per 1,000 files above 400`);
  }
  console.log(`small files: median ${perThousand.sort((x, y) => x - y)[1].toFixed(1)} MB per 1,000 files above 400`);

  await pictureCost();

  // The smaller zip's deflate: the level's cost.
  const { Deflate } = createRequire(join(root, 'web/package.json'))('fflate');
  execFileSync(quarlen, [model, join(work, 'model.obj')], { stdio: 'ignore' });
  const obj = readFileSync(join(work, 'model.obj'));
  console.log(`fflate on the model's OBJ (${(obj.length / 1e6).toFixed(1)} MB), 1 MB pieces as the worker pushes them:`);
  for (let level = 1; level <= 6; ++level) {
    let stored = 0;
    const t0 = performance.now();
    const deflate = new Deflate({ level }, (chunk) => { stored += chunk.length; });
    for (let at = 0; at < obj.length; at += 1 << 20) deflate.push(obj.subarray(at, at + (1 << 20)), at + (1 << 20) >= obj.length);
    const s = (performance.now() - t0) / 1000;
    console.log(`  level ${level}: ${s.toFixed(2)} s, ${(obj.length / 1e6 / s).toFixed(0)} MB/s, ${(100 * stored / obj.length).toFixed(1)}% of the size`);
  }
}
