// Where converted outputs wait for their download: in packs, files of the
// origin private file system that each hold many outputs (worker.js), in
// a folder of each converter's own (or, in a browser without one, each in
// a Blob in memory). The page names each converter's folder and holds a
// lock of that name while the tab lives, so that the folder outlives its
// converter (the page ends one whose memory grew large, and starts
// another), and the next tab removes only folders that no tab holds any more.

const prefix = 'quarlen-';

// A fresh name for a converter's folder, held until the tab closes.
export function heldFolder() {
  const name = `${prefix}${Date.now()}-${Math.random().toString(36).slice(2)}`;
  navigator.locks?.request(name, () => new Promise(() => {}));  // never released: the lock ends with the tab
  return name;
}

// In a converter: its folder, named as the page named the worker (or, when
// it did not, held by the converter itself). The folders that no tab
// holds are removed.
async function openFolder() {
  const root = await navigator.storage.getDirectory();
  const name = self.name || heldFolder();
  const { held } = await navigator.locks.query();
  const live = new Set([name, ...held.map((l) => l.name)]);
  for await (const old of root.keys())
    if (old.startsWith(prefix) && !live.has(old)) await root.removeEntry(old, { recursive: true }).catch(() => {});
  return { name, folder: await root.getDirectoryHandle(name, { create: true }) };
}

let opened = null;
export const storeFolder = () => (opened ??= openFolder());

// Where the pack at path (FOLDER/NAME) lies: its folder's handle, and its
// name there.
async function packPlace(path) {
  const [folder, name] = path.split('/');
  return { folder: await (await navigator.storage.getDirectory()).getDirectoryHandle(folder), name };
}

// A stored output's body ({ pack, at, stored } on disk, or { blob } in
// memory) as a Blob for the page: one on disk is a slice of its pack read
// from disk, which must be sealed (packs.js). files: the packs' Files by
// path, for the outputs of one download to share.
export async function storedFile(output, files = new Map()) {
  if (output.blob) return output.blob;
  if (!files.has(output.pack)) {
    files.set(output.pack, packPlace(output.pack).then(async ({ folder, name }) => (await folder.getFileHandle(name)).getFile()));
  }
  return (await files.get(output.pack)).slice(output.at, output.at + output.stored);
}

// The output's body as it was made, inflated when it was stored deflated.
export async function outputBody(output) {
  const file = await storedFile(output);
  return output.method === 8 ? new Response(file.stream().pipeThrough(new DecompressionStream('deflate-raw'))).blob() : file;
}

// Removes the file at path (a pack, or a stored inner zip) from the store;
// one that is gone already is no error.
export async function removeStored(path) {
  const { folder, name } = await packPlace(path);
  await folder.removeEntry(name).catch(() => {});
}
