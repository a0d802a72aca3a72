// The one tab stop of a list that holds in the page only the elements in
// sight (the table's rows, the grid's cells): the element of the item with
// the focus while it is in the page, the list's own box otherwise, which
// then keeps the focus of an element scrolled away.
export function tabStop(box, elements) {
  let quiet = false;
  return {
    // The focus is being moved by settle, not by the user.
    get quiet() {
      return quiet;
    },
    // Makes item's element (from the map elements) or the box the tab
    // stop; where the focused element just left the page (lost), hands the
    // focus on to it.
    settle(item, lost = false) {
      box.tabIndex = item && elements.has(item) ? -1 : 0;
      if (!lost) return;
      quiet = true;
      (elements.get(item) ?? box).focus({ preventScroll: true });
      quiet = false;
    },
  };
}
