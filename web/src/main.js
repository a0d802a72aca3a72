// The page: takes .rsr files, folders and .zip archives (read where they
// lie, an entry at a time), converts them in path order in converter
// workers (worker.js, one a processor), which store each output on disk as
// it is made, with the model's picture drawn in the same run; lists each
// result, as a table or as a grid of pictures; shows the selected one in 3D
// (view-worker.js reads and draws it off the page's thread) beside its
// details; and downloads one output or all of them (and their pictures) as
// a zip streamed from disk, or saves them into a folder. Opened as an
// installed app with files, it converts them as it converts a pick.
import { createOptions, presets } from './options.js';
import { before, createClashes } from './clashes.js';
import { comparePaths, isRsr, isZip } from './paths.js';
import { failure, pictureSize, storeFull } from './core.js';
import { createGrid } from './grid.js';
import { makeInput } from './inputs.js';
import { saveToFolder } from './save.js';
import { pacer } from './pace.js';
import { forgetPictures, keepFresh, retryPictures } from './pictures.js';
import { release, seal, stored } from './packs.js';
import { heldFolder, outputBody, removeStored, storedFile } from './store.js';
import { createTable, megabytes } from './table.js';
import { createViewer, noWebGL } from './viewer.js';
import { zipParts } from './zip.js';

const $ = (id) => document.getElementById(id);

// ---- the workers ----

// A worker whose jobs answer as promises. A worker that dies (its memory
// taken back by the browser) fails what it held; the next job starts another.
// One whose answer says retire is ended and started again once it holds no
// job: the browser then takes back all its memory at once. name(): the
// name of each worker started, if they are named.
function jobWorker(script, name = null) {
  let worker;
  let nextId = 0;
  const waiting = new Map();
  let retiring = false;
  function start() {
    worker = new Worker(script, name ? { name: name() } : {});
    worker.onmessage = ({ data }) => {
      const w = waiting.get(data.id);
      waiting.delete(data.id);
      retiring ||= !!data.retire;
      if (retiring && !waiting.size) {
        worker.terminate();
        retiring = false;
        start();
      }
      if (data.error) w.reject(new Error(data.error));
      else w.resolve(data);
    };
    worker.onerror = (e) => {
      e.preventDefault();
      for (const w of waiting.values()) w.reject(new Error(e.message || 'the worker stopped'));
      waiting.clear();
      worker.terminate();
      start();
    };
  }
  start();
  return (type, payload = {}, transfer = []) => new Promise((resolve, reject) => {
    const id = ++nextId;
    waiting.set(id, { resolve, reject });
    worker.postMessage({ id, type, ...payload }, transfer);
  });
}

// A converter a processor, each holding one model at a time.
const converters = Array.from({ length: Math.min(16, Math.max(1, navigator.hardwareConcurrency || 1)) },
  () => jobWorker('worker.js', heldFolder));
let turn = 0;
const anyConverter = () => converters[turn++ % converters.length];  // for the jobs besides conversions
const viewJob = jobWorker('view-worker.js');
let options;
let viewer = { available: false, clear() {}, fit() {}, setWireframe() {} };  // until the view is made
let table;
let grid;

// Where results wait: on disk (the origin private file system) where the
// browser gives workers one, else in memory up to this bound (a test
// sets a smaller one: ?memory-bound=BYTES).
let onDisk = true;
const memoryBound = Number(new URLSearchParams(location.search).get('memory-bound')) || 1024e6;
let held = 0;  // bytes of results held in memory

// ---- inputs and the queue ----

