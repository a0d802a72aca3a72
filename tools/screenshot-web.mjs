// Redraws docs/web.png: the page in headless Chromium given a folder of
// generated models (the sample house, 13 spheres, and models the tests
// make), in its Pictures view, with the house in the 3D view.
//   node tools/screenshot-web.mjs BUILD [OUT.png]   (BUILD: the native build; web/dist built, Chromium installed)
import { execFileSync, spawn } from 'node:child_process';
import { copyFileSync, mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = join(dirname(fileURLToPath(import.meta.url)), '..');
const puppeteer = createRequire(join(root, 'web/package.json'))('puppeteer-core');
const [build, out = join(root, 'docs/web.png')] = process.argv.slice(2);
const library = join(mkdtempSync(join(tmpdir(), 'quarlen-shot-')), 'library');
mkdirSync(library);
execFileSync(resolve(build, 'tests/quarlen_model_writer'), ['odd', '1', '14', library]);
execFileSync('sh', ['-c', `rm "${library}"/*.expected`]);
for (const kind of ['mixed', 'plain']) execFileSync(resolve(build, 'tests/quarlen_model_writer'), [kind, join(library, `${kind}.rsr`), '/dev/null']);
execFileSync(resolve(build, 'bench/quarlen_picture_bench'), ['--model', join(library, 'spheres.rsr')]);
copyFileSync(join(root, 'examples/sample.rsr'), join(library, 'house.rsr'));

const port = 8765;
const server = spawn(join(root, 'tools/serve-web.sh'), [String(port)], { stdio: 'ignore', detached: true });
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
  defaultViewport: { width: 1280, height: 720 },
});
try {
  const page = await browser.newPage();
  await new Promise((r) => setTimeout(r, 800));
  await page.goto(`http://localhost:${port}/`);
  await page.waitForSelector('body[data-state="idle"]');
  await (await page.$('#files')).uploadFile(library);
  await page.waitForFunction(() => /^quarlen: /.test(document.getElementById('status').textContent));
  await page.click('#layout-pictures');
  await page.click('.cell[data-path="library/house.rsr"]');
  await page.waitForSelector('canvas#view[data-shown="library/house.rsr"]');
  await page.waitForFunction(() => [...document.querySelectorAll('.cell[data-status="converted"] img')].every((i) => i.complete && i.naturalWidth));
  await new Promise((r) => setTimeout(r, 500));
  await page.screenshot({ path: out });
  console.log(`wrote ${out}`);
} finally {
  await browser.close();
  process.kill(-server.pid);
  rmSync(dirname(library), { recursive: true, force: true });
}
