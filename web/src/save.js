// Saving converted outputs into a folder (a directory handle from
// showDirectoryPicker, or any with its interface), as the console program's
// `quarlen -r -o FOLDER` writes them: the output tree under the folder, an
// output that exists kept unless replace is set, and each written under a
// temporary name and given its own when it is whole, so that a save cut
// short leaves no half-written output under an output's name.
import { outputBody } from './store.js';

const exists = (folder, name) => folder.getFileHandle(name).then(() => true, () => false);

// temporary: a name of its own, short enough beside a name of 255 bytes.
async function writeOne(folder, name, temporary, output, replace) {
  const handle = await folder.getFileHandle(temporary, { create: true });
  try {
    await (await outputBody(output)).stream().pipeTo(await handle.createWritable());
    if (replace) await folder.removeEntry(name).catch(() => {});
    await handle.move(name);
  } catch (e) {
    await folder.removeEntry(temporary).catch(() => {});
    throw e;
  }
}

// Writes outputs ([{ path, ... } as stored]) under folder; progress(n) is
// told after each. Returns { saved, kept (they existed), failed: [texts] }.
export async function saveToFolder(folder, outputs, replace, progress) {
  const told = { saved: 0, kept: 0, failed: [] };
  const folders = new Map([['', folder]]);
  for (const [n, output] of outputs.entries()) {
    const names = output.path.split('/');
    const name = names.pop();
    try {
      let at = '';
      for (const sub of names) {
        const parent = folders.get(at);
        at += `${sub}/`;
        if (!folders.has(at)) folders.set(at, await parent.getDirectoryHandle(sub, { create: true }));
      }
      const here = folders.get(at);
      if (!replace && await exists(here, name)) told.kept += 1;
      else {
        await writeOne(here, name, `${n}.quarlen-part`, output, replace);
        told.saved += 1;
      }
    } catch (e) {
      told.failed.push(`${output.path}: ${e.message}`);
    }
    progress(n + 1);
  }
  return told;
}