// An item a row: { path, told (the notice of its rename, or ''), size,
// source (File, or { archive, entry, spills }) or problem, serial (the
// order it was given in), args, out, result }. Two inputs of one path
// are two items, the later failing as a clash.
const items = new Set();
let serials = 0;
const clashes = createClashes();
const spills = new Set();  // inner zips stored for the items (archives.js), removed with them
// Inputs of this many bytes at most are read at once (one at a time when
// larger): each converter holds its input whole, and the browser all of them.
const flightBound = 2 ** 30;
const readAheadBytes = 64e6;  // the largest input a converter reads while it converts another
const detailsKept = 64e6;  // the input's bytes from which a converted row keeps its details
let queue = [];
let running = false;
let batch = { total: 0, ended: 0, failed: 0, skipped: 0, bytes: 0, start: 0 };
let full = null;  // 'quota' or 'bound' once the store for results filled up in this run
let selected = null;
let kick = null;  // starts conversions on idle converters while a batch's conversions run
let tickets = 0;
let entering = 0;  // picks that wait for the converters to start
const pinned = new Set();  // outputs on disk that a download reads: never removed under it
// A Blob in memory is held by the download that reads it: pinned, it would
// outlive Clear.
const pin = (outputs) => outputs.forEach((o) => o.pack && pinned.add(o));

// Resolves once the converters are ready (false when they could not start):
// inputs given before wait for it.
let readyNow;
const ready = new Promise((resolve) => { readyNow = resolve; });

const note = (text) => { $('store-note').textContent = text; };

// What a result keeps in the store: its outputs and its picture.
const kept = (result) => [...(result?.outputs ?? []), ...(result?.picture ? [result.picture] : [])];
// The bytes of them held in memory.
const heldBy = (result) => kept(result).reduce((n, o) => n + (o.blob ? o.stored : 0), 0);

function forget(list) {
  for (const item of list) held -= heldBy(item.result);
  for (const o of list.flatMap((i) => kept(i.result))) if (!pinned.has(o)) release(o);
}

function showCommand() {
  $('command').textContent = ['quarlen', ...options.args(), '-r', 'FOLDER'].join(' ');
}

// Puts the inputs (inputs.js) in the table and the queue, each a row of
// its own.
function addInputs(list, skipped) {
  if (!running) batch = { total: 0, ended: 0, failed: 0, skipped: 0, bytes: 0, start: performance.now() };
  batch.skipped += skipped;
  const fresh = list.map((input) => ({ ...input, serial: ++serials, result: null }));
  for (const item of fresh) {
    items.add(item);
    for (const spill of item.source?.spills ?? []) spills.add(spill);
  }
  table.sort(items);
  grid.changed();
  if (list.length) enqueue(fresh);
  else showProgress();
}

const readyText = 'Ready: choose or drop files, folders or .zip archives.';

// The page once Clear took all of a pick that waited, unless another
// pick or a run goes on.
function idleAgain() {
  if (running || entering) return;
  setBusy(false);
  $('status').textContent = readyText;
}

async function enqueue(list) {
  if (!list.length) return showProgress();
  entering += 1;
  if (options) document.body.dataset.state = 'converting';  // from the moment files wait
  const started = await ready;
  entering -= 1;
  // Clear may come while a pick waits: what it cleared is not converted.
  const left = () => list.filter((i) => items.has(i));
  list = left();
  if (!started) {
    for (const item of list) finish(item, failure(item.path, 'not converted: the converter could not start'));
    return;
  }
  if (!list.length) return idleAgain();
  if (!running) batch = { ...batch, total: 0, ended: 0, failed: 0, bytes: 0, start: performance.now() };
  const args = options.args();
  const readable = list.filter((i) => !i.problem);
  const { outputs } = await anyConverter()('outputs', { paths: readable.map((i) => i.path), args });
  readable.forEach((item, k) => items.has(item) && clashes.set(item, outputs[k]));
  list = left();
  if (!list.length) return idleAgain();
  for (const item of list) item.args = args;
  // An input given now that comes before one given earlier with the same
  // output takes that output: the earlier one converts again, and fails.
  const given = new Set(list);
  const later = new Set();
  for (const item of readable)
    for (const twin of clashes.rivals(item))
      if (!given.has(twin) && before(item, twin)) later.add(twin);
  for (const twin of later) {
    if (twin.endedIn === batch) {  // ended in this run: it is counted again when it ends again
      batch.total -= 1;
      batch.ended -= 1;
      if (!twin.result.converted) batch.failed -= 1;
      twin.endedIn = null;
    }
    forget([twin]);
    twin.result = null;
    showItem(twin);
  }
  const waiting = new Set(queue);
  const added = [...list, ...later].filter((i) => !waiting.has(i));
  for (const item of added) item.ticket = ++tickets;  // a conversion under an older ticket is dropped
  queue = [...queue, ...added].sort((a, b) => comparePaths(a.path, b.path));
  batch.total += added.length;
  if (running) kick?.();  // none while the run starts or seals its packs: the queue is taken after
  else pump();
}

