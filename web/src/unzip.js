// Reading a .zip archive where it lies: its directory through slices of the
// File, then one entry at a time as a stream, inflated by the browser
// (DecompressionStream). Nothing holds more than the directory and the
// entry at hand. Offsets and sizes past 4 GB are read from zip64 records.

const decoder = new TextDecoder();
const big = 0xffffffff;

// A fault that the page tells as a file's failure, in plain words.
export class ZipProblem extends Error {}

async function bytesAt(file, at, size) {
  if (at < 0 || at + size > file.size) throw new ZipProblem('damaged zip archive: a part of it lies past its end');
  return new DataView(await file.slice(at, at + size).arrayBuffer());
}

// The end of the directory: where it starts, its size and its entry count.
async function directoryEnd(file) {
  const tail = Math.min(file.size, 22 + 0xffff);
  const end = await bytesAt(file, file.size - tail, tail);
  let k = tail - 22;
  while (k >= 0 && end.getUint32(k, true) !== 0x06054b50) --k;
  if (k < 0) throw new ZipProblem('not a zip archive, or one whose end is missing');
  let count = end.getUint16(k + 10, true);
  let size = end.getUint32(k + 12, true);
  let at = end.getUint32(k + 16, true);
  if (k >= 20 && end.getUint32(k - 20, true) === 0x07064b50) {
    const far = await bytesAt(file, Number(end.getBigUint64(k - 12, true)), 56);
    if (far.getUint32(0, true) !== 0x06064b50) throw new ZipProblem('damaged zip archive: its zip64 end record is missing');
    count = Number(far.getBigUint64(32, true));
    size = Number(far.getBigUint64(40, true));
    at = Number(far.getBigUint64(48, true));
  }
  return { count, size, at };
}

// Sizes and offset that did not fit 32 bits, from the zip64 extra field.
function widen(view, extraAt, extraEnd, entry) {
  for (let k = extraAt; k + 4 <= extraEnd;) {
    const id = view.getUint16(k, true);
    const length = view.getUint16(k + 2, true);
    if (id === 1) {
      let at = k + 4;
      for (const field of ['size', 'packed', 'at']) {
        if (entry[field] !== big) continue;
        if (at + 8 > k + 4 + length) throw new ZipProblem('damaged zip archive: a zip64 field is cut short');
        entry[field] = Number(view.getBigUint64(at, true));
        at += 8;
      }
    }
    k += 4 + length;
  }
}

// The archive's entries in the order of its directory: [{ name, at (its
// local header), packed (stored bytes), size, crc, method, encrypted }].
// Folders are left out. Throws a ZipProblem for what is no zip archive or
// a damaged one.
export async function readDirectory(file) {
  const { count, size, at } = await directoryEnd(file);
  const view = await bytesAt(file, at, size);
  const entries = [];
  let k = 0;
  for (let i = 0; i < count; ++i) {
    if (k + 46 > size || view.getUint32(k, true) !== 0x02014b50) throw new ZipProblem('damaged zip archive: its directory is cut short');
    const nameLength = view.getUint16(k + 28, true);
    const extraLength = view.getUint16(k + 30, true);
    const next = k + 46 + nameLength + extraLength + view.getUint16(k + 32, true);
    if (next > size) throw new ZipProblem('damaged zip archive: its directory is cut short');
    const entry = {
      name: decoder.decode(new Uint8Array(view.buffer, k + 46, nameLength)),
      at: view.getUint32(k + 42, true),
      packed: view.getUint32(k + 20, true),
      size: view.getUint32(k + 24, true),
      crc: view.getUint32(k + 16, true),
      method: view.getUint16(k + 10, true),
      encrypted: (view.getUint16(k + 8, true) & 1) === 1,
    };
    widen(view, k + 46 + nameLength, k + 46 + nameLength + extraLength, entry);
    if (!entry.name.endsWith('/')) entries.push(entry);
    k = next;
  }
  return entries;
}

// Why an entry cannot be read, or '' when it can.
export function entryProblem(entry) {
  if (entry.encrypted) return 'encrypted in its archive: the page reads no encrypted entries';
  if (entry.method !== 0 && entry.method !== 8) return `compressed with method ${entry.method} in its archive, which the page cannot read (it reads stored and deflated entries)`;
  return '';
}

// The entry's bytes as a stream, inflated when they are deflated.
export async function entryStream(file, entry) {
  const head = await bytesAt(file, entry.at, 30);
  if (head.getUint32(0, true) !== 0x04034b50) throw new ZipProblem('damaged in its archive: its local header is missing');
  const from = entry.at + 30 + head.getUint16(26, true) + head.getUint16(28, true);
  if (from + entry.packed > file.size) throw new ZipProblem('damaged in its archive: it lies past the archive\'s end');
  const stored = file.slice(from, from + entry.packed).stream();
  return entry.method === 8 ? stored.pipeThrough(new DecompressionStream('deflate-raw')) : stored;
}
