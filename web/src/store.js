// Where converted outputs wait for their download: deflated, each in a file
// of the origin private file system, in a folder of this tab's own. A tab
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

// The folder's file called name, as a File (disk-backed) for the page.
export async function storedFile(folderName, name) {
  const root = await navigator.storage.getDirectory();
  return (await (await root.getDirectoryHandle(folderName)).getFileHandle(name)).getFile();
}

// Removes a stored file; one that is gone already is no error.
export async function removeStored(folderName, name) {
  const root = await navigator.storage.getDirectory();
  await (await root.getDirectoryHandle(folderName)).removeEntry(name).catch(() => {});
}