async function convertOne(converter, item) {
  const { path, source, args, problem } = item;
  const rival = problem ? null : clashes.of(item);
  if (problem || rival?.problem) return { result: failure(path, problem || rival.problem), read: 0 };
  try {
    return await converter('convert', {
      path, source, args, earlier: rival?.earlier ?? '', deflate: $('smaller').checked,
      room: { bytes: memoryBound - held }, picture: $('pictures').checked ? pictureSize : 0,
    });
  } catch (e) {
    return { result: failure(path, `stopped: ${e.message}`), read: 0 };
  }
}

// While files convert, the table and the summary are drawn twice a second;
// when the run ends, at once.
const paced = pacer(500);

function showProgress() {
  if (running) paced(drawProgress);
  else drawProgress();
}

function drawProgress() {
  const s = (performance.now() - batch.start) / 1000;
  $('progress').max = Math.max(batch.total, 1);
  $('progress').value = batch.ended;
  const skipped = batch.skipped ? `, ${batch.skipped} skipped (not .rsr)` : '';
  $('status').textContent = running
    ? `Converting: ${batch.ended} of ${batch.total} files, ${batch.failed} failed, ${megabytes(batch.bytes)} read, ${s.toFixed(1)} s`
    : `quarlen: ${batch.ended - batch.failed} converted, ${batch.failed} failed${skipped} in ${s.toFixed(2)} s ` +
      `(${(s > 0 ? batch.bytes / 1e6 / s : 0).toFixed(1)} MB/s)`;
  $('status').classList.toggle('bad', batch.failed > 0);
}

function finish(item, result, ticket = item.ticket) {
  if (!items.has(item) || ticket !== item.ticket) {  // cleared, or converted again, meanwhile
    if (items.has(item)) batch.total -= 1;
    for (const o of kept(result)) release(o);  // never counted in held
    return;
  }
  // Each job was given the room left in memory when it was sent, and the
  // jobs in flight were given the same room: one that no longer fits
  // when it comes is not kept, and the run stops as full.
  if (held + heldBy(result) > memoryBound) {
    stopFull('bound');
    result = failure(item.path, storeFull);
  }
  // Of a converted file only counts are kept (its notices are read again
  // when it is selected), but for a large one, which costs more to read
  // again than its texts to keep; a failed file keeps its notices, on its row.
  const notices = item.told + result.notices;
  const noticeCount = notices.split('\n').length - 1;
  const details = item.size >= detailsKept ? notices + result.info : null;
  // The picture's bytes are shown while they are fresh, and read from the
  // store after.
  const { bytes, ...picture } = result.picture ?? {};
  if (bytes) keepFresh(item, bytes);
  const { outputs, counts, converted } = result;
  item.result = { ...(converted ? { converted, outputs, counts, details } : { ...result, notices }), noticeCount,
    picture: bytes ? picture : null };
  held += heldBy(item.result);
  batch.ended += 1;
  if (!result.converted) batch.failed += 1;
  item.endedIn = batch;
  showItem(item);
  showProgress();
  // Of a run of many files, the view draws the one shown when the run
  // ends: reading and drawing a large model would take a processor from
  // the converters.
  if (!selected || selected === item) select(item, batch.total <= 1);
}

