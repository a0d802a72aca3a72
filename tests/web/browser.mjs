// The page in headless Chromium and Firefox, and in WebKit, for the web
// tests and the benchmark: a server for web/dist, a browser (WebGL drawn by
// SwiftShader, or none), the memory of all its processes, downloads into a
// folder, waits, and the table's rows. The waits and the table are read
// with the calls that a puppeteer page and the WebKit page here both take:
// evaluate(fn, ...args), click(selector) and $(selector).uploadFile(...).
import { execFileSync, spawn } from 'node:child_process';
import { existsSync, readdirSync, readFileSync, statSync } from 'node:fs';
import { createRequire } from 'node:module';
import { createServer } from 'node:net';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

export const root = join(dirname(fileURLToPath(import.meta.url)), '../..');
const puppeteer = createRequire(join(root, 'web/package.json'))('puppeteer-core');
const miniBrowser = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// Prints a check's outcome; checks.failed counts those that failed.
export const checks = { failed: 0 };
export function check(ok, what) {
  console.log(`${ok ? 'ok' : 'FAILED'}: ${what}`);
  checks.failed += ok ? 0 : 1;
}

// Calls test() every ms until it gives a true value, and returns that;
// null after seconds.
export async function poll(test, seconds, ms = 250) {
  for (const end = Date.now() + seconds * 1000; ; await sleep(ms)) {
    const value = await test();
    if (value || Date.now() > end) return value || null;
  }
}

// Waits until fn(...args), run in the page, gives a true value; returns it,
// or null after seconds.
export const until = (page, seconds, fn, ...args) => poll(() => page.evaluate(fn, ...args), seconds);

const freePort = () => new Promise((resolve) => {
  const s = createServer().listen(0, '127.0.0.1', () => {
    const { port } = s.address();
    s.close(() => resolve(port));
  });
});

// Whether a server answers at url (it may take a moment to listen).
const answers = (url) => fetch(url).then(() => true, () => false);

// Serves web/dist; returns { origin, stop } once the server answers.
export async function serve() {
  const port = await freePort();
  const server = spawn(join(root, 'tools/serve-web.sh'), [String(port)], { stdio: 'ignore', detached: true });
  const origin = `http://localhost:${port}`;
  if (await poll(() => answers(origin), 10, 200)) return { origin, stop: () => process.kill(-server.pid) };
  process.kill(-server.pid);
  throw new Error(`no server at ${origin}`);
}

// Chromium with WebGL drawn by SwiftShader, or without WebGL; or, given the
// folder for its downloads, Debian's Firefox ESR over WebDriver BiDi.
export function launch(webgl = true, firefoxDownloads = null) {
  const graphics = webgl ? ['--use-angle=swiftshader', '--enable-unsafe-swiftshader'] : ['--disable-webgl', '--disable-gpu'];
  const prefs = { 'browser.download.dir': firefoxDownloads, 'browser.download.folderList': 2, 'browser.download.useDownloadDir': true };
  return puppeteer.launch({
    protocolTimeout: 3600000,  // a wait in the page is one call
    defaultViewport: { width: 1400, height: 900 },
    ...(firefoxDownloads ? { browser: 'firefox', executablePath: '/usr/bin/firefox-esr', extraPrefsFirefox: prefs }
      : { executablePath: '/usr/bin/chromium', args: ['--no-sandbox', ...graphics, '--window-size=1400,900'] }),
  });
}

// Opens the page, its downloads going to folder (Chromium's are set here,
// Firefox's at launch); resolves once it is idle (or, unless idle, as soon
// as it has loaded). watch(page) is called (and awaited) before the page loads.
export async function openPage(browser, origin, downloads, idle = true, watch = () => {}) {
  const page = await browser.newPage();
  await watch(page);
  await page.goto(`${origin}/`);
  if (browser.process()?.spawnfile?.includes('chromium')) {
    const cdp = await page.createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  }
  if (idle) await started(page);
  return page;
}

