// Redraws docs/web.png: the page in headless Chromium with examples/ given
// as a folder, the preset for today's readers, and the sample in the view.
//   node tools/screenshot-web.mjs [OUT.png]   (web/dist built, Chromium installed)
import { spawn } from 'node:child_process';
import { createRequire } from 'node:module';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = join(dirname(fileURLToPath(import.meta.url)), '..');
const puppeteer = createRequire(join(root, 'web/package.json'))('puppeteer-core');
const out = process.argv[2] ?? join(root, 'docs/web.png');
const port = 8765;
const server = spawn(join(root, 'tools/serve-web.sh'), [String(port)], { stdio: 'ignore', detached: true });
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
  defaultViewport: { width: 1440, height: 760 },
});
try {
  const page = await browser.newPage();
  await new Promise((r) => setTimeout(r, 800));
  await page.goto(`http://localhost:${port}/`);
  await page.waitForSelector('body[data-state="idle"]');
  await page.click('#preset-today');
  await (await page.$('#files')).uploadFile(join(root, 'examples'));
  await page.waitForSelector('canvas#view[data-shown="examples/sample.rsr"]');
  await new Promise((r) => setTimeout(r, 500));
  await page.screenshot({ path: out });
  console.log(`wrote ${out}`);
} finally {
  await browser.close();
  process.kill(-server.pid);
}