// The store filled up: the files still waiting are not converted.
function stopFull(kind) {
  full ??= kind;
  const rest = queue;
  queue = [];
  for (const item of rest) finish(item, failure(item.path, storeFull));
}

function tellFull() {
  const converted = batch.ended - batch.failed;
  note(full === 'quota'
    ? `The browser's storage for this page is full: ${converted} files converted; the rest were not. ` +
      'Download or save what converted, Clear, and convert the rest.'
    : `The results held in memory reached this page's bound of ${megabytes(memoryBound)}: ${converted} files converted; ` +
      'the rest were not. Download what converted, Clear, and convert the rest.');
}

// Asks the browser to keep what the page stores, and says when the room
// it gives may be less than the run's results need (about 1.5 times its input).
let persistAsked = false;
async function checkRoom() {
  if (!onDisk || !navigator.storage?.estimate) return;
  if (!persistAsked) {
    persistAsked = true;
    navigator.storage.persist?.().catch(() => {});
  }
  try {
    const { quota, usage } = await navigator.storage.estimate();
    const needed = 1.5 * queue.reduce((n, i) => n + (i.source ? i.size : 0), 0);
    if (quota - usage < needed)
      note(`This browser lets the page store about ${megabytes(quota - usage)} more, and these results may need ` +
        `${megabytes(needed)}: the files that do not fit will not be converted.`);
  } catch { /* no estimate: the run tells a full store when it comes */ }
}

function setBusy(on) {
  running = on;
  if (options) document.body.dataset.state = on ? 'converting' : 'idle';  // else still loading, or broken
  $('clear').disabled = on;
  $('convert-again').disabled = on || !items.size;
  const some = !on && [...items].some((i) => i.result?.outputs.length);
  $('download-all').disabled = !some;
  $('save-folder').disabled = !some;
}

// Converts the queue in path order on the free converters, while the
// inputs in flight hold flightBound bytes at most. A converter converting
// one input takes the next as well while the queue holds more than one for
// each converter, and reads it while it converts (worker.js): reading a
// file takes longer than converting it, and reading one at a time left
// each converter waiting on the browser for half of a library's run. Only
// small inputs are read ahead, as they are held twice; none at a run's end,
// where an idle converter should take them.
async function pump() {
  full = null;
  setBusy(true);
  showProgress();
  await checkRoom();
  // A pick that comes while the run's packs are sealed starts another round.
  do {
    await new Promise((done) => {
      const holding = new Map(converters.map((c) => [c, []]));  // the inputs each converter holds (none, one or two), in its order
      const retiring = new Set();  // converters to be ended once they hold nothing (jobWorker): none is given more meanwhile
      let flying = 0;  // bytes of the inputs being converted
      const weight = (item) => (item.source ? item.size : 0);
      const allIdle = () => converters.every((c) => !holding.get(c).length);
      const next = () => {
        if (!queue.length) return null;
        const idle = converters.find((c) => !holding.get(c).length);
        if (allIdle()) return idle;
        if (flying + weight(queue[0]) > flightBound) return null;
        if (idle) return idle;
        return queue.length > converters.length && weight(queue[0]) <= readAheadBytes
          ? converters.find((c) => holding.get(c).length === 1 && !retiring.has(c)) : null;
      };
      const run = () => {
        for (let converter = next(); converter; converter = next()) {
          const item = queue.shift();
          const { ticket } = item;
          const hands = holding.get(converter);
          hands.push(item);
          flying += weight(item);
          // An input read ahead shows as waiting until its converter gets to it.
          if (hands.length === 1) table.show(item, true);
          grid.show(item);
          convertOne(converter, item).then((reply) => {
            hands.splice(hands.indexOf(item), 1);
            if (hands.length) table.show(hands[0], true);
            if (reply.retire && hands.length) retiring.add(converter);
            else if (!hands.length) retiring.delete(converter);
            flying -= weight(item);
            batch.bytes += reply.read;
            stored(kept(reply.result), converter, reply.sealed);
            if (reply.full) stopFull(reply.full);
            finish(item, reply.result, ticket);
            run();
          });
        }
        if (!allIdle()) return;
        kick = null;  // picks from now on wait in the queue for the next round
        done();
      };
      kick = run;
      run();
    });
    await seal();  // the run's packs, for downloads and pictures to read
  } while (queue.length);
  retryPictures();
  setBusy(false);
  paced.flush();
  showProgress();
  if (full) tellFull();
  if (drawLater && selected) select(selected);
}

