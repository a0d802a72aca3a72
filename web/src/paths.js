// Input paths as the console program sees them: "FOLDER/SUB/NAME.rsr",
// relative, "/" between names.

const encoder = new TextEncoder();

// True for a name that the console program converts: .rsr in any case.
export const isRsr = (path) => path.slice(-4).toLowerCase() === '.rsr';

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

// A path from an archive or a dropped folder, made relative: no leading "/",
// no "." or ".." names, no empty names.
export function relativePath(path) {
  return path.split(/[\\/]/).filter((n) => n && n !== '.' && n !== '..').join('/');
}
