// The page given hostile archives (hostile_zips.py) in headless Chromium, each alone, then all beside good files: rows, texts,
// summary, and the zip's and saved folder's names (none unsafe) and bytes; two in Firefox and WebKit; the memory after a bomb.
//   node check_archives.mjs QUARLEN DIR   (DIR/lib: the models; web/dist built)
import { execFileSync } from 'node:child_process';
import { copyFileSync, mkdirSync, readdirSync, readFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join } from 'node:path';
import { browserPssMB, check, checks, downloaded, launch, openPage, openWebKit, root, saveToPicked, serve, settled, storedFiles, tableRows } from './browser.mjs';

const { unzipSync } = createRequire(join(root, 'web/package.json'))('fflate');
const [quarlen, dir] = process.argv.slice(2);
const at = (name) => join(dir, 'hostile', name);
const models = { S: join(dir, 'lib/sample.rsr'), M: join(dir, 'lib/models/mixed.rsr') };
execFileSync('/usr/bin/python3', [join(root, 'tests/web/hostile_zips.py'), models.S, models.M, at('')]);
const objs = Object.fromEntries(Object.entries(models).map(([k, p]) => [k, execFileSync(quarlen, [p, '-'], { stdio: ['ignore', 'pipe', 'ignore'] })]));

// Each case: what is picked (under hostile/; a folder ends in /) and its rows: [path, the model its output holds (+: renamed,
// which its row tells), or the end of its failure's text].
const cases = [
  ['slip.zip', [['slip/slip1.rsr', 'S+'], ['slip/abs/slip2.rsr', 'M'], ['slip/slip3.rsr', 'S+'], ['slip/C_slip4.rsr', 'M+'], ['slip/a/slip5.rsr', 'S+'], ['slip/a/slip6.rsr', 'M+']]],
  ['...zip .zip ..zip', [['dots1.rsr', 'S+'], ['dots2.rsr', 'M'], ['s/dots3.rsr', 'S+']]],
  ['devices.zip', [['devices/CON_.rsr', 'S+'], ['devices/aux_/nul_.rsr', 'M+'], ['devices/lpt1_.tar.rsr', 'S+'], ['devices/q_.rsr', 'M+'],
    ['devices/dir/x.rsr', 'S+'], [`devices/${'L'.repeat(251)}.rsr`, 'M+']]],
  ['names.zip', [['names/nul\ufffdhidden.rsr', /character \(U\+0000\)/], ['names/crlf\ufffd\ufffd.rsr', /\(U\+000D\)/], ['names/tab\ufffd.rsr', /\(U\+0009\)/]]],
  ['twice.zip', [['twice/twice.rsr', 'S'], ['twice/twice.rsr', /has the same output twice\/twice.obj as twice\/twice.rsr$/]]],
  ['p.zip p.ZIP', [['p/p.rsr', 'S'], ['p/p.rsr', /has the same output p\/p.obj as p\/p.rsr$/]]],
  ['fb/', [['fb/q.obj/x.rsr', 'M'], ['fb/q.rsr', /output fb\/q.obj and fb\/q.obj\/x.obj, the output of fb\/q.obj\/x.rsr, would be a file and a folder of one name$/]]],
  ['cp437.zip', [['cp437/café.rsr', 'S'], ['cp437/cafè.rsr', 'M'], ['cp437/Café-utf8.rsr', 'S'], ['cp437/bad\ufffd.rsr', /not UTF-8/],
    ['cp437/Łódź.rsr', 'S']]],
  ['lies.zip', [['lies/fine.rsr', 'S'], ['lies/crc.rsr', /check sum$/], ['lies/more.rsr', /holds more than its archive says$/], ['lies/less.rsr', /cut short$/],
    ['lies/stored.rsr', /holds 1796 bytes, which its 1797 stored bytes cannot$/], ['lies/ratio.rsr', /stored bytes cannot$/], ['lies/secret.rsr', /encrypted/],
    ['lies/bzip.rsr', /method 12/], ['lies/huge.rsr', /too large: 4295.0 MB \(4294967312 bytes\)/]]],
  ['overlap.zip', Array.from({ length: 12 }, (_, k) => [`overlap/o${String(k).padStart(2, '0')}.rsr`, /overlapping entries/])],
  ['bound.zip', [0, 1].map((k) => [`bound/b${k}.rsr`, /could not be read|cut short/]).concat([['bound/b2.rsr', /bound.zip would inflate to more than 4295.0 MB/]])],
  ['cutdir.zip notes.zip', [['cutdir.zip', /directory is cut short$/], ['notes.zip', /^notes.zip: not a zip archive, or one whose end is missing$/]]],
  ['sfx.zip', [['sfx/sfx1.rsr', 'S'], ['sfx/sfx2.rsr', 'M']]],
  ['bundle.zip', [['bundle/one/b1.rsr', 'S'], ['bundle/one/deeper/b2.rsr', 'M'], ['bundle/two/b3.rsr', 'M'], ['bundle/broken.zip', /not a zip archive/],
    ...[1, 2, 3, 4, 5, 6, 7].map((k) => [`bundle/${'d1/d2/d3/d4/d5/d6/d7/'.slice(0, 3 * k)}level.rsr`, k % 2 ? 'M' : 'S']),
    ['bundle/d1/d2/d3/d4/d5/d6/d7/d8.zip', /a zip inside zips 8 deep/]]],
];

