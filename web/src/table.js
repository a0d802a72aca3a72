// The table of files: a row per input, in the console program's order,
// with its outcome, what it holds and its outputs. A converted row shows no
// notices (they are in its tooltip and the details pane); a failed row
// shows its notices. Rows are reached with Tab and the arrow keys.
import { comparePaths } from './paths.js';

const megabytes = (n) => `${(n / 1e6).toFixed(1)} MB`;
const size = (n) => (n < 1e6 ? `${(n / 1e3).toFixed(1)} kB` : megabytes(n));
const number = (n) => n.toLocaleString('en');
const columns = ['file', 'outcome', 'groups', 'points', 'facets', 'output', 'files'];

export function createTable(table, { onSelect, onDownload }) {
  const body = table.tBodies[0];

  function makeRow(item) {
    const row = document.createElement('tr');
    row.dataset.path = item.path;
    row.tabIndex = 0;
    for (let i = 0; i < columns.length; ++i) row.insertCell();
    row.cells[0].textContent = item.path;
    row.addEventListener('click', (e) => { if (!e.target.closest('a')) onSelect(item); });
    return row;
  }

  function links(item) {
    const span = document.createElement('span');
    for (const o of item.result.outputs) {
      const a = document.createElement('a');
      a.href = '#';
      a.textContent = o.path.split('/').pop();
      a.addEventListener('click', (e) => {
        e.preventDefault();
        onDownload(o);
      });
      span.append(a, ' ');
    }
    return span;
  }

  return {
    // Shows item's state: waiting, converting (busy), or its result.
    show(item, busy = false) {
      item.row ??= makeRow(item);
      const { row, result } = item;
      for (let i = 1; i < columns.length; ++i) row.cells[i].replaceChildren();
      row.removeAttribute('title');
      if (!result) {
        delete row.dataset.status;
        row.cells[1].textContent = busy ? 'converting…' : 'waiting';
        return;
      }
      row.dataset.status = result.converted ? 'converted' : 'failed';
      row.title = result.notices;
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
    },
    sort(items) {
      body.append(...[...items].sort((a, b) => comparePaths(a.path, b.path)).map((i) => i.row));
    },
    mark(item, on) {
      item.row.classList.toggle('selected', on);
      item.row.setAttribute('aria-selected', String(on));
    },
    // Moves the selection to the next (step 1) or previous (-1) shown row.
    step(item, by) {
      let row = item.row;
      do row = by > 0 ? row.nextElementSibling : row.previousElementSibling;
      while (row && !row.offsetParent);
      row?.focus();
      return row?.dataset.path;
    },
    clear: () => body.replaceChildren(),
    failuresOnly: (on) => table.classList.toggle('failures-only', on),
  };
}

export { megabytes };
