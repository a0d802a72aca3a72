// The 3D view, off the page's thread: reads a stored output (an OBJ with its
// .mtl, or a GLB) as three.js reads it and draws it on the page's canvas,
// handed over as an OffscreenCanvas (scene.js), so that neither reading nor
// drawing a large model ever holds up the page. Triangles with a point that
// is not finite are left out, so that the rest shows and the bounds hold;
// above a budget every n-th triangle is kept, so that drawing in software
// stays bearable. Also gives a stored output's bytes back, for a download
// of one file.
import { Matrix4, Vector3 } from 'three';
import { createScene } from './scene.js';
import { GLTFLoader } from 'three/examples/jsm/loaders/GLTFLoader.js';
import { MTLLoader } from 'three/examples/jsm/loaders/MTLLoader.js';
import { OBJLoader } from 'three/examples/jsm/loaders/OBJLoader.js';
import { outputBody } from './store.js';

const decoder = new TextDecoder();

const read = async (output) => new Uint8Array(await (await outputBody(output)).arrayBuffer());

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

// Each group's triangles (a group: a child of the model, one mesh or a
// node of several) as corner positions, nine numbers a triangle, in the
// model's space, non-finite triangles dropped; colours only where the file
// gives them (colored).
function meshes(model, colored) {
  model.updateMatrixWorld(true);
  return model.children.map((child) => {
    const parts = [];
    child.traverse((o) => { if (o.isMesh) parts.push(trianglesOf(o, colored)); });
    const positions = new Float32Array(parts.reduce((n, p) => n + p.positions.length, 0));
    let at = 0;
    for (const p of parts) {
      positions.set(p.positions, at);
      at += p.positions.length;
    }
    return { name: child.name, color: parts[0]?.color ?? null, positions };
  });
}

// One mesh's finite triangles, and its colour.
function trianglesOf(o, colored) {
  const p = new Vector3();
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
  return { color: colored ? material?.color?.getHex() ?? null : null, positions: out.subarray(0, kept) };
}

// Reads and draws files: [{ path, folder, name }] of one result.
async function show({ files }) {
  scene.clear();
  const byExtension = {};
  for (const f of files) byExtension[f.path.split('.').pop().toLowerCase()] = await read(f);
  const kind = Object.keys(readers).find((k) => byExtension[k]);
  if (!kind) return [{ names: [], triangles: 0, every: 1 }, []];
  const groups = meshes(await readers[kind](byExtension[kind], byExtension), kind === 'glb' || !!byExtension.mtl);
  const { triangles, every } = reduce(groups, scene.budget);
  scene.show(groups);
  return [{ names: groups.map((g) => g.name), triangles, every }, []];
}

// Keeps every n-th triangle when there are more than budget.
function reduce(groups, budget) {
  const triangles = groups.reduce((n, g) => n + g.positions.length / 9, 0);
  const every = Math.max(1, Math.ceil(triangles / budget));
  for (const g of groups) {
    if (every === 1) continue;
    const n = Math.ceil(g.positions.length / 9 / every);
    const kept = new Float32Array(n * 9);
    for (let t = 0; t < n; ++t) kept.set(g.positions.subarray(t * every * 9, t * every * 9 + 9), t * 9);
    g.positions = kept;
  }
  return { triangles, every };
}

let scene = null;
let showing = Promise.resolve();  // one model read and drawn at a time, in the order asked

const jobs = {
  // Takes the page's canvas; answers whether this browser draws WebGL here.
  canvas({ canvas, width, height }) {
    scene = createScene(canvas);
    scene?.resize(width, height);
    return [{ available: !!scene }, []];
  },
  // Answers the groups' names and what was drawn.
  show(request) {
    const next = showing.then(() => show(request));
    showing = next.catch(() => {});
    return next;
  },
  async bytes(output) {
    const bytes = await read(output);
    return [{ bytes }, [bytes.buffer]];
  },
  // What the page's controls ask of the scene: clear, fit, resize, turn,
  // zoom, wireframe, visible.
  view({ call, args }) {
    scene?.[call](...args);
    return [{}, []];
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
