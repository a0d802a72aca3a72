// Reading a .zip archive where it lies: its directory through slices of the
// File, then one entry at a time as a stream, inflated by fflate a piece
// at a time (a DecompressionStream left garbage of the whole inflated size
// for many seconds: docs/archives.md). Nothing holds more than the
// directory and the entry at hand. Offsets and sizes past 4 GB are read
// from zip64 records; an archive with bytes before it (a self-extracting
// program) is found as common readers find it, from where its directory
// ends.
import { Inflate } from 'fflate';

const utf8 = new TextDecoder('utf-8', { fatal: true });
const big = 0xffffffff;
// Code page 437, the names of entries without the UTF-8 flag: bytes 0x80 to
// 0xff (below, ASCII).
const cp437 = 'ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀' +
  'αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00a0';
// Deflate makes at most 1032 bytes of 1 (258 a copy of 2 bits): an entry
// that says it holds more than that is damaged, and is not read.
const maxRatio = 1032;

// A fault that the page tells as a file's failure, in plain words.
export class ZipProblem extends Error {}

async function bytesAt(file, at, size) {
  if (at < 0 || at + size > file.size) throw new ZipProblem('damaged zip archive: a part of it lies past its end');
  return new DataView(await file.slice(at, at + size).arrayBuffer());
}

