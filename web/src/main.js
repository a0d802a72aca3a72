// The page: takes .rsr files, folders and .zip archives, converts them one
// after another in the worker, lists each result, shows the selected one in
// 3D beside its --info report, and downloads one result or all of them.
import { outputExtension, outputPath } from './core.js';
import { comparePaths, isRsr, relativePath } from './paths.js';
import { createViewer } from './viewer.js';

const $ = (id) => document.getElementById(id);

// Output formats with the console options each adds, the options that do
// not apply to them and their scale when none is asked for; the view picks
// its reader by the output's name.
const formats = {
  obj: { label: 'OBJ', args: [], without: [], scale: '1' },
  glb: { label: 'GLB (glTF, in metres)', args: ['--glb'], without: ['mtl', 'weld', 'z-up', 'lf', 'exact'], scale: '2.62128' },
};
const flags = ['clean', 'mtl', 'weld', 'triangulate', 'z-up', 'lf', 'exact'];
const presets = { traditional: [], today: ['clean', 'mtl', 'triangulate'] };
const largeOutput = 64e6;  // bytes past which the view waits to be asked

// ---- the worker ----

let worker;
let nextId = 0;
const waiting = new Map();

function startWorker() {
  worker = new Worker('worker.js');
  worker.onmessage = ({ data }) => {
    const w = waiting.get(data.id);
    waiting.delete(data.id);
    if (data.error) w.reject(new Error(data.error));
    else w.resolve(data);
  };
  // A worker that dies (its memory taken back by the browser) fails what it
  // held; the next job starts another.
  worker.onerror = (e) => {
    e.preventDefault();
    for (const w of waiting.values()) w.reject(new Error(e.message || 'the converter stopped'));
    waiting.clear();
    worker.terminate();
    startWorker();
  };
}

function ask(type, payload = {}, transfer = []) {
  return new Promise((resolve, reject) => {
    const id = ++nextId;
    waiting.set(id, { resolve, reject });
    worker.postMessage({ id, type, ...payload }, transfer);
  });
}

// ---- options ----

function optionArgs() {
  const format = formats[$('format').value];
  const args = [...format.args];
  for (const f of flags) if ($(`opt-${f}`).checked && !format.without.includes(f)) args.push(`--${f}`);
  const scale = $('opt-scale').value.trim();
  if (scale !== format.scale) args.push('--scale', scale);
  return args;
}

function chooseFormat() {
  const format = formats[$('format').value];
  for (const f of flags) $(`opt-${f}`).disabled = format.without.includes(f);
  $('opt-scale').value = format.scale;
  showCommand();
}

function showCommand() {
  $('command').textContent = ['quarlen', ...optionArgs(), '-r', 'FOLDER'].join(' ');
}

function setupOptions() {
  for (const [key, f] of Object.entries(formats)) $('format').append(new Option(f.label, key));
  $('format').addEventListener('change', chooseFormat);
  for (const [name, on] of Object.entries(presets)) {
    $(`preset-${name}`).addEventListener('click', () => {
      for (const f of flags) $(`opt-${f}`).checked = on.includes(f);
      $('opt-scale').value = formats[$('format').value].scale;
      showCommand();
    });
  }
  $('options').addEventListener('input', showCommand);
  showCommand();
}

// ---- inputs, rows and the queue ----

const items = new Map();  // path -> { path, source (File or Uint8Array), row, result }
let queue = [];
let running = false;
let batch = { total: 0, ended: 0, failed: 0, bytes: 0, start: 0 };
let selected = null;

const megabytes = (n) => `${(n / 1e6).toFixed(1)} MB`;
const size = (n) => (n < 1e6 ? `${(n / 1e3).toFixed(1)} kB` : megabytes(n));

function cell(row, i, content, className) {
  const td = row.cells[i];
  if (className) td.className = className;
  td.replaceChildren(content);
}

function makeRow(item) {
  const row = document.createElement('tr');
  row.dataset.path = item.path;
  for (let i = 0; i < 8; ++i) row.insertCell();
  row.cells[0].textContent = item.path;
  row.addEventListener('click', (e) => { if (!e.target.closest('a')) select(item); });
  return row;
}

