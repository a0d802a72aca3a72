// The Pictures view: the files as a grid of their pictures (pictures.js)
// with their names, in the table's order and under its filter (list). A
// library has thousands of files, so the grid holds cells only for the rows
// of cells in sight and a margin, each placed where it lies in a box as
// tall as all the rows. It is one tab stop: the focused cell takes the
// focus, the arrow keys, Home, End, Page Up and Page Down move it, and
// Enter, Space or a click draws its model in the 3D view (onSelect).
import { releasePicture, showPicture } from './pictures.js';
import { tabStop } from './tab-stop.js';

const minWidth = 104;  // of a cell, in pixels; the cells of a row share the width
const cellHeight = 100;  // as style.css makes a cell
const margin = 3;  // rows of cells made above and below those in sight

// list() gives the items shown, in order; onSelect(item) answers a choice;
// pace(fn) calls fn with the page's next drawing (pace.js).
export function createGrid(box, { list, onSelect, pace }) {
  const pane = box.parentElement;  // scrolls
  const cells = new Map();  // item -> its cell, for the cells in the page
  const stop = tabStop(box, cells);
  const stale = new Set();  // cells in the page whose item changed
  let focused = null;  // the item of the cell that has, or last had, the focus
  let selected = null;  // the item drawn in the view

  const columns = () => Math.max(1, Math.floor(pane.clientWidth / minWidth));

  function fill(cell, item) {
    const { result } = item;
    const status = !result ? 'waiting' : result.converted ? 'converted' : 'failed';
    cell.dataset.status = status;
    cell.setAttribute('aria-label', `${item.path}, ${status}`);
    cell.title = result && !result.converted ? result.notices : item.path;
    showPicture(cell.firstChild, item);
  }

  function makeCell(item) {
    const cell = document.createElement('div');
    cell.className = 'cell';
    cell.setAttribute('role', 'option');
    cell.dataset.path = item.path;
    const picture = document.createElement('img');
    picture.alt = '';
    const name = document.createElement('span');
    name.textContent = item.path.split('/').pop();
    cell.append(picture, name);
    cell.addEventListener('click', () => choose(item));
    fill(cell, item);
    return cell;
  }

  function show(cell, item) {
    cell.classList.toggle('selected', item === selected);
    cell.setAttribute('aria-selected', String(item === selected));
    cell.tabIndex = item === focused ? 0 : -1;
  }

  // Puts in the page the cells in sight and a margin, now.
  function render() {
    if (pane.hidden) return;
    const items = list();
    const across = columns();
    const width = pane.clientWidth / across;
    const first = Math.max(0, Math.floor(pane.scrollTop / cellHeight) - margin) * across;
    const end = Math.min(items.length, (Math.ceil((pane.scrollTop + pane.clientHeight) / cellHeight) + margin) * across);
    box.style.height = `${Math.ceil(items.length / across) * cellHeight}px`;
    box.setAttribute('aria-setsize', String(items.length));
    const wanted = items.slice(first, Math.max(first, end));
    const keep = new Set(wanted);
    const leaving = [...cells].filter(([item]) => !keep.has(item));
    const lost = leaving.some(([, cell]) => cell.contains(document.activeElement));
    for (const [item, cell] of leaving) {
      cells.delete(item);
      releasePicture(cell.firstChild);
      cell.remove();
    }
    wanted.forEach((item, k) => {
      let cell = cells.get(item);
      if (!cell) box.append((cell = makeCell(item)));
      else if (stale.has(item)) fill(cell, item);
      cells.set(item, cell);
      const at = first + k;
      cell.style.left = `${(at % across) * width}px`;
      cell.style.top = `${Math.floor(at / across) * cellHeight}px`;
      cell.style.width = `${width}px`;
      cell.setAttribute('aria-posinset', String(at + 1));
      cell.setAttribute('aria-setsize', String(items.length));
      show(cell, item);
    });
    stale.clear();
    stop.settle(focused, lost);
  }

  const later = () => pace(render);
  pane.addEventListener('scroll', render, { passive: true });
  new ResizeObserver(later).observe(pane);

  // Scrolls item's cell into sight, and focuses it; an item the list does
  // not show (failures only) leaves the grid where it is.
  function reveal(item) {
    const at = list().indexOf(item);
    if (at < 0) return render();
    focused = item;
    const top = Math.floor(at / columns()) * cellHeight;
    if (top < pane.scrollTop) pane.scrollTop = top;
    else if (top + cellHeight > pane.scrollTop + pane.clientHeight) pane.scrollTop = top + cellHeight - pane.clientHeight;
    render();
    cells.get(item)?.focus({ preventScroll: true });
  }

  function choose(item) {
    reveal(item);
    onSelect(item);
  }

  box.addEventListener('focus', (e) => {
    if (e.target !== box || stop.quiet) return;
    const item = focused ?? selected ?? list()[0];
    if (item) reveal(item);
  });

  box.addEventListener('keydown', (e) => {
    const items = list();
    if (!items.length) return;
    const at = Math.max(0, items.indexOf(focused));
    const across = columns();
    const page = across * Math.max(1, Math.floor(pane.clientHeight / cellHeight));
    if (e.key === 'Enter' || e.key === ' ') {
      e.preventDefault();
      choose(items[at]);
      return;
    }
    const to = {
      ArrowRight: at + 1, ArrowLeft: at - 1, ArrowDown: at + across, ArrowUp: at - across,
      PageDown: at + page, PageUp: at - page, Home: 0, End: items.length - 1,
    }[e.key];
    if (to === undefined) return;
    e.preventDefault();
    reveal(items[Math.min(items.length - 1, Math.max(0, to))]);
  });

  return {
    // Hides the grid (it then holds no cell), or shows it with the focus
    // on the item selected.
    hide(on) {
      pane.hidden = on;
      stale.clear();
      for (const [item, cell] of cells) {
        cells.delete(item);
        releasePicture(cell.firstChild);
        cell.remove();
      }
      if (!on) {
        focused = selected ?? focused;
        if (focused) reveal(focused);
        else render();
      }
    },
    // Shows item's state.
    show(item) {
      if (cells.has(item)) stale.add(item);
      later();
    },
    // The list changed (items added, removed, or filtered).
    changed: later,
    // The selection is shown on the cell of the item last marked.
    mark(item, on) {
      const before = focused;
      if (on) selected = focused = item;
      else if (selected === item) selected = null;
      for (const i of [before, item]) if (cells.has(i)) show(cells.get(i), i);
      stop.settle(focused);
    },
    clear() {
      focused = selected = null;
      this.hide(pane.hidden);
    },
  };
}
