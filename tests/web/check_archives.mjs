// The page given hostile and unusual archives (hostile_zips.py), in
// headless Chromium: each case alone, then all beside good files, for its
// rows (one per input, in order), their texts, and the downloaded zip's and
// saved folder's names (none unsafe anywhere) and bytes; the bundle and the
// self-extracting archive in Firefox and WebKit too; and the browser's
// memory once a bomb has been converted.
//   node check_archives.mjs QUARLEN DIR   (DIR/lib: the models; web/dist built)
import { execFileSync } from 'node:child_process';
import { copyFileSync, mkdirSync, readdirSync, readFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join } from 'node:path';
import { browserPssMB, downloaded, launch, openPage, openWebKit, root, serve, settled, tableRows } from './browser.mjs';

const { unzipSync } = createRequire(join(root, 'web/package.json'))('fflate');
const [quarlen, dir] = process.argv.slice(2);
const hostile = join(dir, 'hostile');
const models = { S: join(dir, 'lib/sample.rsr'), M: join(dir, 'lib/models/mixed.rsr') };
execFileSync('/usr/bin/python3', [join(root, 'tests/web/hostile_zips.py'), models.S, models.M, hostile]);
const objs = Object.fromEntries(Object.entries(models).map(([k, p]) => {
  execFileSync(quarlen, [p, join(dir, `${k}.obj`)], { stdio: 'ignore' });
  return [k, readFileSync(join(dir, `${k}.obj`))];
}));

// Each case: what is picked (archives and files, or a folder, under
// hostile/) and its rows: [path, the model it converts to (S or M; +:
// renamed, told on the row), or its failure's text (a RegExp: its end)].
const damaged = /damaged in its archive: it could not be read|it is cut short/;
const cases = [
  ['slip.zip', [['slip/slip1.rsr', 'S+'], ['slip/abs/slip2.rsr', 'M'], ['slip/slip3.rsr', 'S+'], ['slip/C_slip4.rsr', 'M+'],
    ['slip/a/slip5.rsr', 'S+'], ['slip/a/slip6.rsr', 'M+']]],
  ['...zip .zip ..zip', [['dots1.rsr', 'S+'], ['dots2.rsr', 'M'], ['s/dots3.rsr', 'S+']]],
  ['devices.zip', [['devices/CON_.rsr', 'S+'], ['devices/aux_/nul_.rsr', 'M+'], ['devices/lpt1_.tar.rsr', 'S+'],
    ['devices/q_.rsr', 'M+'], ['devices/dir/x.rsr', 'S+'], [`devices/${'L'.repeat(251)}.rsr`, 'M+']]],
  ['names.zip', [['names/nul\ufffdhidden.rsr', /control character \(U\+0000\)/], ['names/crlf\ufffd\ufffd.rsr', /\(U\+000D\)/],
    ['names/tab\ufffd.rsr', /\(U\+0009\)/]]],
  ['twice.zip', [['twice/twice.rsr', 'S'], ['twice/twice.rsr', /has the same output twice\/twice.obj as twice\/twice.rsr$/]]],
  ['twin1/same.zip twin2/same.zip', [['same/same.rsr', 'S'], ['same/same.rsr', /has the same output same\/same.obj as same\/same.rsr$/]]],
  ['p.zip p.ZIP', [['p/p.rsr', 'S'], ['p/p.rsr', /has the same output p\/p.obj as p\/p.rsr$/]]],
  ['qdir/', [['qdir/q/a.rsr', 'M'], ['qdir/q/a.rsr', /same output qdir\/q\/a.obj as qdir\/q\/a.rsr$/]]],
  ['fb/', [['fb/q.obj/x.rsr', 'M'], ['fb/q.rsr', /its output fb\/q.obj and fb\/q.obj\/x.obj, the output of fb\/q.obj\/x.rsr, would be a file and a folder of one name$/]]],
  ['cp437.zip', [['cp437/café.rsr', 'S'], ['cp437/cafè.rsr', 'M'], ['cp437/Café-utf8.rsr', 'S'], ['cp437/bad\ufffd.rsr', /not UTF-8/]]],
  ['lies.zip', [['lies/fine.rsr', 'S'], ['lies/crc.rsr', /check sum$/], ['lies/more.rsr', /holds more than its archive says$/],
    ['lies/less.rsr', /cut short$/], ['lies/stored.rsr', /holds 1796 bytes, which its 1797 stored bytes cannot$/], ['lies/ratio.rsr', /stored bytes cannot$/],
    ['lies/secret.rsr', /encrypted/], ['lies/bzip.rsr', /method 12/], ['lies/huge.rsr', /too large: 4295.0 MB \(4294967312 bytes\)/]]],
  ['overlap.zip', Array.from({ length: 12 }, (_, k) => [`overlap/o${String(k).padStart(2, '0')}.rsr`, /overlapping entries/])],
  ['bound.zip', [['bound/b0.rsr', damaged], ['bound/b1.rsr', damaged], ['bound/b2.rsr', /not read: bound.zip would inflate to more than 4295.0 MB/]]],
  ['cutdir.zip', [['cutdir.zip', /directory is cut short$/]]],
  ['streamed.zip', [['streamed/streamed1.rsr', 'S'], ['streamed/streamed2.rsr', 'M']]],
  ['sfx.zip', [['sfx/sfx1.rsr', 'S'], ['sfx/sfx2.rsr', 'M']]],
  ['bundle.zip', [['bundle/one/b1.rsr', 'S'], ['bundle/one/deeper/b2.rsr', 'M'], ['bundle/two/b3.rsr', 'M'], ['bundle/broken.zip', /not a zip archive/],
    ...[1, 2, 3, 4, 5, 6, 7].map((k) => [`bundle/${Array.from({ length: k }, (_, i) => `d${i + 1}/`).join('')}level.rsr`, k % 2 ? 'M' : 'S']),
    ['bundle/d1/d2/d3/d4/d5/d6/d7/d8.zip', /a zip inside zips 8 deep/]]],
];

