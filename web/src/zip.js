// A zip archive whose file bodies stay where they are: the headers are made
// here, in memory, and the bodies (stored or deflated bytes, kept on disk)
// go between them as Blob parts, so that the browser streams the archive
// from disk. Offsets past 4 GB and more than 65,535 entries take zip64
// records; each body is under 4 GB.

const encoder = new TextEncoder();
const big = 0xffffffff;

// Writes fields of [size in bytes, value] little-endian into a fresh array.
function record(fields, tail = []) {
  const size = fields.reduce((n, [w]) => n + w, 0) + tail.reduce((n, t) => n + t.length, 0);
  const bytes = new Uint8Array(size);
  const view = new DataView(bytes.buffer);
  let at = 0;
  for (const [width, value] of fields) {
    if (width === 2) view.setUint16(at, value, true);
    else if (width === 4) view.setUint32(at, value, true);
    else view.setBigUint64(at, BigInt(value), true);
    at += width;
  }
  for (const t of tail) {
    bytes.set(t, at);
    at += t.length;
  }
  return bytes;
}

function dosTime(d) {
  return {
    time: (d.getHours() << 11) | (d.getMinutes() << 5) | (d.getSeconds() >> 1),
    date: ((d.getFullYear() - 1980) << 9) | ((d.getMonth() + 1) << 5) | d.getDate(),
  };
}

// The archive's parts for Blob: entries are [{ path, crc, size (the
// output's bytes), method (0 stored, 8 deflated), stored (the body's
// bytes), body (a Blob of them) }], in the order they go in.
export function zipParts(entries, when = new Date()) {
  const { time, date } = dosTime(when);
  const parts = [];
  const central = [];
  let offset = 0;
  for (const e of entries) {
    if (e.size >= big || e.stored >= big) throw new Error(`${e.path} is too large for a zip entry`);
    const name = encoder.encode(e.path);
    const common = [[2, 45], [2, 0x0800], [2, e.method], [2, time], [2, date], [4, e.crc], [4, e.stored], [4, e.size],
      [2, name.length]];
    const local = record([[4, 0x04034b50], ...common, [2, 0]], [name]);
    const far = offset >= big;
    const extra = far ? record([[2, 1], [2, 8], [8, offset]]) : new Uint8Array(0);
    central.push(record([[4, 0x02014b50], [2, 45], ...common, [2, extra.length], [2, 0], [2, 0], [2, 0], [4, 0],
      [4, far ? big : offset]], [name, extra]));
    parts.push(local, e.body);
    offset += local.length + e.stored;
  }
  const centralSize = central.reduce((n, c) => n + c.length, 0);
  parts.push(...central);
  if (offset >= big || entries.length >= 0xffff) {
    const n = entries.length;
    parts.push(record([[4, 0x06064b50], [8, 44], [2, 45], [2, 45], [4, 0], [4, 0], [8, n], [8, n], [8, centralSize],
      [8, offset]]));
    parts.push(record([[4, 0x07064b50], [4, 0], [8, offset + centralSize], [4, 1]]));
  }
  const n = Math.min(entries.length, 0xffff);
  parts.push(record([[4, 0x06054b50], [2, 0], [2, 0], [2, n], [2, n], [4, Math.min(centralSize, big)],
    [4, Math.min(offset, big)], [2, 0]]));
  return parts;
}