function downloadLink(file) {
  const a = document.createElement('a');
  a.textContent = file.path.split('/').pop();
  a.download = a.textContent;
  a.href = '#';
  a.addEventListener('click', () => {
    a.href = URL.createObjectURL(new Blob([file.bytes]));
    setTimeout(() => URL.revokeObjectURL(a.href), 60000);
  });
  return a;
}

function showRow(item) {
  const { row, result } = item;
  if (!result) {
    delete row.dataset.status;
    cell(row, 1, item === items.current ? 'converting' : 'waiting');
    for (let i = 2; i < 8; ++i) row.cells[i].replaceChildren();
    return;
  }
  row.dataset.status = result.converted ? 'converted' : 'failed';
  cell(row, 1, row.dataset.status);
  const pre = document.createElement('pre');
  pre.textContent = result.notices;
  cell(row, 2, pre);
  const c = result.counts;
  cell(row, 3, c ? String(c.groups) : '', 'n');
  cell(row, 4, c ? String(c.points) : '', 'n');
  cell(row, 5, c ? String(c.facets) : '', 'n');
  const bytes = result.outputs.reduce((n, o) => n + o.bytes.length, 0);
  cell(row, 6, result.outputs.length ? size(bytes) : '', 'n');
  const links = document.createElement('span');
  for (const o of result.outputs) links.append(downloadLink(o), ' ');
  cell(row, 7, links);
}

function sortRows() {
  const sorted = [...items.values()].sort((a, b) => comparePaths(a.path, b.path));
  $('results').tBodies[0].append(...sorted.map((i) => i.row));
}

function addInputs(list) {
  const fresh = [];
  for (const { path, source } of list) {
    if (!path || !isRsr(path)) continue;
    let item = items.get(path);
    if (!item) {
      item = { path };
      item.row = makeRow(item);
      items.set(path, item);
    }
    item.source = source;
    item.result = null;
    showRow(item);
    fresh.push(item);
  }
  if (!fresh.length) return;
  sortRows();
  enqueue(fresh);
}

function enqueue(list) {
  if (!running) batch = { total: 0, ended: 0, failed: 0, bytes: 0, start: performance.now() };
  const args = optionArgs();
  for (const item of list) item.args = args;
  queue = [...new Set([...queue, ...list])].sort((a, b) => comparePaths(a.path, b.path));
  batch.total += list.length;
  $('convert-again').disabled = false;
  pump();
}

// The console program's rule: of two inputs with the same output, the one
// later in path order fails.
function clash(item) {
  const extension = outputExtension(item.args);
  const out = outputPath(item.path, extension);
  for (const other of items.values())
    if (other !== item && outputPath(other.path, extension) === out && comparePaths(other.path, item.path) < 0)
      return `${item.path}: has the same output ${out} as ${other.path}\n`;
  return '';
}

async function convertOne(item) {
  const clashText = clash(item);
  if (clashText) return { converted: false, outputs: [], notices: clashText, info: '', counts: null };
  const data = item.source instanceof Uint8Array ? item.source.slice() : new Uint8Array(await item.source.arrayBuffer());
  batch.bytes += data.length;
  try {
    return (await ask('convert', { path: item.path, bytes: data.buffer, args: item.args }, [data.buffer])).result;
  } catch (e) {
    return { converted: false, outputs: [], notices: `${item.path}: stopped: ${e.message}\n`, info: '', counts: null };
  }
}

function showProgress() {
  const s = (performance.now() - batch.start) / 1000;
  $('progress').max = Math.max(batch.total, 1);
  $('progress').value = batch.ended;
  $('status').textContent = running
    ? `quarlen: ${batch.ended} of ${batch.total} files, ${batch.failed} failed, ${megabytes(batch.bytes)} read, ${s.toFixed(1)} s`
    : `quarlen: ${batch.ended - batch.failed} converted, ${batch.failed} failed in ${s.toFixed(2)} s ` +
      `(${(s > 0 ? batch.bytes / 1e6 / s : 0).toFixed(1)} MB/s)`;
}