// WebKit (the engine of Safari): WebKitGTK's MiniBrowser, driven by
// WebKitWebDriver with plain WebDriver calls on a display of its own
// (xvfb-run: it does not start headless). Its downloads go to its home,
// folder. Returns { browser: { close }, page }, the page once it is idle.
export async function openWebKit(origin, downloads) {
  const port = await freePort();
  const driver = spawn('xvfb-run', ['-a', '-s', '-screen 0 1400x900x24', 'WebKitWebDriver', `--port=${port}`],
    { stdio: 'ignore', detached: true, env: { ...process.env, HOME: downloads } });
  const call = async (method, path, body) => {
    const reply = await fetch(`http://127.0.0.1:${port}${path}`,
      { method, headers: { 'content-type': 'application/json' }, body: body && JSON.stringify(body) });
    const { value } = await reply.json();
    if (!reply.ok) throw new Error(`${method} ${path}: ${value?.message ?? reply.status}`);
    return value;
  };
  let at = null;
  const close = async () => {
    if (at) await call('DELETE', at).catch(() => {});
    process.kill(-driver.pid);
  };
  const element = async (selector) =>
    Object.values(await call('POST', `${at}/element`, { using: 'css selector', value: selector }))[0];
  const page = {
    evaluate: (fn, ...args) => call('POST', `${at}/execute/sync`, { script: `return (${fn})(...arguments);`, args }),
    click: async (selector) => call('POST', `${at}/element/${await element(selector)}/click`, {}),
    $: async (selector) => ({
      uploadFile: async (...paths) => call('POST', `${at}/element/${await element(selector)}/value`, { text: paths.join('\n') }) }),
  };
  try {
    if (!await poll(() => answers(`http://127.0.0.1:${port}/status`), 10, 100)) throw new Error('WebKitWebDriver did not start');
    const { sessionId } = await call('POST', '/session', { capabilities: { alwaysMatch: {
      'webkitgtk:browserOptions': { binary: miniBrowser, args: ['--automation'] } } } });
    at = `/session/${sessionId}`;
    await call('POST', `${at}/url`, { url: `${origin}/` });
    await started(page);
  } catch (e) {
    await close();
    throw e;
  }
  return { browser: { close }, page };
}

// Waits for the page to start; throws, with its state and status, unless it
// became idle.
async function started(page) {
  const [state, status] = await until(page, 60, () => !['loading', 'converting'].includes(document.body.dataset.state) &&
    [document.body.dataset.state, document.getElementById('status').textContent]) ?? [];
  if (state !== 'idle') throw new Error(`the page did not start (${state}: ${status})`);
}

// Waits until the page is idle with n rows, each converted or failed, as
// its summary counts them, and gives the summary; a page that never
// settles fails the test after 15 minutes rather than holding the test
// command.
export async function settled(page, n) {
  const summary = await until(page, 900, summarised, n);
  if (!summary) throw new Error(`the page did not end ${n} files in 15 minutes`);
  return summary;
}

// In the page: its summary, once it is idle and its table and summary
// count n files ended.
function summarised(n) {
  const summary = document.getElementById('status').textContent;
  const ended = /^quarlen: (\d+) converted, (\d+) failed/.exec(summary);
  return document.body.dataset.state === 'idle' && !!ended && Number(ended[1]) + Number(ended[2]) === n &&
    document.getElementById('results').getAttribute('aria-rowcount') === String(n + 1) && summary;
}

// Every row of the table, which holds in the page only the rows in sight,
// read by scrolling it from the top: [{ path, status, notices (its
// tooltip), count (of notices), shown (the notices on the row, or null),
// height (in pixels) }]; with
// path, it stops there, with that row in sight.
export const tableRows = (page, path = null) => page.evaluate(async (path) => {
  const pane = document.getElementById('results-pane');
  // Two frames, or half a second: headless Chromium without a GPU at times
  // draws no frame for a page that changes nothing on screen.
  const frames = () => new Promise((r) => {
    requestAnimationFrame(() => requestAnimationFrame(r));
    setTimeout(r, 500);
  });
  const rows = new Map();
  pane.scrollTop = 0;
  // Down to the end: where the pane shows the table's last pixel, or
  // where scrolling no longer moves it.
  for (;;) {
    await frames();
    for (const tr of document.querySelectorAll('tr[data-path]')) rows.set(tr.getAttribute('aria-rowindex'), {
      path: tr.dataset.path, status: tr.dataset.status, notices: tr.title, count: Number(tr.dataset.notices),
      shown: tr.querySelector('pre')?.textContent ?? null, height: tr.getBoundingClientRect().height });
    const before = pane.scrollTop;
    if ([...rows.values()].some((r) => r.path === path) || before + pane.clientHeight >= pane.scrollHeight - 2) break;
    pane.scrollTop += pane.clientHeight / 2;
    if (pane.scrollTop <= before) break;
  }
  if (path) [...document.querySelectorAll('tr[data-path]')].find((tr) => tr.dataset.path === path)?.scrollIntoView({ block: 'center' });
  else pane.scrollTop = 0;
  await frames();
  return [...rows.values()];
}, path);