// ---- taking files, folders and archives ----

// The inputs of an archive (archives.js, in a converter): its .rsr
// entries and those of the zips inside it, or one failed row.
async function fromArchive(file, path) {
  try {
    const converter = anyConverter();
    const reply = await converter('list', { file, path });
    stored([], converter, reply.sealed);  // one that retires seals its pack
    return reply;
  } catch (e) {
    return { inputs: [makeInput([path], null, 0, `could not be read (${e.message})`)], skipped: 0 };
  }
}

// files: [{ file, path (as given: a folder's files with their folders) }].
async function fromFiles(files) {
  const plain = [];
  const archives = [];
  let skipped = 0;
  for (const { file, path } of files) {
    if (isZip(path)) archives.push({ file, path });
    else if (isRsr(path)) plain.push(makeInput([path], file, file.size));
    else skipped += 1;
  }
  // One batch, so that its summary counts every file given at once.
  for (const [k, { file, path }] of archives.entries()) {
    if (!running) $('status').textContent = `Reading ${path} (archive ${k + 1} of ${archives.length})…`;
    const { inputs, skipped: inside } = await fromArchive(file, path);
    plain.push(...inputs);
    skipped += inside;
  }
  addInputs(plain, skipped);
}

function takeInput(input) {
  const files = [...input.files].map((file) => ({ file, path: file.webkitRelativePath || file.name }));
  input.value = '';
  fromFiles(files);
}

// The files below dropped entries, walking sub-folders.
async function walk(entry, out) {
  if (entry.isFile) {
    const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
    out.push({ file, path: entry.fullPath });
  } else if (entry.isDirectory) {
    const reader = entry.createReader();
    for (;;) {
      const some = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
      if (!some.length) break;
      for (const e of some) await walk(e, out);
    }
  }
}

function setupDrop() {
  const body = document.body;
  body.addEventListener('dragover', (e) => {
    e.preventDefault();
    body.classList.add('dragging');
  });
  body.addEventListener('dragleave', (e) => { if (!e.relatedTarget) body.classList.remove('dragging'); });
  body.addEventListener('drop', async (e) => {
    e.preventDefault();
    body.classList.remove('dragging');
    const entries = [...e.dataTransfer.items].map((i) => i.webkitGetAsEntry?.()).filter(Boolean);
    const files = [];
    if (entries.length) for (const entry of entries) await walk(entry, files);
    else for (const file of e.dataTransfer.files) files.push({ file, path: file.name });
    fromFiles(files);
  });
}

// ---- the view, the details and the downloads ----

let shown = 0;  // the latest request to the view; older answers are dropped

// The details pane: the selected file's notices and --info report.
async function showDetails(item) {
  const { result } = item;
  $('info').textContent = result && !result.converted ? result.notices + result.info : result?.details ?? '';
  if (!result?.converted || result.details) return;
  const { path, source, args } = item;
  try {
    const { notices, info } = await anyConverter()('details', { path, source, args, earlier: '' });
    if (selected === item && item.result === result) $('info').textContent = item.told + notices + info;
  } catch (e) {
    if (selected === item) $('info').textContent = `${path}: ${e.message}`;
  }
}

let drawLater = false;  // the shown row's model waits for the run's end

// Shows item's state in the table and the grid.
function showItem(item) {
  table.show(item);
  grid.show(item);
}

