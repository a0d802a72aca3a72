// What the view reads of a model, thinned as it is read: each group's
// triangles as corner positions (nine numbers a triangle), of which it
// keeps every n-th, n doubling whenever more than a budget are kept, so
// that a model of any size costs the view its points and at most the
// budget's triangles, never the whole text nor every triangle. Triangles
// with a point that is not finite are left out, so that the rest shows and
// the bounds hold.

// Gathers groups of triangles under a budget; n (every) is the same for all.
export function thinner(budget) {
  const groups = [];
  let every = 1;
  let seen = 0;  // triangles given, all groups together
  let kept = 0;
  let group = null;

  // Keeps the triangles whose number is a multiple of every.
  function thin() {
    every *= 2;
    kept = 0;
    for (const g of groups) {
      let n = 0;
      for (let t = 0; t < g.count; ++t) {
        if (g.numbers[t] % every) continue;
        g.numbers[n] = g.numbers[t];
        g.positions.copyWithin(9 * n, 9 * t, 9 * t + 9);
        ++n;
      }
      g.count = n;
      kept += n;
    }
  }

  return {
    // Begins a group; gives it back, for its colour to be set later.
    group(name, color) {
      group = { name, color, positions: new Float32Array(9 * 64), numbers: new Float64Array(64), count: 0 };
      groups.push(group);
      return group;
    },
    // p: nine numbers, the triangle's corners.
    triangle(p) {
      for (let k = 0; k < 9; ++k) if (!Number.isFinite(p[k])) return;
      const number = seen++;
      if (number % every) return;
      if (group.count === group.numbers.length) {
        const positions = new Float32Array(2 * group.positions.length);
        positions.set(group.positions);
        const numbers = new Float64Array(2 * group.numbers.length);
        numbers.set(group.numbers);
        Object.assign(group, { positions, numbers });
      }
      group.positions.set(p, 9 * group.count);
      group.numbers[group.count++] = number;
      if (++kept > budget) thin();
    },
    // { groups: [{ name, color, positions }], triangles, every }
    end: () => ({
      groups: groups.map((g) => ({ name: g.name, color: g.color, positions: g.positions.slice(0, 9 * g.count) })),
      triangles: seen,
      every,
    }),
  };
}

// The diffuse colour of each material of an .mtl text, by name.
export function mtlColors(text) {
  const colors = new Map();
  let name = null;
  for (const line of text.split('\n')) {
    const words = line.trim().split(/\s+/);
    if (words[0] === 'newmtl') name = line.trim().slice(7).trim();
    else if (words[0] === 'Kd' && name !== null) {
      const [r, g, b] = words.slice(1, 4).map((w) => Math.round(Math.min(1, Math.max(0, Number(w) || 0)) * 255));
      colors.set(name, (r << 16) | (g << 8) | b);
    }
  }
  return colors;
}

// Reads an OBJ from chunks (an async iterable of bytes) into thin, one
// line at a time, as three.js's OBJLoader reads it: a group at each g or o
// line (a line before any face names the group begun), faces of more than
// three corners as fans, groups without faces left out; a group's colour
// (colors: of the .mtl) is that of the material named last before its
// first face, else of the first named after it.
export async function readObj(chunks, thin, colors) {
  const decoder = new TextDecoder();
  // As single floats, as three.js draws them: a value beyond their range
  // is not finite, and each point costs 12 bytes.
  const points = { xyz: new Float32Array(3 * 1024), count: 0 };
  const corners = new Float64Array(9);
  const white = colors ? 0xffffff : null;  // three.js's colour where no known material is named
  let color = white;  // of the material named last
  let named = false;  // whether any was
  let group = null;  // { name, color, colored, thinned: thin's group once it has a face }
  let rest = '';

  function point(words) {
    if (3 * points.count + 3 > points.xyz.length) {
      const bigger = new Float32Array(2 * points.xyz.length);
      bigger.set(points.xyz);
      points.xyz = bigger;
    }
    for (let k = 0; k < 3; ++k) points.xyz[3 * points.count + k] = Number(words[1 + k]);
    ++points.count;
  }
  const index = (word) => {
    const i = parseInt(word, 10);
    return i < 0 ? points.count + i : i - 1;
  };
  function corner(at, i) {
    for (let k = 0; k < 3; ++k) corners[at + k] = i >= 0 && i < points.count ? points.xyz[3 * i + k] : NaN;
  }
  const begin = (name) => ({ name, color, colored: named, thinned: null });
  function face(words) {
    if (words.length < 4) return;
    group ??= begin('');
    group.thinned ??= thin.group(group.name, group.color);
    const first = index(words[1]);
    for (let j = 2; j + 1 < words.length; ++j) {
      corner(0, first);
      corner(3, index(words[j]));
      corner(6, index(words[j + 1]));
      thin.triangle(corners);
    }
  }
  function material(name) {
    color = colors?.get(name) ?? white;
    named = true;
    group ??= begin('');
    if (!group.thinned) group.color = color;
    else if (!group.colored) group.thinned.color = color;
    group.colored = true;
  }
  function line(text) {
    const words = text.trim().split(/\s+/);
    switch (words[0]) {
      case 'v': point(words); break;
      case 'f': face(words); break;
      case 'g': case 'o': {
        const name = text.trim().slice(1).trim();
        if (group && !group.thinned) group.name = name;
        else group = begin(name);
        break;
      }
      case 'usemtl': material(text.trim().slice(6).trim()); break;
      default:
    }
  }

  for await (const chunk of chunks) {
    const text = rest + decoder.decode(chunk, { stream: true });
    const lines = text.split('\n');
    rest = lines.pop();
    for (const l of lines) line(l);
  }
  line(rest + decoder.decode());
}

