// Where converted outputs wait for their download: each in a file of the
// origin private file system, in a folder of each converter's own (or, in
// a browser without one, in a Blob in memory). A tab
// holds a lock named after its folder while it lives, so that the next tab
// removes only folders that no tab holds any more.

const prefix = 'quarlen-';

async function openFolder() {
  const root = await navigator.storage.getDirectory();
  const name = `${prefix}${Date.now()}-${Math.random().toString(36).slice(2)}`;
  await new Promise((held) => navigator.locks.request(name, () => {
    held();
    return new Promise(() => {});  // never released: the lock ends with the tab
  }));
  const { held } = await navigator.locks.query();
  const live = new Set(held.map((l) => l.name));
  for await (const old of root.keys())
    if (old.startsWith(prefix) && !live.has(old)) await root.removeEntry(old, { recursive: true }).catch(() => {});
  return { name, folder: await root.getDirectoryHandle(name, { create: true }) };
}

let opened = null;
export const storeFolder = () => (opened ??= openFolder());

// A stored output's body ({ folder, name } on disk, or { blob } in
// memory) as a Blob for the page; one on disk is a File read from disk.
export async function storedFile(output) {
  if (output.blob) return output.blob;
  const root = await navigator.storage.getDirectory();
  return (await (await root.getDirectoryHandle(output.folder)).getFileHandle(output.name)).getFile();
}

// The output's body as it was made, inflated when it was stored deflated.
export async function outputBody(output) {
  const file = await storedFile(output);
  return output.method === 8 ? new Response(file.stream().pipeThrough(new DecompressionStream('deflate-raw'))).blob() : file;
}

// Removes a stored body; one that is gone already is no error.
export async function removeStored(output) {
  if (output.blob) return;
  const root = await navigator.storage.getDirectory();
  await (await root.getDirectoryHandle(output.folder)).removeEntry(output.name).catch(() => {});
}
