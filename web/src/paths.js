// Input paths as the console program sees them: "FOLDER/SUB/NAME.rsr",
// relative, "/" between names; and the one rule that makes every path the
// page takes (from a dropped folder, an archive's own name, an entry's
// name) safe to write wherever its outputs go: into a zip, into a folder on
// any system, and never outside that folder.

const encoder = new TextEncoder();

// True for a name that the console program converts: .rsr in any case.
export const isRsr = (path) => path.slice(-4).toLowerCase() === '.rsr';

// True for a name the page reads as a zip archive.
export const isZip = (path) => path.slice(-4).toLowerCase() === '.zip';

// The order in which the console program's batch form converts files:
// name by name, each compared byte by byte (std::filesystem::path's order).
export function comparePaths(a, b) {
  const x = a.split('/');
  const y = b.split('/');
  for (let i = 0; i < Math.min(x.length, y.length); ++i) {
    if (x[i] === y[i]) continue;
    const p = encoder.encode(x[i]);
    const q = encoder.encode(y[i]);
    for (let k = 0; k < Math.min(p.length, q.length); ++k) if (p[k] !== q[k]) return p[k] - q[k];
    return p.length - q.length;
  }
  return x.length - y.length;
}

const control = /[\u0000-\u001f\u007f-\u009f]/u;
const refused = /[<>:"|?*]/gu;  // besides "/" and "\", which part names
// Windows' devices, with or without an extension ("NUL.txt" is NUL).
const device = /^(con|prn|aux|nul|conin\$|conout\$|com[0-9¹²³]|lpt[0-9¹²³])$/iu;
const maxNameBytes = 255;

// The first control character of a name, as "U+000A"; '' when it has none.
// Such a name is no input: a control character in an output's name is
// dropped, cut at or shown otherwise by the systems that write it.
export function controlIn(name) {
  const found = control.exec(name);
  return found ? `U+${found[0].codePointAt(0).toString(16).toUpperCase().padStart(4, '0')}` : '';
}

// name cut to at most bytes bytes of UTF-8, whole characters only.
function bounded(name, bytes) {
  if (encoder.encode(name).length <= bytes) return name;
  let cut = '';
  for (const c of name) {
    if (encoder.encode(cut + c).length > bytes) break;
    cut += c;
  }
  return cut;
}

// One name of a path as every system writes it: no character Windows
// refuses (made "_"), no trailing dots or spaces, a device name given a
// "_" after its stem, at most 255 bytes (a name ending in .rsr keeps it,
// so that its outputs keep theirs); '' for a name that leaves nothing
// ("", ".", "..", "...", ". ").
function safeName(name) {
  let s = name.replace(refused, '_').replace(/[. ]+$/u, '');
  const stem = /^[^.]*/u.exec(s)[0];
  if (device.test(stem.replace(/ +$/u, ''))) s = `${stem}_${s.slice(stem.length)}`;
  if (isRsr(s)) return bounded(s.slice(0, -4), maxNameBytes - 4) + s.slice(-4);
  return bounded(s, maxNameBytes).replace(/[. ]+$/u, '');
}

// The path of an input whose parts (an archive's path without ".zip", a
// name inside it, ...) each hold names between "/" or "\": every name made
// safe (safeName), a drive ("C:") that starts a part and names that leave
// nothing dropped, control characters shown as U+FFFD (such an input fails:
// see controlIn). renamed: true when a name was changed or dropped.
export function inputPath(parts) {
  const given = [];
  const names = [];
  parts.forEach((part) => {
    const split = part.split(/[\\/]/u).filter(Boolean);
    given.push(...split);
    if (/^[a-z]:$/iu.test(split[0] ?? '')) split.shift();
    for (const n of split) {
      const safe = safeName(n.replace(new RegExp(control.source, 'gu'), '\ufffd'));
      if (safe) names.push(safe);
    }
  });
  const path = names.join('/');
  return { path, renamed: path !== given.join('/') };
}

// The key under which two outputs are one file, or a file and a folder
// one name, on some system: Windows and macOS ignore letter case.
export const outputKey = (path) => path.normalize('NFC').toLowerCase();
