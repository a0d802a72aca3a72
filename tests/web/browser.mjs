// The page in headless Chromium and Firefox, for the web tests and the
// benchmark: a server for web/dist, a browser (WebGL drawn by SwiftShader,
// or none), the memory of all its processes, downloads into a folder, and
// the table's rows.
import { spawn } from 'node:child_process';
import { existsSync, readdirSync, readFileSync, statSync } from 'node:fs';
import { createRequire } from 'node:module';
import { createServer } from 'node:net';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

export const root = join(dirname(fileURLToPath(import.meta.url)), '../..');
const puppeteer = createRequire(join(root, 'web/package.json'))('puppeteer-core');

export const freePort = () => new Promise((resolve) => {
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

// Chromium with WebGL drawn by SwiftShader, or without WebGL.
export function launch(webgl = true) {
  const graphics = webgl ? ['--use-angle=swiftshader', '--enable-unsafe-swiftshader'] : ['--disable-webgl', '--disable-gpu'];
  return puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', ...graphics, '--window-size=1400,900'],
    protocolTimeout: 3600000,  // a wait for a whole library is one call
    defaultViewport: { width: 1400, height: 900 },
  });
}

// Debian's Firefox ESR over WebDriver BiDi; its downloads go to folder.
export function launchFirefox(downloads) {
  return puppeteer.launch({
    browser: 'firefox',
    executablePath: '/usr/bin/firefox-esr',
    headless: true,
    protocolTimeout: 600000,
    defaultViewport: { width: 1400, height: 900 },
    extraPrefsFirefox: {
      'browser.download.dir': downloads,
      'browser.download.folderList': 2,
      'browser.download.useDownloadDir': true,
    },
  });
}

// Opens the page, its downloads going to folder (Chromium's are set here,
// Firefox's at launch); resolves once it is idle (or, unless idle, as soon
// as it has loaded). watch(page) is called before the page loads.
export async function openPage(browser, origin, downloads, idle = true, watch = () => {}) {
  const page = await browser.newPage();
  watch(page);
  for (let tries = 0; ; ++tries) {  // the server may take a moment to listen
    try {
      await page.goto(`${origin}/`);
      break;
    } catch (e) {
      if (tries > 50) throw e;
      await new Promise((r) => setTimeout(r, 200));
    }
  }
  if (browser.process()?.spawnfile?.includes('chromium')) {
    const cdp = await page.createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  }
  if (idle) await page.waitForSelector('body[data-state="idle"]');
  return page;
}

// Waits until the page is idle with n rows, each converted or failed, as
// its summary counts them; a page that never settles fails the test after
// 15 minutes rather than holding the test command.
export const settled = (page, n) => page.waitForFunction(summarised, { timeout: 900e3, polling: 500 }, n);

// In the page: whether it is idle and its table and summary count n files
// ended (for WebDriver too, which runs it as text).
export function summarised(n) {
  const ended = /^quarlen: (\d+) converted, (\d+) failed/.exec(document.getElementById('status').textContent);
  return document.body.dataset.state === 'idle' && !!ended && Number(ended[1]) + Number(ended[2]) === n &&
    document.getElementById('results').getAttribute('aria-rowcount') === String(n + 1);
}

// Every row of the table, which holds in the page only the rows in sight,
// read by scrolling it from the top: [{ path, status, notices (its
// tooltip), count (of notices), shown (the notices on the row) }]; with
// path, it stops there, with that row in sight.
export const tableRows = (page, path = null) => page.evaluate(async (path) => {
  const pane = document.getElementById('results-pane');
  const frames = () => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
  const rows = new Map();
  pane.scrollTop = 0;
  for (let before = -1; pane.scrollTop !== before && !rows.has(path);) {
    await frames();
    for (const tr of document.querySelectorAll('tr[data-path]')) rows.set(tr.dataset.path, {
      path: tr.dataset.path, status: tr.dataset.status, notices: tr.title, count: Number(tr.dataset.notices),
      shown: tr.querySelector('pre')?.textContent });
    before = pane.scrollTop;
    pane.scrollTop += pane.clientHeight / 2;
  }
  if (path) [...document.querySelectorAll('tr[data-path]')].find((tr) => tr.dataset.path === path)?.scrollIntoView({ block: 'center' });
  else pane.scrollTop = 0;
  await frames();
  return [...rows.values()];
}, path);

// Scrolls the table to the row of path, and clicks it.
export async function clickRow(page, path) {
  await tableRows(page, path);
  await page.click(`tr[data-path="${path}"]`);
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

// Collects the garbage of the browser's pages and workers, so that what
// browserPssMB reads next is what they keep.
export async function collectGarbage(browser) {
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
// .crdownload file beside it until then, Firefox a .part file); false
// after timeout seconds.
export async function downloaded(folder, name, timeout = 600) {
  for (const end = Date.now() + timeout * 1000; Date.now() < end;) {
    if (existsSync(join(folder, name)) && !readdirSync(folder).some((f) => /\.(crdownload|part)$/.test(f))) return true;
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