async function select(item, drawNow = true) {
  if (selected) for (const view of [table, grid]) view.mark(selected, false);
  selected = item;
  for (const view of [table, grid]) view.mark(item, true);
  $('view-name').textContent = item.path;
  showDetails(item);
  if (!viewer.available) return;
  const ticket = ++shown;
  viewer.clear();
  const files = item.result?.outputs ?? [];
  drawLater = !drawNow && files.length > 0;
  $('view-note').textContent = drawLater ? 'The view draws this model when the run ends.' : files.length ? 'Reading the model…' : '';
  if (!files.length || drawLater) return;
  try {
    await seal(files);
    if (ticket !== shown) return;
    const { problem, triangles, every } = await viewer.show(files, item.path);
    if (ticket !== shown) return;
    $('view-note').textContent = problem ?? (every > 1
      ? `A large model: every ${every}th of its ${triangles.toLocaleString('en')} triangles is drawn; the downloads hold all of them.`
      : '');
  } catch (e) {
    if (ticket === shown) $('view-note').textContent = `The view could not read ${item.path}: ${e.message}`;
  }
}

function save(blob, name) {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(blob);
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 60000);
}

async function downloadOne(output) {
  try {
    pin([output]);
    await seal([output]);
    save(await outputBody(output), output.path.split('/').pop());
  } catch (e) {
    $('status').textContent = `${output.path} could not be read back: ${e.message}`;
  }
}

// The rows with outputs, in path order.
const doneRows = () => [...items].filter((i) => i.result?.outputs.length).sort((a, b) => comparePaths(a.path, b.path));

// Their outputs, each row's followed by its picture (NAME.png) when "with
// pictures" is ticked.
const doneOutputs = (rows = doneRows()) => rows.flatMap((i) => ($('with-pictures').checked ? kept(i.result) : i.result.outputs));

// The zip's headers are made here; its bodies are the stored files, which
// the browser reads from disk as the download goes. They are kept on disk
// until the tab closes, however the list changes meanwhile.
async function downloadAll() {
  const rows = doneRows();
  const outputs = doneOutputs(rows);
  if (!outputs.length) return;
  const button = $('download-all');
  button.disabled = true;
  button.textContent = 'Making the zip…';
  try {
    pin(outputs);
    await seal(outputs);
    const files = new Map();  // of the packs
    const entries = [];
    for (const o of outputs) entries.push({ ...o, body: await storedFile(o, files) });
    const kind = rows[0].result.outputs[0].path.split('.').pop().toLowerCase();
    save(new Blob(zipParts(entries), { type: 'application/zip' }), `quarlen-${kind}.zip`);
  } catch (e) {
    $('status').textContent = `The zip could not be made: ${e.message}`;
  }
  button.textContent = 'Download all (.zip)';
  button.disabled = running;
}

// Writes the output tree into a folder the user picks, as
// `quarlen -r -o FOLDER` writes it (save.js).
async function saveFolder() {
  let folder;
  try {
    folder = await window.showDirectoryPicker({ id: 'quarlen-output', mode: 'readwrite' });
  } catch {
    return;  // no folder picked
  }
  const outputs = doneOutputs();
  pin(outputs);
  await seal(outputs);
  const button = $('save-folder');
  button.disabled = true;
  const replace = $('replace').checked;
  const { saved, kept, failed } = await saveToFolder(folder, outputs, replace, (n) => {
    $('status').textContent = `Saving to ${folder.name}: ${n} of ${outputs.length} files`;
  });
  $('status').textContent = `Saved ${saved} files to ${folder.name}` +
    (kept ? `; ${kept} kept as they were (they exist: tick "replace existing files" to replace them)` : '') +
    (failed.length ? `; ${failed.length} could not be written: ${failed.slice(0, 3).join('; ')}` : '');
  $('status').classList.toggle('bad', failed.length > 0);
  button.disabled = running;
}