// Gives n bytes at a time of chunks (an async iterable of bytes), as a
// fresh array, or skips them (keep false).
function byteTaker(chunks) {
  const pieces = chunks[Symbol.asyncIterator]();
  let chunk = new Uint8Array(0);
  let used = 0;
  return async (n, keep = true) => {
    const out = keep ? new Uint8Array(n) : null;
    for (let got = 0; got < n;) {
      if (used === chunk.length) {
        const { done, value } = await pieces.next();
        if (done) throw new Error('the file is cut short');
        [chunk, used] = [value, 0];
      }
      const k = Math.min(n - got, chunk.length - used);
      out?.set(chunk.subarray(used, used + k), got);
      used += k;
      got += k;
    }
    return out;
  };
}

// Reads a GLB from chunks into thin, as three.js's GLTFLoader reads it: a
// group for each node of the scene, coloured as its first primitive's
// material (colorOf: the hex three.js makes of a linear base colour),
// with the triangles of each primitive. The binary chunk is read in file
// order, holding one primitive's points and a piece of its indices at a
// time: each primitive's data must come after the one before, and its
// points before its indices, as this program writes them.
export async function readGlb(chunks, thin, colorOf) {
  const take = byteTaker(chunks);
  const head = new DataView((await take(20)).buffer);
  if (head.getUint32(0, true) !== 0x46546c67 || head.getUint32(16, true) !== 0x4e4f534a) throw new Error('not a GLB file');
  const json = JSON.parse(new TextDecoder().decode(await take(head.getUint32(12, true))));
  if (json.buffers?.length) await take(8, false);  // the binary chunk's header
  let at = 0;  // of the binary chunk, the bytes read
  async function read(accessor, size, keep) {
    const { bufferView, byteOffset = 0 } = json.accessors[accessor];
    const from = (json.bufferViews[bufferView].byteOffset ?? 0) + byteOffset;
    if (from < at) throw new Error('its data is not in the order this view reads');
    await take(from - at, false);
    at = from + size;
    return keep ? take(size) : null;
  }
  const corners = new Float64Array(9);
  for (const n of json.scenes?.[json.scene ?? 0]?.nodes ?? []) {
    const node = json.nodes[n];
    const primitives = node.mesh === undefined ? [] : json.meshes[node.mesh].primitives;
    const first = json.materials?.[primitives[0]?.material];
    thin.group(node.name ?? '', primitives.length ? colorOf(first?.pbrMetallicRoughness?.baseColorFactor ?? [1, 1, 1]) : null);
    for (const { attributes, indices } of primitives) {
      const count = json.accessors[attributes.POSITION].count;
      const points = new Float32Array((await read(attributes.POSITION, 12 * count, true)).buffer);
      // Point i's coordinates into corners from at (NaN past the points).
      const corner = (at, i) => {
        for (let d = 0; d < 3; ++d) corners[at + d] = points[3 * i + d];
      };
      const triangle = (a, b, c) => {
        corner(0, a);
        corner(3, b);
        corner(6, c);
        thin.triangle(corners);
      };
      if (indices === undefined) {
        for (let t = 0; t + 2 < count; t += 3) triangle(t, t + 1, t + 2);
        continue;
      }
      const width = json.accessors[indices].componentType === 5125 ? 4 : 2;
      const total = json.accessors[indices].count;
      await read(indices, 0, false);  // to where they begin
      for (let done = 0; done + 2 < total;) {
        const piece = Math.min(total - total % 3 - done, 3 << 16);
        const bytes = await take(width * piece);
        const list = width === 4 ? new Uint32Array(bytes.buffer) : new Uint16Array(bytes.buffer);
        for (let t = 0; t < piece; t += 3) triangle(list[t], list[t + 1], list[t + 2]);
        done += piece;
        at += width * piece;
      }
    }
  }
}
