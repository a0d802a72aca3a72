// What the console program makes of each file, for the web tests: its
// one-file run's notices, outcome and outputs, and its --info report.
import { spawnSync } from 'node:child_process';
import { existsSync, readdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { comparePaths, isRsr } from '../../web/src/paths.js';

// The .rsr files below dir/lib as "lib/..." paths, in the console program's
// order (readdirSync's own walk needs Node 18.17; Debian 12 has 18.13).
export function modelPaths(dir, under = 'lib') {
  const found = [];
  for (const e of readdirSync(join(dir, under), { withFileTypes: true })) {
    const path = `${under}/${e.name}`;
    if (e.isDirectory()) found.push(...modelPaths(dir, path));
    else if (isRsr(path)) found.push(path);
  }
  return found.sort(comparePaths);
}

// The console program's one-file form is given its output's name: NAME.obj,
// or NAME.glb with --glb.
const outputExtension = (args) => (args.includes('--glb') ? '.glb' : '.obj');

export function nativeResults(quarlen, dir, paths, args) {
  const results = new Map();
  for (const path of paths) {
    const base = path.slice(0, -4);
    const run = spawnSync(quarlen, [...args, path, base + outputExtension(args)], { cwd: dir });
    const outputs = [base + outputExtension(args), `${base}.mtl`].filter((p) => existsSync(join(dir, p)))
      .map((p) => ({ path: p, bytes: readFileSync(join(dir, p)) }));
    results.set(path, { converted: run.status === 0, notices: run.stderr.toString(), outputs });
  }
  return results;
}

// `quarlen --info PATH` as the page shows it: the notices, then the file's
// lines without the closing total.
export function nativeInfo(quarlen, dir, path) {
  const run = spawnSync(quarlen, ['--info', path], { cwd: dir });
  return run.stderr.toString() + run.stdout.toString().replace(/total: [^\n]*\n$/, '');
}

// Tells each difference; returns how many there were.
export function compare(label, ours, theirs, show = 5) {
  let differences = 0;
  for (const [path, want] of theirs) {
    const got = ours.get(path);
    const problems = [];
    if (!got) problems.push('missing');
    else {
      if (got.converted !== want.converted) problems.push(`outcome ${got.converted} vs ${want.converted}`);
      if (got.notices !== want.notices) problems.push(`notices ${JSON.stringify(got.notices)} vs ${JSON.stringify(want.notices)}`);
      const names = (r) => r.outputs.map((o) => o.path).join(' ');
      if (names(got) !== names(want)) problems.push(`outputs ${names(got)} vs ${names(want)}`);
      else got.outputs.forEach((o, i) => {
        if (Buffer.compare(Buffer.from(o.bytes), want.outputs[i].bytes) !== 0) problems.push(`${o.path} differs`);
      });
    }
    if (problems.length && differences++ < show) console.log(`${label}: ${path}: ${problems.join('; ')}`);
  }
  return differences;
}
