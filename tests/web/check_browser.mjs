// The page in headless Chromium against the console program: a folder of
// generated models given through #files converts, each row's outcome and
// notices are the console program's, the downloaded quarlen-obj.zip holds
// the console program's outputs byte for byte (traditional, then the preset
// for today's readers, then GLB, then the models of a .zip archive), the 3D
// view draws the sample as OBJ and as GLB, and no request leaves the page's
// origin.
//   node check_browser.mjs QUARLEN DIR   (DIR/lib: the models; web/dist built)
import { spawn } from 'node:child_process';
import { cpSync, existsSync, mkdirSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { createServer } from 'node:net';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { compare, modelPaths, nativeResults } from './native.mjs';

const root = join(dirname(fileURLToPath(import.meta.url)), '../..');
const require = createRequire(join(root, 'web/package.json'));
const puppeteer = require('puppeteer-core');
const { unzipSync, zipSync } = require('fflate');

const [quarlen, dir] = process.argv.slice(2);
const paths = modelPaths(dir);
let failures = 0;
const check = (ok, what) => {
  console.log(`${ok ? 'ok' : 'FAILED'}: ${what}`);
  if (!ok) failures += 1;
};

const port = await new Promise((resolve) => {
  const s = createServer().listen(0, '127.0.0.1', () => {
    const { port: free } = s.address();
    s.close(() => resolve(free));
  });
});
const server = spawn(join(root, 'tools/serve-web.sh'), [String(port)], { stdio: 'ignore', detached: true });
const origin = `http://localhost:${port}`;
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--window-size=1400,900'],
  defaultViewport: { width: 1400, height: 900 },
});
try {
  const page = await browser.newPage();
  const requests = [];
  page.on('request', (r) => requests.push(r.url()));
  page.on('pageerror', (e) => check(false, `no error on the page (${e.message})`));
  for (let tries = 0; ; ++tries) {  // the server may take a moment to listen
    try {
      await page.goto(`${origin}/`);
      break;
    } catch (e) {
      if (tries > 50) throw e;
      await new Promise((r) => setTimeout(r, 200));
    }
  }
  await page.waitForSelector('body[data-state="idle"]');
  const empty = await (await page.$('canvas#view')).screenshot();

  const downloads = join(dir, 'downloads');
  const cdp = await page.createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });

  // Converts, then compares rows and the zip with the console program's run.
  async function round(label, args, list = paths) {
    const rows = () => page.$$eval('tr[data-path]', (trs) => trs.map((tr) => ({
      path: tr.dataset.path, status: tr.dataset.status, notices: tr.title, shown: tr.querySelector('pre')?.textContent })));
    await page.waitForFunction((n) => document.body.dataset.state === 'idle' &&
      document.querySelectorAll('tr[data-path][data-status]').length === n, { timeout: 300000 }, list.length);
    const work = join(dir, `browser-${label}`);
    cpSync(join(dir, 'lib'), join(work, 'lib'), { recursive: true });
    const theirs = nativeResults(quarlen, work, list, args);
    rmSync(downloads, { recursive: true, force: true });
    mkdirSync(downloads);
    await page.click('#download-all');
    const zipName = `quarlen-${args.includes('--glb') ? 'glb' : 'obj'}.zip`;
    const zipPath = join(downloads, zipName);
    for (let t = 0; t < 600 && !(existsSync(zipPath) && readdirSync(downloads).length === 1); ++t)
      await new Promise((r) => setTimeout(r, 100));
    const zip = unzipSync(readFileSync(zipPath));
    const listed = await rows();
    const loud = listed.filter((r) => r.shown !== (r.status === 'failed' ? r.notices : undefined));
    check(!loud.length, `${label}: failed rows show their notices, converted rows none (${loud.map((r) => r.path).slice(0, 3)})`);
    const ours = new Map(listed.map((r) => {
      const outputs = theirs.get(r.path)?.outputs.filter((o) => zip[o.path])
        .map((o) => ({ path: o.path, bytes: zip[o.path] })) ?? [];
      return [r.path, { converted: r.status === 'converted', notices: r.notices, outputs }];
    }));
    const wanted = [...theirs.values()].reduce((n, r) => n + r.outputs.length, 0);
    check(Object.keys(zip).length === wanted, `${label}: ${zipName} holds the ${wanted} files the console program writes (it holds ${Object.keys(zip).length})`);
    check(ours.size === list.length && compare(label, ours, theirs) === 0,
      `${label}: ${list.length} rows and their files as the console program's`);
  }

  const files = await page.$('#files');
  await files.uploadFile(join(dir, 'lib'));
  await round('traditional', []);

  await page.click('#preset-today');
  await page.click('#convert-again');
  await round('today', ['--clean', '--mtl', '--triangulate']);

  await page.click('tr[data-path="lib/sample.rsr"]');
  await page.waitForSelector('canvas#view[data-shown="lib/sample.rsr"]');
  await new Promise((r) => setTimeout(r, 300));
  const drawn = await (await page.$('canvas#view')).screenshot();
  check(Buffer.compare(Buffer.from(empty), Buffer.from(drawn)) !== 0, 'the 3D view drew the sample');
  const groups = await page.$$eval('#groups input', (boxes) => boxes.length);
  check(groups === 3, `the view lists the sample's 3 groups (${groups})`);
  const info = await page.$eval('#info', (e) => e.textContent);
  check(info.includes('\nlib/sample.rsr: 3 groups'), 'the notices and the --info report are beside the view');

  // GLB: the options that do not apply are left out, --clean and
  // --triangulate change nothing; the view reads the GLB.
  await page.select('#format', 'glb');
  await page.click('#convert-again');
  await round('glb', ['--glb']);
  await page.click('tr[data-path="lib/sample.rsr"]');
  await page.waitForSelector('canvas#view[data-shown="lib/sample.rsr"]');
  const glbGroups = await page.$$eval('#groups input', (boxes) => boxes.length);
  check(glbGroups === 3, `the view draws the sample's GLB with its 3 groups (${glbGroups})`);
  await page.select('#format', 'obj');

  // A .zip archive through #pick-files: its models convert under their
  // paths in it.
  await page.click('#clear');
  const zipped = paths.filter((p) => /^lib\/(models|Ü)/.test(p));
  writeFileSync(join(dir, 'models.zip'), zipSync(Object.fromEntries(zipped.map((p) => [p, readFileSync(join(dir, p))]))));
  await (await page.$('#pick-files')).uploadFile(join(dir, 'models.zip'));
  await round('zip', ['--clean', '--mtl', '--triangulate'], zipped);

  const away = requests.filter((u) => new URL(u).origin !== origin && !u.startsWith(`blob:${origin}/`));
  check(away.length === 0, `no request left ${origin} (${requests.length} requests${away.length ? `; ${away.slice(0, 3)}` : ''})`);
} finally {
  await browser.close();
  process.kill(-server.pid);
}
process.exit(failures ? 1 : 0);
