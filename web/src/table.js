// The table of files: a row per input, in the console program's order,
// with its outcome, what it holds and its outputs. A library has thousands
// of files, so the page holds rows only for those in sight and a margin,
// between two spacers as tall as the rows left out; every row is one line
// high. A converted row shows no notices, only their number in its tooltip
// (the details pane reads them again); a failed row shows them on its line,
// in full in its tooltip. A row shows its file's picture, while the page
// draws them (pictures.js).
// The table is one tab stop: the current row takes the focus (and Tab
// goes on to its downloads), and the arrow keys, Home, End, Page Up and
// Page Down move the selection.
import { megabytes } from './core.js';
import { comparePaths } from './paths.js';
import { releasePicture, showPicture } from './pictures.js';
import { tabStop } from './tab-stop.js';

const size = (n) => (n < 1e6 ? `${(n / 1e3).toFixed(1)} kB` : megabytes(n));
const number = (n) => n.toLocaleString('en');
const columns = ['file', 'outcome', 'groups', 'points', 'facets', 'output', 'files'];
const margin = 20;  // rows made above and below those in sight

// onSelect(item) and onDownload(output) answer the user; pace(fn) calls fn
// with the page's next drawing, once however often it is asked (pace.js).
export function createTable(table, { onSelect, onDownload, pace }) {
  const body = table.tBodies[0];
  const pane = table.parentElement;  // scrolls
  let order = [];  // every item, in path order
  let shown = null;  // the items in view of the filter; null when to be worked out again
  let failuresOnly = false;
  let current = null;  // the selected item, or the one the focus is on
  let rowHeight = 0;
  let hidden = false;  // the Pictures view shows the files instead
  const rows = new Map();  // item -> its row, for the rows in the page
  const stop = tabStop(table, rows);
  const busy = new Set();
  const stale = new Set();  // rows in the page whose item changed

  const spacer = () => {
    const tr = document.createElement('tr');
    tr.className = 'spacer';
    tr.setAttribute('aria-hidden', 'true');
    tr.insertCell().colSpan = columns.length;
    return tr;
  };
  const above = spacer();
  const below = spacer();
  table.setAttribute('aria-rowcount', '1');

  const list = () => (shown ??= failuresOnly ? order.filter((i) => i.result && !i.result.converted) : order);

  function links(item) {
    const span = document.createElement('span');
    for (const o of item.result.outputs) {
      const a = document.createElement('a');
      a.href = '#';
      a.tabIndex = -1;
      a.textContent = o.path.split('/').pop();
      a.addEventListener('click', (e) => {
        e.preventDefault();
        onDownload(o);
      });
      span.append(a, ' ');
    }
    return span;
  }

  function fill(row, item) {
    showPicture(row.cells[0].firstChild, item);
    for (let i = 1; i < columns.length; ++i) row.cells[i].replaceChildren();
    row.removeAttribute('title');
    const { result } = item;
    if (!result) {
      delete row.dataset.status;
      delete row.dataset.notices;
      row.cells[1].textContent = busy.has(item) ? 'converting…' : 'waiting';
      return;
    }
    row.dataset.status = result.converted ? 'converted' : 'failed';
    row.dataset.notices = result.noticeCount;
    if (!result.converted) row.title = result.notices;
    else if (result.noticeCount) row.title = `${result.noticeCount} notice${result.noticeCount > 1 ? 's' : ''}: select the row to read them`;
    const outcome = document.createElement('span');
    outcome.className = 'badge';
    outcome.textContent = row.dataset.status;
    row.cells[1].append(outcome);
    if (!result.converted) {
      const pre = document.createElement('pre');
      pre.textContent = result.notices;
      row.cells[1].append(pre);
    }
    const c = result.counts;
    if (c) [c.groups, c.points, c.facets].forEach((n, i) => { row.cells[2 + i].textContent = number(n); });
    const bytes = result.outputs.reduce((n, o) => n + o.size, 0);
    if (result.outputs.length) row.cells[5].textContent = size(bytes);
    row.cells[6].append(links(item));
  }

  function makeRow(item) {
    const row = document.createElement('tr');
    row.dataset.path = item.path;
    for (let i = 0; i < columns.length; ++i) row.insertCell();
    const picture = document.createElement('img');
    picture.className = 'picture';
    picture.alt = '';
    row.cells[0].append(picture, item.path);
    row.cells[0].title = item.path;
    row.addEventListener('click', (e) => {
      if (e.target.closest('a')) return;
      current = item;
      onSelect(item);
    });
    fill(row, item);
    return row;
  }

  // The current row is the table's tab stop; Tab goes on to its downloads.
  function showSelected(row, on) {
    row.classList.toggle('selected', on);
    row.setAttribute('aria-selected', String(on));
    row.tabIndex = on ? 0 : -1;
    for (const a of row.querySelectorAll('a')) a.tabIndex = on ? 0 : -1;
  }

  function drop(row) {
    releasePicture(row.cells[0].firstChild);
    row.remove();
  }

  // Puts in the page the rows in sight and a margin, now.
  function render() {
    const items = list();
    table.setAttribute('aria-rowcount', String(items.length + 1));
    if (hidden) return;
    const head = table.tHead.offsetHeight;
    const height = rowHeight || 28;
    const first = Math.max(0, Math.floor((pane.scrollTop - head) / height) - margin);
    const end = Math.min(items.length, Math.ceil((pane.scrollTop + pane.clientHeight - head) / height) + margin);
    const wanted = items.slice(first, Math.max(first, end));
    const keep = new Set(wanted);
    const leaving = [...rows].filter(([item]) => !keep.has(item));
    for (const [item] of leaving) rows.delete(item);
    const made = wanted.map((item, k) => {
      let row = rows.get(item);
      if (!row) rows.set(item, (row = makeRow(item)));
      else if (stale.has(item)) fill(row, item);
      showSelected(row, item === current);
      row.setAttribute('aria-rowindex', String(first + k + 2));
      return row;
    });
    stale.clear();
    // The rows that stay are not taken out of the page, and those that go
    // go last, so that the page never gets shorter than where it is
    // scrolled to (a browser would scroll back) and the focus stays.
    above.style.height = `${first * height}px`;
    below.style.height = `${(items.length - first - made.length) * height}px`;
    if (above.parentNode !== body) body.prepend(above);
    let at = above;
    for (const row of made) {
      if (at.nextSibling !== row) at.after(row);
      at = row;
    }
    if (at.nextSibling !== below) at.after(below);
    const lost = leaving.some(([, row]) => row.contains(document.activeElement));
    for (const [, row] of leaving) drop(row);
    if (made.length) rowHeight = made[0].getBoundingClientRect().height || rowHeight;
    stop.settle(current, lost);
  }

  const later = () => pace(render);
  pane.addEventListener('scroll', render, { passive: true });
  new ResizeObserver(later).observe(pane);

  // Scrolls item's row into sight, and focuses it.
  function reveal(item) {
    const at = list().indexOf(item);
    if (at < 0) return;
    const head = table.tHead.offsetHeight;
    const height = rowHeight || 28;
    const top = at * height;
    if (top < pane.scrollTop) pane.scrollTop = top;
    else if (top + height > pane.scrollTop + pane.clientHeight - head) pane.scrollTop = top + height - pane.clientHeight + head;
    render();
    rows.get(item)?.focus({ preventScroll: true });
  }

  table.addEventListener('focus', (e) => {
    if (e.target !== table || stop.quiet) return;
    const item = current ?? list()[0];
    if (!item) return;
    current = item;
    reveal(item);
  });

  table.addEventListener('keydown', (e) => {
    const items = list();
    if (!items.length) return;
    const at = Math.max(0, items.indexOf(current));
    const page = Math.max(1, Math.floor(pane.clientHeight / (rowHeight || 28)) - 1);
    const to = {
      ArrowDown: at + 1, ArrowUp: at - 1, PageDown: at + page, PageUp: at - page, Home: 0, End: items.length - 1,
      Enter: at, ' ': at,
    }[e.key];
    if (to === undefined || e.target.closest('a')) return;
    e.preventDefault();
    current = items[Math.min(items.length - 1, Math.max(0, to))];
    reveal(current);
    onSelect(current);
  });

  return {
    // The items in view of the filter, in path order.
    list,
    // Hides the table (it then holds no row), or shows it again; its rows
    // draw anew, as tall as they are now.
    hide(on) {
      hidden = on;
      pane.hidden = on;
      for (const row of rows.values()) drop(row);
      rows.clear();
      rowHeight = 0;
      render();
      render();  // at the rows' height, measured by the first
    },
    // Shows item's state: waiting, converting (busy), or its result.
    show(item, isBusy = false) {
      if (isBusy) busy.add(item);
      else busy.delete(item);
      if (rows.has(item)) stale.add(item);
      if (failuresOnly) shown = null;
      if (failuresOnly || rows.has(item)) later();
    },
    // Takes the items (new ones among them) in path order.
    sort(items) {
      order = [...items].sort((a, b) => comparePaths(a.path, b.path));
      shown = null;
      later();
    },
    // The selection is shown on the row of the item last marked.
    mark(item, on) {
      if (on) current = item;
      else if (current === item) current = null;
      const row = rows.get(item);
      if (row) showSelected(row, on);
      stop.settle(current);
    },
    clear() {
      order = [];
      shown = null;
      current = null;
      for (const row of rows.values()) drop(row);
      rows.clear();
      busy.clear();
      body.replaceChildren();
      render();
    },
    failuresOnly(on) {
      failuresOnly = on;
      shown = null;
      render();
    },
  };
}

export { megabytes };