// Waits until each converted row or cell in the page (of the table: 'tr',
// of the Pictures view: '.cell') shows its picture, 64 pixels a side;
// gives how many there are, or null after 60 s.
export const picturesShown = (page, selector) => until(page, 60, (s) => {
  const shown = [...document.querySelectorAll(`${s}[data-status="converted"] img`)];
  return shown.every((img) => img.complete && img.naturalWidth === 64 && img.naturalHeight === 64) && shown.length;
}, selector);

// Scrolls the table to the row of path, and clicks it.
export async function clickRow(page, path) {
  await tableRows(page, path);
  await page.click(`tr[data-path="${path}"]`);
}

// Calls take(pid, stat) for each of the browser's processes: those of its
// process group, which puppeteer starts it at the head of. stat is
// /proc/PID/stat's fields after the command's name (2: the group); a
// process gone meanwhile is passed over.
function eachBrowserProcess(browser, take) {
  for (const pid of readdirSync('/proc').filter((p) => /^\d+$/.test(p))) {
    try {
      const stat = readFileSync(`/proc/${pid}/stat`, 'utf8').replace(/^.*\) /, '').split(' ');
      if (stat[2] === String(browser.process().pid)) take(pid, stat);
    } catch { /* gone meanwhile */ }
  }
}

// The proportional set size of the browser's processes together, in MB
// (RSS would count the pages they share once for each).
export function browserPssMB(browser) {
  let kb = 0;
  eachBrowserProcess(browser, (pid) => {
    kb += Number(/^Pss:\s+(\d+)/m.exec(readFileSync(`/proc/${pid}/smaps_rollup`, 'utf8'))?.[1] ?? 0);
  });
  return kb / 1024;
}

// The CPU seconds the browser's processes have taken, user and system, by
// kind: { browser, renderer, 'gpu-process', ... }.
export function browserCpuSeconds(browser) {
  const tick = Number(execFileSync('getconf', ['CLK_TCK'], { encoding: 'utf8' }));
  const seconds = {};
  eachBrowserProcess(browser, (pid, stat) => {
    const kind = /--type=([\w-]+)/.exec(readFileSync(`/proc/${pid}/cmdline`, 'utf8'))?.[1] ?? 'browser';
    seconds[kind] = (seconds[kind] ?? 0) + (Number(stat[11]) + Number(stat[12])) / tick;
  });
  return seconds;
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
// .crdownload file beside it until then, Firefox a .part file, WebKit a
// .wkdownload file); false after timeout seconds.
export const downloaded = async (folder, name, timeout = 600) => !!await poll(() => existsSync(join(folder, name)) &&
  !readdirSync(folder).some((f) => /\.(crdownload|part|wkdownload)$/.test(f)), timeout, 100);

// True once any file starts to arrive in folder; false after timeout seconds.
export const downloadStarts = async (folder, timeout) =>
  !!await poll(() => readdirSync(folder).some((f) => statSync(join(folder, f)).isFile()), timeout, 50);

// The files below the folder under of the page's store: { path: bytes },
// or with sizes, { path: size }.
export const storedFiles = (page, under, sizes = false) => page.evaluate(async (under, sizes) => {
  const found = {};
  const walk = async (folder, at) => {
    for await (const [name, h] of folder.entries()) {
      if (h.kind === 'directory') await walk(h, `${at}${name}/`);
      else found[at + name] = sizes ? (await h.getFile()).size : [...new Uint8Array(await (await h.getFile()).arrayBuffer())];
    }
  };
  const root = await navigator.storage.getDirectory();
  await walk(under ? await root.getDirectoryHandle(under) : root, '');
  return found;
}, under, sizes);

// Clicks Save to folder with the folder "picked" of the page's store in
// place of one the user picks; gives the status the save ends with
// (emptied first, to wait for it).
export async function saveToPicked(page) {
  await page.evaluate(async () => {
    const folder = await (await navigator.storage.getDirectory()).getDirectoryHandle('picked', { create: true });
    window.showDirectoryPicker = async () => folder;
    document.getElementById('status').textContent = '';
    document.getElementById('save-folder').click();
  });
  return until(page, 600, () => document.getElementById('status').textContent.match(/^Saved.*/)?.[0]);
}
