// The inputs a picked .zip archive gives, in a converter (worker.js): its
// .rsr entries, each under the archive's name (A.zip's X/Y.rsr is
// A/X/Y.rsr), and those of the zips inside it, to a depth of 8 (A.zip's
// B.zip's Z.rsr is A/B/Z.rsr). An inner zip stored as it is is read by
// slices where it lies; a deflated one is inflated once into the page's
// store. An archive that cannot be read is a failed row of its own; the
// picked one, when it holds no .rsr at all, too.
// What one picked archive inflates, its inner zips and its entries, is
// bounded: past 100 times the archive's size and past 4 GiB, the entries
// left fail before they are read.
import { megabytes } from './core.js';
import { makeInput } from './inputs.js';
import { isRsr, isZip } from './paths.js';
import { entryProblem, readDirectory, storedEntry, entryStream, ZipProblem } from './unzip.js';

const maxDepth = 8;

const why = (e) => (e instanceof ZipProblem ? e.message : `could not be read (${e.message})`);

// file: the archive; path: its path as picked; keep(stream, size): stores
// an inflated inner zip, giving { file, spill (its name in the store, or
// null) }, or throwing. Returns { inputs, skipped (entries that are no
// .rsr), spills (the names of all the inner zips stored) }; an input read
// from a stored inner zip lists in source.spills those it reads through.
export async function archiveInputs(file, path, keep) {
  const bound = Math.max(100 * file.size, 2 ** 32);
  let inflated = 0;
  const inputs = [];
  const spills = [];
  let skipped = 0;

  // Takes size bytes of the bound for an entry to inflate; its problem
  // when the bound is past.
  const take = (size) => {
    if (inflated + size <= bound) {
      inflated += size;
      return '';
    }
    return `not read: ${path} would inflate to more than ${megabytes(bound)} (100 times its size, and at least 4.3 GB)`;
  };

  // The inner zip of entry in archive, as a Blob, and its spill.
  async function open(archive, entry) {
    if (entry.method === 0) return { file: await storedEntry(archive, entry), spill: null };
    const stored = await keep(await entryStream(archive, entry), entry.size);
    if (stored.spill) spills.push(stored.spill);
    return stored;
  }

  // The entries of archive, whose parts (its path without ".zip") lead its
  // rows' paths; held: the spills it is read through.
  async function walk(archive, parts, depth, held) {
    for (const entry of await readDirectory(archive)) {
      const here = [...parts, entry.name];
      if (isRsr(entry.name)) {
        const problem = entryProblem(entry) || (entry.method === 8 && take(entry.size));
        inputs.push(makeInput(here, { archive, entry, spills: held }, entry.size, problem));
      } else if (!isZip(entry.name)) {
        skipped += 1;
      } else {
        const before = inputs.length;
        let problem = depth === maxDepth ? `a zip inside zips ${maxDepth} deep: the page reads no deeper` : entryProblem(entry);
        problem ||= entry.method === 8 && take(entry.size);
        if (!problem) {
          try {
            const inner = await open(archive, entry);
            await walk(inner.file, [...parts, entry.name.slice(0, -4)], depth + 1, inner.spill ? [...held, inner.spill] : held);
          } catch (e) {
            problem = why(e);
          }
        }
        if (problem) inputs.splice(before, Infinity, makeInput(here, null, 0, problem));
      }
    }
  }

  try {
    await walk(file, [path.slice(0, -4)], 1, []);
  } catch (e) {
    return { inputs: [makeInput([path], null, 0, why(e))], skipped: 0, spills };
  }
  if (!inputs.length) return { inputs: [makeInput([path], null, 0, 'holds no .rsr file')], skipped: 0, spills };
  return { inputs, skipped, spills };
}