async function pump() {
  if (running) return;
  running = true;
  document.body.dataset.state = 'converting';
  while (queue.length) {
    const item = queue.shift();
    items.current = item;
    showRow(item);
    showProgress();
    const result = await convertOne(item);
    items.current = null;
    if (items.get(item.path) !== item) continue;  // cleared meanwhile
    item.result = result;
    batch.ended += 1;
    if (!result.converted) batch.failed += 1;
    showRow(item);
    if (!selected || selected === item) select(item);
  }
  running = false;
  showProgress();
  $('download-all').disabled = ![...items.values()].some((i) => i.result?.outputs.length);
  document.body.dataset.state = 'idle';
}

// ---- taking files, folders and archives ----

async function fromFiles(files) {
  const list = [];
  for (const { file, path } of files) {
    if (path.slice(-4).toLowerCase() === '.zip') {
      const bytes = await file.arrayBuffer();
      const folder = path.includes('/') ? path.slice(0, path.lastIndexOf('/') + 1) : '';
      const { files: entries } = await ask('unzip', { bytes }, [bytes]);
      for (const e of entries) list.push({ path: folder + e.path, source: e.bytes });
    } else {
      list.push({ path, source: file });
    }
  }
  addInputs(list);
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
      const batchOf = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
      if (!batchOf.length) break;
      for (const e of batchOf) await walk(e, out);
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

// ---- the view and the downloads ----

let viewer;

async function select(item, force = false) {
  selected?.row.classList.remove('selected');
  selected = item;
  item.row.classList.add('selected');
  $('view-name').textContent = item.path;
  $('info').textContent = item.result?.info ?? '';
  $('view-note').replaceChildren();
  viewer.clear();
  const outputs = item.result?.outputs ?? [];
  const bytes = outputs.reduce((n, o) => n + o.bytes.length, 0);
  if (!outputs.length) return;
  if (bytes > largeOutput && !force) {
    const show = document.createElement('button');
    show.textContent = 'Show it';
    show.addEventListener('click', () => select(item, true));
    $('view-note').append(`This output is ${megabytes(bytes)}: drawing it takes a while. `, show);
    return;
  }
  const problem = await viewer.show(outputs, item.path);
  if (selected === item) $('view-note').textContent = problem;
}

async function downloadAll() {
  const files = [];
  for (const item of [...items.values()].sort((a, b) => comparePaths(a.path, b.path)))
    for (const o of item.result?.outputs ?? []) files.push({ path: o.path, bytes: o.bytes });
  $('download-all').disabled = true;
  try {
    const { zip } = await ask('zip', { files });
    const a = document.createElement('a');
    a.href = URL.createObjectURL(new Blob([zip], { type: 'application/zip' }));
    a.download = 'quarlen-obj.zip';
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(a.href), 60000);
  } catch (e) {
    $('status').textContent = `The zip could not be made: ${e.message}`;
  }
  $('download-all').disabled = false;
}

function clearAll() {
  queue = [];
  items.clear();
  selected = null;
  $('results').tBodies[0].replaceChildren();
  $('info').textContent = '';
  $('view-name').textContent = '';
  $('download-all').disabled = true;
  $('convert-again').disabled = true;
  viewer.clear();
}

async function start() {
  startWorker();
  setupOptions();
  setupDrop();
  viewer = createViewer($('view'), $('groups'));
  $('files').addEventListener('change', (e) => takeInput(e.target));
  $('pick-files').addEventListener('change', (e) => takeInput(e.target));
  $('download-all').addEventListener('click', downloadAll);
  $('clear').addEventListener('click', clearAll);
  $('convert-again').addEventListener('click', () => {
    for (const item of items.values()) {
      item.result = null;
      showRow(item);
    }
    enqueue([...items.values()]);
  });
  $('fit').addEventListener('click', () => viewer.fit());
  $('wireframe').addEventListener('change', (e) => viewer.setWireframe(e.target.checked));
  if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js').catch(() => {});
  try {
    await ask('ready');
    $('status').textContent = 'Ready: choose or drop files.';
  } catch (e) {
    $('status').textContent = `The converter could not start: ${e.message}`;
  }
  if (!running) document.body.dataset.state = 'idle';
}

start();
