// The page's account of the packs its converters store outputs in
// (worker.js): which converter still writes each, and how many of its
// outputs the page holds. A pack is sealed before any of its outputs is
// read, and removed once it is sealed and holds none the page keeps.
import { removeStored } from './store.js';

const packs = new Map();  // its path in the store -> { held, writer: the converter while it writes the pack }

function ended(path) {
  const pack = packs.get(path);
  if (!pack) return;  // a converter removes a pack that held nothing
  pack.writer = null;
  if (!pack.held) {
    packs.delete(path);
    removeStored(path);
  }
}

// The outputs of a conversion that converter stored; sealed: the pack it
// sealed after them, if any.
export function stored(outputs, converter, sealed) {
  for (const o of outputs.filter((o) => o.pack)) {
    if (!packs.has(o.pack)) packs.set(o.pack, { held: 0, writer: converter });
    packs.get(o.pack).held += 1;
  }
  if (sealed) ended(sealed);
}

// The page no longer holds output.
export function release(output) {
  const pack = packs.get(output.pack);
  if (!pack) return;
  pack.held -= 1;
  if (!pack.held && !pack.writer) ended(output.pack);
}

// Seals the packs of outputs (all of them when none are given) that
// converters still write; resolves once they can be read.
export async function seal(outputs = null) {
  const writers = new Set((outputs ? outputs.map((o) => packs.get(o.pack)) : [...packs.values()]).map((p) => p?.writer).filter(Boolean));
  // A converter that died has closed its pack: it is read as it is.
  await Promise.all([...writers].map(async (converter) => ended((await converter('seal').catch(() => ({}))).sealed)));
}
