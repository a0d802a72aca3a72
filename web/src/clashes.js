// Which inputs clash: two whose outputs are one file, or one file and a
// folder (q.obj beside q.obj/x.obj), on some system: Windows and macOS
// ignore letter case (outputKey). Of two that clash, the one later in path
// order fails; of two of one path, the one given later (items carry path
// and serial, the order they were given in).
import { comparePaths, outputKey } from './paths.js';

// The keys of the folders an output lies in ('a', 'a/b' for a/b/c.obj).
const folderKeys = (out) => outputKey(out).split('/').slice(0, -1).map((_, k, names) => names.slice(0, k + 1).join('/'));

// Path order, then the order given.
export const before = (a, b) => comparePaths(a.path, b.path) < 0 || (a.path === b.path && a.serial < b.serial);

export function createClashes() {
  const twins = new Map();  // output key -> the items with that output
  const below = new Map();  // a folder's key -> the items with an output below it
  const listed = (map, key) => map.get(key) ?? map.set(key, new Set()).get(key);

  // The items whose output is item's, or a file where item's needs a
  // folder, or a folder where item's is a file.
  function rivals(item) {
    const key = outputKey(item.out);
    const found = new Set([...(twins.get(key) ?? []), ...(below.get(key) ?? [])]);
    for (const folder of folderKeys(item.out)) for (const other of twins.get(folder) ?? []) found.add(other);
    found.delete(item);
    return found;
  }

  return {
    rivals,
    // Gives item the output out ('' for none).
    set(item, out) {
      if (item.out) {
        twins.get(outputKey(item.out)).delete(item);
        for (const key of folderKeys(item.out)) below.get(key).delete(item);
      }
      item.out = out;
      if (!out) return;
      listed(twins, outputKey(out)).add(item);
      for (const key of folderKeys(out)) listed(below, key).add(item);
    },
    // Why item fails as a clash: { earlier: the path of the first input
    // before it with the same output, for the core to tell as the console
    // program's batch does }, or { problem } for a file where a folder
    // goes; null when no rival comes before it.
    of(item) {
      let first = null;
      for (const other of rivals(item)) if (before(other, item) && (!first || before(other, first))) first = other;
      if (!first) return null;
      if (outputKey(first.out) === outputKey(item.out)) return { earlier: first.path };
      return { problem: `its output ${item.out} and ${first.out}, the output of ${first.path}, would be a file and a folder of one name` };
    },
    clear() {
      twins.clear();
      below.clear();
    },
  };
}