// A name that some system refuses, rewrites or places outside its folder; names that clash (case aside, or file and folder).
const unsafe = (path) => path.split('/').some((n) => ['', '.', '..'].includes(n) || /[\u0000-\u001f<>:"|?*\\]|[. ]$/.test(n) ||
  /^(con|prn|aux|nul|com[0-9¹²³]|lpt[0-9¹²³])$/i.test(n.split('.')[0].trimEnd()) || Buffer.byteLength(n) > 255);
const clashing = (keys) => keys.some((k, i) => keys.indexOf(k) !== i || keys.some((o) => o.startsWith(`${k}/`)));

// The page's rows against the wanted ones; the outputs wanted, { path: bytes }.
function compare(label, rows, want) {
  const order = (list) => list.sort((a, b) => (a[0] < b[0] ? -1 : a[0] > b[0] ? 1 : a[1] - b[1]));
  const got = order(rows.map((r) => (r.status === 'converted' ? [r.path, 0, r.count] : [r.path, 1, r.notices.trimEnd()])));
  const bad = order(want.map(([p, w]) => [p, typeof w === 'string' ? 0 : 1, w])).filter(([p, failed, w], i) => got[i]?.[0] !== p ||
    got[i][1] !== failed || (failed ? !got[i][2].startsWith(`${p}: `) || !w.test(got[i][2]) : got[i][2] !== (w.endsWith('+') ? 2 : 1)));
  check(!bad.length && got.length === want.length, `${label}: ${want.length} rows as wanted, with their texts (${bad.slice(0, 2).join('; ')})`);
  return Object.fromEntries(want.filter(([, w]) => typeof w === 'string').map(([p, w]) => [p.replace(/rsr$/, 'obj'), objs[w[0]]]));
}

// The files of a zip or a folder: the outputs wanted, byte for byte, and no unsafe name.
function checkFiles(label, files, outputs) {
  const names = Object.keys(files);
  const wrong = names.filter((n) => !outputs[n]?.equals(Buffer.from(files[n])));
  check(!wrong.length && names.length === Object.keys(outputs).length, `${label}: the ${names.length} outputs byte for byte (${wrong.slice(0, 3)})`);
  check(!names.some(unsafe) && !clashing(names.map((n) => n.toLowerCase())), `${label}: no unsafe name (${names.filter(unsafe).slice(0, 3)})`);
}

const [{ origin, stop }, downloads] = [await serve(), join(dir, 'archive-downloads')];
mkdirSync(downloads);
let [browser, page] = [null, null];

// Picks names (files, or one folder), and checks the rows and the zip.
async function run(label, names, want) {
  await page.click('#clear');
  await (await page.$(names[0].endsWith('/') ? '#files' : '#pick-files')).uploadFile(...names.map((n) => at(n.replace(/\/$/, ''))));
  const summary = await settled(page, want.length);
  const outputs = compare(label, await tableRows(page), want);
  const converted = want.filter(([, w]) => typeof w === 'string').length;
  check(summary.startsWith(`quarlen: ${converted} converted, ${want.length - converted} failed`), `${label}: the summary counts the rows (${summary})`);
  if (!converted) return outputs;
  for (const f of readdirSync(downloads, { withFileTypes: true }).filter((f) => f.isFile())) rmSync(join(downloads, f.name));  // WebKit's home stays
  await page.click('#download-all');
  check(await downloaded(downloads, 'quarlen-obj.zip'), `${label}: quarlen-obj.zip downloaded`);
  checkFiles(label, unzipSync(readFileSync(join(downloads, 'quarlen-obj.zip'))), outputs);
  return outputs;
}

try {
  page = await openPage((browser = await launch(false)), origin, downloads);
  for (const [names, want] of cases) await run(names, names.split(' '), want);
  // All at once beside good files, and saved to a folder.
  for (const [name, from] of [['sample.rsr', models.S], ['names.rsr', models.M]]) copyFileSync(from, at(name));
  const files = cases.filter(([names]) => !names.endsWith('/'));
  const outputs = await run('all beside good files', [...files.flatMap(([names]) => names.split(' ')), 'sample.rsr', 'names.rsr'],
    [...files.flatMap(([, want]) => want), ['sample.rsr', 'S'], ['names.rsr', 'M']]);
  await saveToPicked(page);
  checkFiles('saved to a folder', await storedFiles(page, 'picked'), outputs);

  // Bombs of 640 MiB of zeros, an entry and an inner zip: the browser returns to near its idle memory (a converter that kept
  // either would hold 640 MiB more).
  for (const bomb of ['zeros.zip', 'zeros-inner.zip']) {
    await page.click('#clear');
    const idle = await new Promise((r) => setTimeout(() => r(browserPssMB(browser)), 2000));
    await (await page.$('#pick-files')).uploadFile(at(bomb));
    const after = (await settled(page, 1)) && browserPssMB(browser);
    check(after - idle < 300, `after ${bomb}, a bomb of 640 MiB, the browser holds ${after.toFixed(0)} MB PSS, idle ${idle.toFixed(0)} MB`);
  }

  // The bundle and the self-extracting archive in Firefox and WebKit.
  const both = cases.filter(([names]) => ['bundle.zip', 'sfx.zip'].includes(names));
  for (const kind of ['Firefox', 'WebKit']) {
    await browser.close();
    if (kind === 'WebKit') ({ browser, page } = await openWebKit(origin, downloads));
    else page = await openPage((browser = await launch(false, downloads)), origin, downloads);
    await run(kind, both.map(([names]) => names), both.flatMap(([, want]) => want));
  }
} catch (e) {
  check(false, e.stack);
} finally {
  await browser?.close();
  stop();
}
process.exit(checks.failed ? 1 : 0);
