// The page in headless Chromium, for the web tests and the benchmark: a
// server for web/dist, a browser (WebGL drawn by SwiftShader, or none),
// the memory of all its processes, and downloads into a folder.
import { spawn } from 'node:child_process';
import { existsSync, readdirSync, readFileSync, statSync } from 'node:fs';
import { createRequire } from 'node:module';
import { createServer } from 'node:net';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

export const root = join(dirname(fileURLToPath(import.meta.url)), '../..');
const puppeteer = createRequire(join(root, 'web/package.json'))('puppeteer-core');

const freePort = () => new Promise((resolve) => {
  const s = createServer().listen(0, '127.0.0.1', () => {
    const { port } = s.address();
    s.close(() => resolve(port));
  });
});

// Serves web/dist; returns { origin, stop }.
export async function serve() {
  const port = await freePort();
  const server = spawn(join(root, 'tools/serve-web.sh'), [String(port)], { stdio: 'ignore', detached: true });
  return { origin: `http://localhost:${port}`, stop: () => process.kill(-server.pid) };
}

export function launch(webgl = true) {
  const graphics = webgl ? ['--use-angle=swiftshader', '--enable-unsafe-swiftshader'] : ['--disable-webgl', '--disable-gpu'];
  return puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', ...graphics, '--window-size=1400,900'],
    protocolTimeout: 3600000,  // a wait for a whole library is one call
    defaultViewport: { width: 1400, height: 900 },
  });
}

// Opens the page, its downloads going to folder; resolves once it is idle
// (or, unless idle, as soon as it has loaded).
export async function openPage(browser, origin, downloads, idle = true) {
  const page = await browser.newPage();
  for (let tries = 0; ; ++tries) {  // the server may take a moment to listen
    try {
      await page.goto(`${origin}/`);
      break;
    } catch (e) {
      if (tries > 50) throw e;
      await new Promise((r) => setTimeout(r, 200));
    }
  }
  const cdp = await page.createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  if (idle) await page.waitForSelector('body[data-state="idle"]');
  return page;
}

// The proportional set size of the browser's processes together, in MB
// (RSS would count the pages they share once for each).
export function browserPssMB(browser) {
  const children = new Map();
  for (const pid of readdirSync('/proc').filter((p) => /^\d+$/.test(p))) {
    try {
      const parent = readFileSync(`/proc/${pid}/stat`, 'utf8').replace(/^.*\) /, '').split(' ')[1];
      children.set(parent, [...(children.get(parent) ?? []), pid]);
    } catch { /* gone meanwhile */ }
  }
  let kb = 0;
  for (let todo = [String(browser.process().pid)]; todo.length;) {
    const pid = todo.pop();
    try {
      kb += Number(/^Pss:\s+(\d+)/m.exec(readFileSync(`/proc/${pid}/smaps_rollup`, 'utf8'))?.[1] ?? 0);
    } catch { /* gone meanwhile */ }
    todo.push(...(children.get(pid) ?? []));
  }
  return kb / 1024;
}

// Samples browserPssMB every quarter second until stopped; stop() gives the peak.
export function watchPss(browser) {
  let peak = browserPssMB(browser);
  const timer = setInterval(() => { peak = Math.max(peak, browserPssMB(browser)); }, 250);
  return () => {
    clearInterval(timer);
    return Math.max(peak, browserPssMB(browser));
  };
}

// Waits for folder/name to be downloaded in full (Chromium writes a
// .crdownload file beside it until then); false after timeout seconds.
export async function downloaded(folder, name, timeout = 600) {
  for (const end = Date.now() + timeout * 1000; Date.now() < end;) {
    if (existsSync(join(folder, name)) && !readdirSync(folder).some((f) => f.endsWith('.crdownload'))) return true;
    await new Promise((r) => setTimeout(r, 100));
  }
  return false;
}

// True once any file starts to arrive in folder; false after timeout seconds.
export async function downloadStarts(folder, timeout) {
  for (const end = Date.now() + timeout * 1000; Date.now() < end;) {
    if (readdirSync(folder).some((f) => statSync(join(folder, f)).isFile())) return true;
    await new Promise((r) => setTimeout(r, 50));
  }
  return false;
}
