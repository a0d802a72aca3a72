// The page: takes .rsr files, folders and .zip archives, converts them in
// path order in converter workers (worker.js), which store each output
// deflated on disk; lists each result; shows the selected one in 3D
// (view-worker.js reads and draws it off the page's thread) beside its details; and
// downloads one output or all of them as a zip streamed from disk.
import { createOptions, presets } from './options.js';
import { comparePaths, isRsr, relativePath } from './paths.js';
import { removeStored, storedFile } from './store.js';
import { createTable, megabytes } from './table.js';
import { createViewer, noWebGL } from './viewer.js';
import { zipParts } from './zip.js';

const $ = (id) => document.getElementById(id);

// ---- the workers ----

// A worker whose jobs answer as promises. A worker that dies (its memory
// taken back by the browser) fails what it held; the next job starts another.
function jobWorker(script) {
  let worker;
  let nextId = 0;
  const waiting = new Map();
  function start() {
    worker = new Worker(script);
    worker.onmessage = ({ data }) => {
      const w = waiting.get(data.id);
      waiting.delete(data.id);
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

// Converters side by side, one a processor up to four: deflating the
// outputs costs more than converting them. Each holds one model at a time.
const converters = Array.from({ length: Math.min(4, Math.max(1, navigator.hardwareConcurrency || 1)) },
  () => jobWorker('worker.js'));
const convertJob = converters[0];  // for the jobs besides conversions
const viewJob = jobWorker('view-worker.js');
let options;
let viewer = { available: false, clear() {}, fit() {}, setWireframe() {} };  // until the view is made
let table;

// ---- inputs and the queue ----

const items = new Map();  // path -> { path, source (File or Uint8Array), row, args, out, result }
let queue = [];
let running = false;
let batch = { total: 0, ended: 0, failed: 0, skipped: 0, bytes: 0, start: 0 };
let selected = null;
let kick = null;  // starts conversions on idle converters while a batch runs

const forget = (list) => {
  for (const o of list.flatMap((i) => i.result?.outputs ?? [])) removeStored(o.folder, o.name);
};

function showCommand() {
  $('command').textContent = ['quarlen', ...options.args(), '-r', 'FOLDER'].join(' ');
}

function addInputs(list, skipped) {
  if (!running) batch = { total: 0, ended: 0, failed: 0, skipped: 0, bytes: 0, start: performance.now() };
  batch.skipped += skipped;
  const fresh = [];
  for (const { path, source } of list) {
    let item = items.get(path);
    if (!item) items.set(path, (item = { path }));
    forget([item]);
    item.source = source;
    item.result = null;
    table.show(item);
    fresh.push(item);
  }
  table.sort(items.values());
  enqueue(fresh);
}

async function enqueue(list) {
  if (!list.length) return showProgress();
  document.body.dataset.state = 'converting';  // from the moment files wait
  if (!running) batch = { ...batch, total: 0, ended: 0, failed: 0, bytes: 0, start: performance.now() };
  const args = options.args();
  const { outputs } = await convertJob('outputs', { paths: list.map((i) => i.path), args });
  list.forEach((item, k) => Object.assign(item, { args, out: outputs[k] }));
  queue = [...new Set([...queue, ...list])].sort((a, b) => comparePaths(a.path, b.path));
  batch.total += list.length;
  $('convert-again').disabled = false;
  if (running) kick();
  else pump();
}

// Of two inputs with the same output, the one later in path order fails;
// the core tells it.
function earlierWithSameOutput(item) {
  let earlier = '';
  for (const other of items.values())
    if (other !== item && other.out === item.out && comparePaths(other.path, item.path) < 0 &&
        (!earlier || comparePaths(other.path, earlier) < 0)) earlier = other.path;
  return earlier;
}

async function convertOne(converter, item) {
  const { path, source, args } = item;
  batch.bytes += source.size ?? source.length;
  try {
    return (await converter('convert', { path, source, args, earlier: earlierWithSameOutput(item) })).result;
  } catch (e) {
    return { converted: false, outputs: [], notices: `${path}: stopped: ${e.message}\n`, info: '', counts: null };
  }
}

function showProgress() {
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

function finish(item, result) {
  if (items.get(item.path) !== item) {  // cleared meanwhile
    forget([{ result }]);
    return;
  }
  // Of a converted file only counts are kept (its notices are read again
  // when it is selected); a failed file keeps its notices, on its row.
  const noticeCount = result.notices.split('\n').length - 1;
  item.result = result.converted ? { converted: true, outputs: result.outputs, counts: result.counts, noticeCount }
    : { ...result, noticeCount };
  batch.ended += 1;
  if (!result.converted) batch.failed += 1;
  table.show(item);
  showProgress();
  if (!selected || selected === item) select(item);
}

// Converts the queue in path order on the free converters.
async function pump() {
  running = true;
  document.body.dataset.state = 'converting';
  showProgress();
  await new Promise((done) => {
    const free = [...converters];
    kick = () => {
      while (queue.length && free.length) {
        const converter = free.pop();
        const item = queue.shift();
        table.show(item, true);
        convertOne(converter, item).then((result) => {
          finish(item, result);
          free.push(converter);
          kick();
        });
      }
      if (free.length === converters.length) done();
    };
    kick();
  });
  running = false;
  showProgress();
  $('download-all').disabled = ![...items.values()].some((i) => i.result?.outputs.length);
  document.body.dataset.state = 'idle';
}

// ---- taking files, folders and archives ----

async function fromFiles(files) {
  const list = [];
  let skipped = 0;
  for (const { file, path } of files) {
    if (path.slice(-4).toLowerCase() === '.zip') {
      const bytes = await file.arrayBuffer();
      const at = path.includes('/') ? path.slice(0, path.lastIndexOf('/') + 1) : '';
      const { files: entries } = await convertJob('unzip', { bytes }, [bytes]);
      for (const e of entries) list.push({ path: at + e.path, source: e.bytes });
    } else if (path && isRsr(path)) {
      list.push({ path, source: file });
    } else {
      skipped += 1;
    }
  }
  addInputs(list, skipped);
}

function takeInput(input) {
  const files = [...input.files].map((file) => ({ file, path: relativePath(file.webkitRelativePath || file.name) }));
  input.value = '';
  fromFiles(files);
}

// The files below dropped entries, walking sub-folders.
async function walk(entry, out) {
  if (entry.isFile) {
    const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
    out.push({ file, path: relativePath(entry.fullPath) });
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
    else for (const file of e.dataTransfer.files) files.push({ file, path: relativePath(file.name) });
    fromFiles(files);
  });
}

// ---- the view, the details and the downloads ----

let shown = 0;  // the latest request to the view; older answers are dropped

// The details pane: the selected file's notices and --info report.
async function showDetails(item) {
  const { result } = item;
  $('info').textContent = result && !result.converted ? result.notices + result.info : '';
  if (!result?.converted) return;
  const { path, source, args } = item;
  try {
    const { notices, info } = await convertJob('details', { path, source, args, earlier: earlierWithSameOutput(item) });
    if (selected === item && item.result === result) $('info').textContent = notices + info;
  } catch (e) {
    if (selected === item) $('info').textContent = `${path}: ${e.message}`;
  }
}

async function select(item) {
  if (selected) table.mark(selected, false);
  selected = item;
  table.mark(item, true);
  $('view-name').textContent = item.path;
  showDetails(item);
  if (!viewer.available) return;
  const ticket = ++shown;
  viewer.clear();
  const files = item.result?.outputs ?? [];
  $('view-note').textContent = files.length ? 'Reading the model…' : '';
  if (!files.length) return;
  try {
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
    const { bytes } = await viewJob('bytes', output);
    save(new Blob([bytes]), output.path.split('/').pop());
  } catch (e) {
    $('status').textContent = `${output.path} could not be read back: ${e.message}`;
  }
}

// The zip's headers are made here; its bodies are the stored files, which
// the browser reads from disk as the download goes.
async function downloadAll() {
  const done = [...items.values()].filter((i) => i.result?.outputs.length).sort((a, b) => comparePaths(a.path, b.path));
  if (!done.length) return;
  const button = $('download-all');
  button.disabled = true;
  button.textContent = 'Making the zip…';
  try {
    const entries = [];
    for (const item of done)
      for (const o of item.result.outputs) entries.push({ ...o, body: await storedFile(o.folder, o.name) });
    const kind = done[0].result.outputs[0].path.split('.').pop().toLowerCase();
    save(new Blob(zipParts(entries), { type: 'application/zip' }), `quarlen-${kind}.zip`);
  } catch (e) {
    $('status').textContent = `The zip could not be made: ${e.message}`;
  }
  button.textContent = 'Download all (.zip)';
  button.disabled = false;
}

function clearAll() {
  forget([...items.values()]);
  queue = [];
  items.clear();
  selected = null;
  table.clear();
  $('info').textContent = '';
  $('view-name').textContent = '';
  $('download-all').disabled = true;
  $('convert-again').disabled = true;
  viewer.clear();
}

function setupPage() {
  setupDrop();
  table = createTable($('results'), {
    onSelect: select,
    onDownload: downloadOne,
  });
  $('failures-only').addEventListener('change', (e) => table.failuresOnly(e.target.checked));
  $('files').addEventListener('change', (e) => takeInput(e.target));
  $('pick-files').addEventListener('change', (e) => takeInput(e.target));
  $('download-all').addEventListener('click', downloadAll);
  $('clear').addEventListener('click', clearAll);
  $('convert-again').addEventListener('click', () => {
    const all = [...items.values()];
    forget(all);
    for (const item of all) {
      item.result = null;
      table.show(item);
    }
    enqueue(all);
  });
  $('fit').addEventListener('click', () => viewer.fit());
  $('wireframe').addEventListener('change', (e) => viewer.setWireframe(e.target.checked));
}

async function start() {
  setupPage();
  viewer = await createViewer($('view'), $('groups'), viewJob);
  if (!viewer.available) $('view-note').textContent = noWebGL;
  if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js').catch(() => {});
  try {
    const [ready] = await Promise.all(converters.map((c) => c('ready')));
    options = createOptions($('option-controls'), ready.options, showCommand);
    for (const [name, list] of Object.entries(presets))
      $(`preset-${name}`).addEventListener('click', () => options.preset(list));
    showCommand();
    $('status').textContent = 'Ready: choose or drop files, folders or .zip archives.';
    if (!running) document.body.dataset.state = 'idle';
  } catch (e) {
    $('status').textContent = `The converter could not start: ${e.message}`;
    document.body.dataset.state = 'broken';
  }
}

start();