// The end of the directory: where it starts in the file, its size, its
// entry count, and shift: what the archive's offsets are short of the
// file's (the bytes before the archive).
async function directoryEnd(file) {
  const tail = Math.min(file.size, 22 + 0xffff);
  const end = await bytesAt(file, file.size - tail, tail);
  let k = tail - 22;
  while (k >= 0 && end.getUint32(k, true) !== 0x06054b50) --k;
  if (k < 0) throw new ZipProblem('not a zip archive, or one whose end is missing');
  let count = end.getUint16(k + 10, true);
  let size = end.getUint32(k + 12, true);
  let at = end.getUint32(k + 16, true);
  let directoryStop = file.size - tail + k;  // the directory's end: the end record, or the zip64 one
  if (k >= 20 && end.getUint32(k - 20, true) === 0x07064b50) {
    // As common readers do, the zip64 end record is taken just before its
    // locator, which holds its offset without the bytes before the archive;
    // else (a record with more fields) where the locator says.
    directoryStop -= 20 + 56;
    let far = await bytesAt(file, directoryStop, 56);
    if (far.getUint32(0, true) !== 0x06064b50) {
      directoryStop = Number(end.getBigUint64(k - 12, true));
      far = await bytesAt(file, directoryStop, 56);
    }
    if (far.getUint32(0, true) !== 0x06064b50) throw new ZipProblem('damaged zip archive: its zip64 end record is missing');
    count = Number(far.getBigUint64(32, true));
    size = Number(far.getBigUint64(40, true));
    at = Number(far.getBigUint64(48, true));
  }
  const shift = directoryStop - size - at;
  if (shift < 0) throw new ZipProblem('damaged zip archive: its directory is cut short');
  return { count, size, at: at + shift, shift };
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

// An entry's name: UTF-8 under the UTF-8 flag, else code page 437 (the
// zip default), unless its bytes are UTF-8, as some archivers write them
// without the flag. badName: under the flag, bytes that are not UTF-8.
function entryName(bytes, flagged) {
  try {
    if (flagged || bytes.some((b) => b >= 0x80)) return { name: utf8.decode(bytes), badName: false };
  } catch {
    if (flagged) return { name: new TextDecoder().decode(bytes), badName: true };
  }
  return { name: Array.from(bytes, (b) => (b < 0x80 ? String.fromCharCode(b) : cp437[b - 0x80])).join(''), badName: false };
}

// The CRC-32 of bytes, as zip archives check names and data.
const crcTable = Array.from({ length: 256 }, (_, n) => {
  for (let k = 0; k < 8; ++k) n = n & 1 ? 0xedb88320 ^ (n >>> 1) : n >>> 1;
  return n;
});
function crc32(bytes) {
  let c = -1;
  for (const b of bytes) c = crcTable[(c ^ b) & 0xff] ^ (c >>> 8);
  return ~c >>> 0;
}

// The UTF-8 name that some archivers (WinZip, 7-Zip) give beside a name in
// a code page, in an extra field (0x7075), or null: it stands while it
// names the bytes it stands beside (their CRC-32), as readers take it.
function unicodePath(view, extraAt, extraEnd, raw) {
  for (let k = extraAt; k + 4 <= extraEnd;) {
    const length = view.getUint16(k + 2, true);
    if (view.getUint16(k, true) === 0x7075 && length >= 5 && k + 4 + length <= extraEnd && view.getUint8(k + 4) === 1 &&
        view.getUint32(k + 5, true) === crc32(raw)) {
      try {
        return utf8.decode(new Uint8Array(view.buffer, k + 9, length - 5));
      } catch {
        return null;
      }
    }
    k += 4 + length;
  }
  return null;
}

// Marks the entries whose data (local header, name and packed bytes) share
// bytes of the archive with another's: such records make one stream read
// many times over.
function markOverlaps(records) {
  const byStart = [...records].sort((a, b) => a.at - b.at);
  let reach = -1;  // the furthest end so far
  let last = null;  // the entry that reaches it
  for (const r of byStart) {
    if (r.at < reach) r.overlaps = last.overlaps = true;
    const end = r.at + 30 + r.nameLength + r.packed;
    if (end > reach) [reach, last] = [end, r];
  }
}

// The archive's entries in the order of its directory: [{ name, badName,
// at (its local header), packed (stored bytes), size, crc, method,
// encrypted, overlaps }]. Folders are left out. Throws a ZipProblem for
// what is no zip archive or a damaged one.
export async function readDirectory(file) {
  const { count, size, at, shift } = await directoryEnd(file);
  const view = await bytesAt(file, at, size);
  const records = [];
  let k = 0;
  for (let i = 0; i < count; ++i) {
    if (k + 46 > size || view.getUint32(k, true) !== 0x02014b50) throw new ZipProblem('damaged zip archive: its directory is cut short');
    const nameLength = view.getUint16(k + 28, true);
    const extraLength = view.getUint16(k + 30, true);
    const next = k + 46 + nameLength + extraLength + view.getUint16(k + 32, true);
    if (next > size) throw new ZipProblem('damaged zip archive: its directory is cut short');
    const flags = view.getUint16(k + 8, true);
    const raw = new Uint8Array(view.buffer, k + 46, nameLength);
    const extraAt = k + 46 + nameLength;
    const unicode = flags & 0x800 ? null : unicodePath(view, extraAt, extraAt + extraLength, raw);
    const entry = {
      ...(unicode === null ? entryName(raw, (flags & 0x800) !== 0) : { name: unicode, badName: false }),
      at: view.getUint32(k + 42, true),
      packed: view.getUint32(k + 20, true),
      size: view.getUint32(k + 24, true),
      crc: view.getUint32(k + 16, true),
      method: view.getUint16(k + 10, true),
      encrypted: (flags & 1) === 1,
      overlaps: false,
      nameLength,
    };
    widen(view, extraAt, extraAt + extraLength, entry);
    entry.at += shift;
    records.push(entry);
    k = next;
  }
  markOverlaps(records);
  return records.filter((e) => !/[/\\]$/.test(e.name));  // folders, in either separator
}

// Why an entry cannot be read, or '' when it can.
export function entryProblem(entry) {
  if (entry.badName) return 'its name in the archive is not UTF-8, though the archive says it is';
  if (entry.overlaps) return 'overlapping entries: its bytes in the archive are also another entry\'s';
  if (entry.encrypted) return 'encrypted in its archive: the page reads no encrypted entries';
  if (entry.method !== 0 && entry.method !== 8) return `compressed with method ${entry.method} in its archive, which the page cannot read (it reads stored and deflated entries)`;
  if (entry.method === 0 ? entry.size !== entry.packed : entry.size > maxRatio * entry.packed + 1)
    return `damaged in its archive: it says it holds ${entry.size} bytes, which its ${entry.packed} stored bytes cannot`;
  return '';
}

// Where the entry's stored bytes start, read from its local header.
async function dataStart(file, entry) {
  const head = await bytesAt(file, entry.at, 30);
  if (head.getUint32(0, true) !== 0x04034b50) throw new ZipProblem('damaged in its archive: its local header is missing');
  const from = entry.at + 30 + head.getUint16(26, true) + head.getUint16(28, true);
  if (from + entry.packed > file.size) throw new ZipProblem('damaged in its archive: it lies past the archive\'s end');
  return from;
}

// A stored entry as a slice of its archive, read where it lies.
export async function storedEntry(file, entry) {
  const from = await dataStart(file, entry);
  return file.slice(from, from + entry.packed);
}

// The entry's stored bytes (deflated, or as they are), read whole.
export async function packedBytes(file, entry) {
  const from = await dataStart(file, entry);
  return new Uint8Array(await file.slice(from, from + entry.packed).arrayBuffer());
}

// Deflated bytes are inflated this many at a time, as they are read: one
// piece makes at most maxRatio times as many, and a chunk the browser
// reads at once would make as many times its own size.
const inflatePiece = 16384;

// stored (a stream of deflated bytes) inflated, a piece at a time as the
// reader asks for more.
function inflated(stored) {
  const reader = stored.getReader();
  const made = [];  // inflated, not yet asked for
  const inflate = new Inflate((bytes) => made.push(bytes));
  let [input, at, ended] = [new Uint8Array(0), 0, false];
  return new ReadableStream({
    async pull(out) {
      while (!made.length && !ended) {
        if (at === input.length) {
          const { done, value } = await reader.read();
          if (done) inflate.push(new Uint8Array(0), true);
          [input, at, ended] = [value ?? input, 0, done];
          continue;
        }
        inflate.push(input.subarray(at, (at = Math.min(at + inflatePiece, input.length))));
      }
      if (made.length) out.enqueue(made.shift());
      else out.close();
    },
    cancel: (why) => reader.cancel(why),
  }, { highWaterMark: 0 });
}

// The entry's bytes as a stream, inflated when they are deflated.
export async function entryStream(file, entry) {
  const from = await dataStart(file, entry);
  const stored = file.slice(from, from + entry.packed).stream();
  return entry.method === 8 ? inflated(stored) : stored;
}
