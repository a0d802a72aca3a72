// The 3D view's reader, off the page's thread: reads a stored output (an
// OBJ with its .mtl, or a GLB) as three.js reads it and hands the page
// plain triangles, group by group. Triangles with a point that is not
// finite are left out, so that the rest shows and the bounds hold; above a
// budget every n-th triangle is kept, so that drawing stays quick. Also
// gives a stored output's bytes back, for a download of one file.
import { inflateSync } from 'fflate';
import { Matrix4, Vector3 } from 'three';
import { GLTFLoader } from 'three/examples/jsm/loaders/GLTFLoader.js';
import { MTLLoader } from 'three/examples/jsm/loaders/MTLLoader.js';
import { OBJLoader } from 'three/examples/jsm/loaders/OBJLoader.js';
import { storedFile } from './store.js';

const decoder = new TextDecoder();

const read = async (folder, name) => inflateSync(new Uint8Array(await (await storedFile(folder, name)).arrayBuffer()));

// The readers by the shown file's extension; each gives a three.js object.
// `others` holds the result's other files by extension (the .mtl).
const readers = {
  obj(bytes, others) {
    const loader = new OBJLoader();
    if (others.mtl) loader.setMaterials(new MTLLoader().parse(decoder.decode(others.mtl), ''));
    return Promise.resolve(loader.parse(decoder.decode(bytes)));
  },
  glb(bytes) {
    return new Promise((resolve, reject) => new GLTFLoader().parse(bytes.buffer, '', (gltf) => resolve(gltf.scene), reject));
  },
};

// Each mesh's triangles as corner positions, nine numbers a triangle, in
// the model's space, non-finite triangles dropped; colours only where the
// file gives them (colored).
function meshes(model, colored) {
  model.updateMatrixWorld(true);
  const found = [];
  const p = new Vector3();
  model.traverse((o) => {
    if (!o.isMesh) return;
    const position = o.geometry.getAttribute('position');
    const index = o.geometry.getIndex();
    const corners = index ? index.count : position.count;
    const moved = !o.matrixWorld.equals(new Matrix4());
    const out = new Float32Array(corners * 3);
    let kept = 0;
    for (let t = 0; t + 2 < corners; t += 3) {
      let finite = true;
      for (let k = 0; k < 3; ++k) {
        p.fromBufferAttribute(position, index ? index.getX(t + k) : t + k);
        if (moved) p.applyMatrix4(o.matrixWorld);
        const at = kept + 3 * k;
        out[at] = p.x;
        out[at + 1] = p.y;
        out[at + 2] = p.z;
        finite &&= Number.isFinite(out[at]) && Number.isFinite(out[at + 1]) && Number.isFinite(out[at + 2]);
      }
      if (finite) kept += 9;
    }
    const material = Array.isArray(o.material) ? o.material[0] : o.material;
    found.push({ name: o.name, color: colored ? material?.color?.getHex() ?? null : null, positions: out.subarray(0, kept) });
  });
  return found;
}

// Keeps every n-th triangle when there are more than budget.
function reduce(groups, budget) {
  const triangles = groups.reduce((n, g) => n + g.positions.length / 9, 0);
  const every = Math.max(1, Math.ceil(triangles / budget));
  for (const g of groups) {
    if (every === 1) {
      g.positions = g.positions.slice();
      continue;
    }
    const n = Math.ceil(g.positions.length / 9 / every);
    const kept = new Float32Array(n * 9);
    for (let t = 0; t < n; ++t) kept.set(g.positions.subarray(t * every * 9, t * every * 9 + 9), t * 9);
    g.positions = kept;
  }
  return { triangles, every };
}

const jobs = {
  // files: [{ path, folder, name }] of one result; budget: triangles.
  async show({ files, budget }) {
    const byExtension = {};
    for (const f of files) byExtension[f.path.split('.').pop().toLowerCase()] = await read(f.folder, f.name);
    const kind = Object.keys(readers).find((k) => byExtension[k]);
    if (!kind) return [{ groups: [] }, []];
    const groups = meshes(await readers[kind](byExtension[kind], byExtension), kind === 'glb' || !!byExtension.mtl);
    const { triangles, every } = reduce(groups, budget);
    return [{ groups, triangles, every }, groups.map((g) => g.positions.buffer)];
  },
  async bytes({ folder, name }) {
    const bytes = await read(folder, name);
    return [{ bytes }, [bytes.buffer]];
  },
};

self.onmessage = async ({ data }) => {
  try {
    const [reply, transfer] = await jobs[data.type](data);
    self.postMessage({ id: data.id, ...reply }, transfer);
  } catch (e) {
    self.postMessage({ id: data.id, error: e.message });
  }
};
