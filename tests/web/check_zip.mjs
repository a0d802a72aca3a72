// zip.js against Python's zipfile: 65,536 small entries, stored and
// deflated, then two bodies of 2.2 GB of zeros (holes of a sparse file)
// that put the last entries past 4 GB. Every small entry reads back as
// written (zipfile checks its CRC), the last ones from past 4 GB.
//   node check_zip.mjs WORK_DIR
import { spawnSync } from 'node:child_process';
import { closeSync, ftruncateSync, openSync, writeSync } from 'node:fs';
import { join } from 'node:path';
import { crc32, deflateRawSync } from 'node:zlib';
import { zipParts } from '../../web/src/zip.js';

const file = join(process.argv[2], 'round-trip.zip');
const text = (i) => Buffer.from(`entry ${i}\n`.repeat(i % 7));
const entry = (i, method) => {
  const bytes = text(i);
  const body = method === 8 ? deflateRawSync(bytes) : bytes;
  return { path: `d${i % 16}/e${i}.txt`, crc: crc32(bytes), size: bytes.length, method, stored: body.length, body };
};
const zeros = 2200000000;
let zerosCrc = 0;
for (let left = zeros, chunk = Buffer.alloc(1 << 26); left > 0; left -= chunk.length)
  zerosCrc = crc32(chunk.subarray(0, Math.min(left, chunk.length)), zerosCrc);
const entries = Array.from({ length: 65536 }, (_, i) => entry(i, i % 2 ? 8 : 0));
for (const name of ['zeros-a', 'zeros-b'])
  entries.push({ path: name, crc: zerosCrc, size: zeros, method: 0, stored: zeros, body: { hole: zeros } });
entries.push(entry(65536, 0), entry(65537, 8));

const fd = openSync(file, 'w');
let at = 0;
for (const part of zipParts(entries)) {
  if (!part.hole) writeSync(fd, part, 0, part.length, at);
  at += part.hole ?? part.length;
}
ftruncateSync(fd, at);
closeSync(fd);

const check = `
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
infos = z.infolist()
assert len(infos) == 65540, len(infos)
small = [i for i in infos if not i.filename.startswith("zeros")]
for k, i in enumerate(small):
    assert i.filename == f"d{k % 16}/e{k}.txt", i.filename
    assert i.compress_type == (8 if k % 2 else 0), i.filename
    assert z.read(i) == (f"entry {k}\\n" * (k % 7)).encode(), i.filename
assert infos[-1].header_offset > 2**32, infos[-1].header_offset
print(f"zip.js: {len(infos)} entries, the last at {infos[-1].header_offset} bytes, as Python's zipfile reads them")
`;
const run = spawnSync('/usr/bin/python3', ['-c', check, file], { stdio: ['ignore', 'inherit', 'inherit'] });
process.exit(run.status === 0 ? 0 : 1);