function clearAll() {
  if (running) return;
  forget([...items]);
  for (const spill of spills) removeStored(spill);
  spills.clear();
  queue = [];
  items.clear();
  clashes.clear();
  selected = null;
  table.clear();
  grid.clear();
  forgetPictures();
  $('info').textContent = '';
  $('view-name').textContent = '';
  setBusy(false);
  viewer.clear();
}

// A box whose state the page keeps in this browser from one visit to the
// next (its default is the page's).
function remembered(id) {
  const box = $(id);
  const key = `quarlen-${id}`;
  try {
    if (localStorage.getItem(key)) box.checked = localStorage.getItem(key) === 'on';
    box.addEventListener('change', () => localStorage.setItem(key, box.checked ? 'on' : 'off'));
  } catch { /* no storage here: the default each time */ }
}

// The table or the grid of pictures, as the toggle says; rows show pictures
// while the page draws them.
function showLayout() {
  $('results').classList.toggle('pictures', $('pictures').checked);
  const asGrid = $('layout-pictures').checked;
  table.hide(asGrid);
  grid.hide(!asGrid);
}

function setupPage() {
  setupDrop();
  table = createTable($('results'), {
    onSelect: select,
    onDownload: downloadOne,
    pace: paced,
  });
  grid = createGrid($('pictures-grid'), { list: table.list, onSelect: select, pace: paced });
  remembered('pictures');
  showLayout();
  for (const id of ['pictures', 'layout-table', 'layout-pictures']) $(id).addEventListener('change', showLayout);
  $('failures-only').addEventListener('change', (e) => {
    table.failuresOnly(e.target.checked);
    grid.changed();
  });
  $('files').addEventListener('change', (e) => takeInput(e.target));
  $('pick-files').addEventListener('change', (e) => takeInput(e.target));
  $('download-all').addEventListener('click', downloadAll);
  $('folder-tools').hidden = !('showDirectoryPicker' in window);
  $('save-folder').addEventListener('click', saveFolder);
  $('clear').addEventListener('click', clearAll);
  $('convert-again').addEventListener('click', () => {
    if (running) return;
    const all = [...items];
    forget(all);
    for (const item of all) {
      item.result = null;
      showItem(item);
    }
    enqueue(all);
  });
  $('fit').addEventListener('click', () => viewer.fit());
  $('wireframe').addEventListener('change', (e) => viewer.setWireframe(e.target.checked));
}

// Files the page is opened with, as an installed app ("Open with quarlen"):
// converted as a pick of them is.
function takeLaunched({ files }) {
  Promise.all(files.filter((h) => h.kind === 'file').map(async (h) => ({ file: await h.getFile(), path: h.name })))
    .then((picked) => picked.length && fromFiles(picked))
    .catch((e) => { $('status').textContent = `The files this app was opened with could not be read: ${e.message}`; });
}

async function start() {
  setupPage();
  window.launchQueue?.setConsumer(takeLaunched);
  if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js').catch(() => {});
  createViewer($('view'), $('groups'), viewJob).then((made) => {
    viewer = made;
    if (!viewer.available) $('view-note').textContent = noWebGL;
    else if (selected) select(selected);  // chosen before the view was made
  });
  try {
    const [first, ...rest] = await Promise.all(converters.map((c) => c('ready')));
    onDisk = [first, ...rest].every((r) => r.onDisk);
    options = createOptions($('option-controls'), first.options, showCommand);
    for (const [name, list] of Object.entries(presets))
      $(`preset-${name}`).addEventListener('click', () => options.preset(list));
    showCommand();
    if (!onDisk)
      note(`This browser gives the page no disk store (an origin private file system): results are kept in memory, ` +
        `up to ${megabytes(memoryBound)}.`);
    if (!running && !entering) {
      $('status').textContent = readyText;
      document.body.dataset.state = 'idle';
    }
    readyNow(true);
  } catch (e) {
    $('status').textContent = `The converter could not start: ${e.message}`;
    document.body.dataset.state = 'broken';
    readyNow(false);
  }
}

start();