let failures = 0;
const check = (ok, what) => {
  console.log(`${ok ? 'ok' : 'FAILED'}: ${what}`);
  if (!ok) failures += 1;
};

// A path that some system would refuse, rewrite or place outside its
// folder; or, among paths, one that another clashes with (letter case
// aside, or as a file where the other needs a folder).
const device = /^(con|prn|aux|nul|com[0-9¹²³]|lpt[0-9¹²³])$/i;
const unsafe = (path) => path.split('/').some((n) => !n || n === '.' || n === '..' || /[\u0000-\u001f<>:"|?*\\]|[. ]$/.test(n) ||
  device.test(n.split('.')[0].trimEnd()) || Buffer.byteLength(n) > 255);
const clashing = (paths) => {
  const keys = paths.map((p) => p.toLowerCase());
  return keys.some((k, i) => keys.indexOf(k) !== i || keys.some((o) => o.startsWith(`${k}/`)));
};

// Rows of the page against the cases' rows; the outputs wanted: { path: bytes }.
function compare(label, got, want) {
  const key = (r) => `${r[0]}\n${typeof r[1] === 'string' && r[1].startsWith('converted') ? 0 : 1}`;
  const sorted = (list) => [...list].sort((a, b) => (key(a) < key(b) ? -1 : 1));
  const rows = sorted(got.map((r) => [r.path, r.status === 'failed' ? r.notices : `${r.status} ${r.count}`]));
  const wanted = sorted(want.map(([p, w]) => [p, typeof w === 'string' ? `converted ${w.endsWith('+') ? 2 : 1}` : w]));
  const bad = wanted.filter(([p, w], i) => rows[i]?.[0] !== p || (typeof w === 'string' ? rows[i][1] !== w
    : !rows[i][1].startsWith(`${p}: `) || !w.test(rows[i][1].trimEnd())));
  check(!bad.length && rows.length === wanted.length, `${label}: ${wanted.length} rows as wanted (${bad.length ? JSON.stringify(bad.slice(0, 2)) : 'texts too'})`);
  return Object.fromEntries(want.filter(([, w]) => typeof w === 'string').map(([p, w]) => [p.replace(/\.rsr$/, '.obj'), objs[w[0]]]));
}

// The zip downloaded (or the folder saved): the outputs wanted, byte for
// byte, and no unsafe name.
function checkOutputs(label, files, outputs) {
  const names = Object.keys(files);
  const same = names.filter((n) => outputs[n] && Buffer.from(files[n]).equals(outputs[n]));
  check(same.length === names.length && names.length === Object.keys(outputs).length,
    `${label}: the ${Object.keys(outputs).length} outputs byte for byte (${names.filter((n) => !same.includes(n)).slice(0, 3)})`);
  check(!names.some(unsafe) && !clashing(names), `${label}: no unsafe name (${names.filter(unsafe).slice(0, 3)})`);
}

const { origin, stop } = await serve();
const downloads = join(dir, 'archive-downloads');
mkdirSync(downloads);
let browser = null;
let page = null;

// Picks the case's inputs (a folder, or files), and checks its rows and
// the zip it downloads.
async function run(label, picked, want, folder = false) {
  await page.click('#clear');
  await (await page.$(folder ? '#files' : '#pick-files')).uploadFile(...picked);
  const summary = await settled(page, want.length);
  const outputs = compare(label, await tableRows(page), want);
  const converted = want.filter(([, w]) => typeof w === 'string').length;
  check(summary.startsWith(`quarlen: ${converted} converted, ${want.length - converted} failed`), `${label}: the summary counts the rows (${summary})`);
  if (!converted) return;
  for (const f of readdirSync(downloads, { withFileTypes: true }).filter((f) => f.isFile())) rmSync(join(downloads, f.name));  // WebKit's home: its folders stay
  await page.click('#download-all');
  check(await downloaded(downloads, 'quarlen-obj.zip'), `${label}: quarlen-obj.zip downloaded`);
  checkOutputs(label, unzipSync(readFileSync(join(downloads, 'quarlen-obj.zip'))), outputs);
}

try {
  browser = await launch(false);
  page = await openPage(browser, origin, downloads);
  for (const [names, want] of cases) {
    const folder = names.endsWith('/');
    await run(names, names.split(' ').map((n) => join(hostile, n.replace(/\/$/, ''))), want, folder);
  }

  // All the archives picked at once, beside good files; then saved to a
  // folder of the origin's own in place of a picked one.
  for (const [name, from] of [['sample.rsr', models.S], ['names.rsr', models.M]]) copyFileSync(from, join(hostile, name));
  const picked = cases.filter(([names]) => !names.endsWith('/')).flatMap(([names]) => names.split(' '));
  const all = [...cases.filter(([names]) => !names.endsWith('/')).flatMap(([, want]) => want), ['sample.rsr', 'S'], ['names.rsr', 'M']];
  await run('all beside good files', [...picked, 'sample.rsr', 'names.rsr'].map((n) => join(hostile, n)), all);
  const saved = await page.evaluate(async () => {
    const folder = await (await navigator.storage.getDirectory()).getDirectoryHandle('picked', { create: true });
    window.showDirectoryPicker = async () => folder;
    document.getElementById('save-folder').click();
    while (!/^Saved/.test(document.getElementById('status').textContent)) await new Promise((r) => setTimeout(r, 100));
    const found = {};
    const walk = async (at, prefix) => {
      for await (const [name, h] of at.entries()) {
        if (h.kind === 'directory') await walk(h, `${prefix}${name}/`);
        else found[prefix + name] = [...new Uint8Array(await (await h.getFile()).arrayBuffer())];
      }
    };
    await walk(folder, '');
    return found;
  });
  checkOutputs('saved to a folder', saved, compare('(rows again)', await tableRows(page), all));

  // Memory: a bomb of 640 MiB of zeros, 650 kB deflated, converted; the
  // browser returns to near its idle memory (a converter that kept it
  // would hold 640 MiB more).
  execFileSync('/usr/bin/python3', ['-c', `import zipfile
with zipfile.ZipFile("${hostile}/zeros.zip", "w", zipfile.ZIP_DEFLATED) as z, z.open("zeros.rsr", "w") as w:
    for _ in range(640): w.write(bytes(1 << 20))`]);
  await page.click('#clear');
  await new Promise((r) => setTimeout(r, 2000));
  const idle = browserPssMB(browser);
  await (await page.$('#pick-files')).uploadFile(join(hostile, 'zeros.zip'));
  await settled(page, 1);
  const after = browserPssMB(browser);
  check(after - idle < 300, `after a bomb of 640 MiB the browser holds ${after.toFixed(0)} MB PSS, idle ${idle.toFixed(0)} MB`);

  // The bundle and the self-extracting archive in Firefox and WebKit.
  const both = cases.filter(([names]) => names === 'bundle.zip' || names === 'sfx.zip');
  for (const kind of ['Firefox', 'WebKit']) {
    await browser.close();
    if (kind === 'WebKit') ({ browser, page } = await openWebKit(origin, downloads));
    else page = await openPage((browser = await launch(false, downloads)), origin, downloads);
    await run(kind, both.map(([names]) => join(hostile, names)), both.flatMap(([, want]) => want));
  }
} catch (e) {
  check(false, e.stack);
} finally {
  await browser?.close();
  stop();
}
process.exit(failures ? 1 : 0);
