// The page in WebKit (the engine of Safari) against the console program: a
// pick of files given through #pick-files converts into the store in memory
// (this WebKit has no origin private file system), each row's outcome is
// the console program's, and the summary counts them. WebKitGTK's
// MiniBrowser is driven by WebKitWebDriver with plain WebDriver calls, on
// an Xvfb display (xvfb-run: it does not start headless).
//   node check_webkit.mjs QUARLEN DIR   (DIR/lib: the models; web/dist built)
import { spawn } from 'node:child_process';
import { cpSync, mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { freePort, serve, summarised } from './browser.mjs';
import { nativeResults } from './native.mjs';

const miniBrowser = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';
const [quarlen, dir] = process.argv.slice(2);
let failures = 0;
const check = (ok, what) => {
  console.log(`${ok ? 'ok' : 'FAILED'}: ${what}`);
  if (!ok) failures += 1;
};
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const started = [];

// The driver on a display of its own; a WebDriver client over HTTP:
// call(method, path, body) gives the value.
async function driver() {
  const port = await freePort();
  started.push(spawn('xvfb-run', ['-a', '-s', '-screen 0 1400x900x24', 'WebKitWebDriver', `--port=${port}`],
    { stdio: 'ignore', detached: true }));
  const call = async (method, path, body) => {
    const reply = await fetch(`http://127.0.0.1:${port}${path}`,
      { method, headers: { 'content-type': 'application/json' }, body: body && JSON.stringify(body) });
    const { value } = await reply.json();
    if (!reply.ok) throw new Error(`${method} ${path}: ${value?.message ?? reply.status}`);
    return value;
  };
  for (let tries = 0; ; ++tries) {
    try {
      await call('GET', '/status');
      return call;
    } catch (e) {
      if (tries > 100) throw e;
      await sleep(100);
    }
  }
}

// Waits until script (a function's text, run on the page with args) gives
// a true value; returns it, or null after seconds.
async function until(call, session, script, args, seconds) {
  for (const end = Date.now() + seconds * 1000; Date.now() < end; await sleep(250)) {
    const value = await call('POST', `/session/${session}/execute/sync`, { script: `return (${script})(...arguments);`, args });
    if (value) return value;
  }
  return null;
}

const picked = ['lib/sample.rsr', 'lib/models/mixed.rsr', 'lib/models/plain.RSR', 'lib/seeds/bad_value.rsr', 'lib/odd/odd-0.rsr'];
const pick = join(dir, 'pick-webkit');
mkdirSync(pick);
for (const p of picked) cpSync(join(dir, p), join(pick, p.split('/').pop()));
const names = picked.map((p) => p.split('/').pop());
const theirs = nativeResults(quarlen, pick, names, []);

const { origin, stop } = await serve();
let session = null;
let call = null;
try {
  call = await driver();
  ({ sessionId: session } = await call('POST', '/session', { capabilities: { alwaysMatch: {
    'webkitgtk:browserOptions': { binary: miniBrowser, args: ['--automation'] } } } }));
  await call('POST', `/session/${session}/url`, { url: `${origin}/` });
  const state = await until(call, session, '() => !["loading", "converting"].includes(document.body.dataset.state) && ' +
    '[document.body.dataset.state, document.getElementById("status").textContent]', [], 60);
  if (state?.[0] !== 'idle') throw new Error(`the page did not start (${state})`);
  const input = await call('POST', `/session/${session}/element`, { using: 'css selector', value: '#pick-files' });
  await call('POST', `/session/${session}/element/${Object.values(input)[0]}/value`,
    { text: names.map((n) => join(pick, n)).join('\n') });
  const ended = await until(call, session, summarised.toString(), [names.length], 120);
  // The rows are drawn on the next frame after the summary.
  const [rows, status] = await until(call, session, '() => { const rows = [...document.querySelectorAll("tr[data-path]")]; ' +
    'return rows.every((tr) => tr.dataset.status) && [rows.map((tr) => [tr.dataset.path, tr.dataset.status]), ' +
    'document.getElementById("status").textContent]; }', [], 10) ?? [[], ''];
  check(!!ended, `the pick of ${names.length} files ended (${status})`);
  const wrong = names.filter((n) => rows.find(([path]) => path === n)?.[1] !== (theirs.get(n).converted ? 'converted' : 'failed'));
  check(!wrong.length, `each row's outcome is the console program's (${wrong})`);
  const converted = [...theirs.values()].filter((r) => r.converted).length;
  check(status.startsWith(`quarlen: ${converted} converted, ${names.length - converted} failed`),
    `the summary counts ${converted} converted, ${names.length - converted} failed`);
} catch (e) {
  check(false, `WebKit: ${e.message}`);
} finally {
  if (session) await call('DELETE', `/session/${session}`).catch(() => {});
  for (const p of started) try { process.kill(-p.pid); } catch { /* ended */ }
  stop();
}
process.exit(failures ? 1 : 0);
