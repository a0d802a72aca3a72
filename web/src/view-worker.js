// The 3D view, off the page's thread: reads a stored output (an OBJ with its
// .mtl, or a GLB) and draws it on the page's canvas, handed over as an
// OffscreenCanvas (scene.js), so that neither reading nor drawing a large
// model ever holds up the page. An OBJ is read as it streams from disk and
// thinned as it is read (view-read.js): above the scene's budget every n-th
// triangle is kept, so that drawing in software stays bearable and memory
// holds the points and the budget, never the model's text. Only the latest
// model asked for is read: a request that a later one overtakes is
// dropped. Also gives a stored output's bytes back, for a download of one
// file.
import { Matrix4, Vector3 } from 'three';
import { createScene } from './scene.js';
import { GLTFLoader } from 'three/examples/jsm/loaders/GLTFLoader.js';
import { outputBody } from './store.js';
import { mtlColors, readObj, thinner } from './view-read.js';

const read = async (output) => new Uint8Array(await (await outputBody(output)).arrayBuffer());

// A stored output's bytes as they are read from disk (inflated, when the
// output was stored deflated), a piece at a time.
async function* streamed(output) {
  const reader = (await outputBody(output)).stream().getReader();
  try {
    for (;;) {
      const { done, value } = await reader.read();
      if (done) return;
      yield value;
    }
  } finally {
    reader.cancel().catch(() => {});  // a read overtaken stops here
  }
}

// A GLB's meshes into thin, a group for each child of its scene.
async function readGlb(bytes, thin) {
  const model = await new Promise((resolve, reject) => new GLTFLoader().parse(bytes.buffer, '', (gltf) => resolve(gltf.scene), reject));
  model.updateMatrixWorld(true);
  const p = new Vector3();
  const corners = new Float64Array(9);
  for (const child of model.children) {
    let begun = false;
    child.traverse((o) => {
      if (!o.isMesh) return;
      const material = Array.isArray(o.material) ? o.material[0] : o.material;
      if (!begun) thin.group(child.name, material?.color?.getHex() ?? null);
      begun = true;
      const position = o.geometry.getAttribute('position');
      const index = o.geometry.getIndex();
      const count = index ? index.count : position.count;
      const moved = !o.matrixWorld.equals(new Matrix4());
      for (let t = 0; t + 2 < count; t += 3) {
        for (let k = 0; k < 3; ++k) {
          p.fromBufferAttribute(position, index ? index.getX(t + k) : t + k);
          if (moved) p.applyMatrix4(o.matrixWorld);
          corners.set([p.x, p.y, p.z], 3 * k);
        }
        thin.triangle(corners);
      }
    });
    if (!begun) thin.group(child.name, null);
  }
}

class Overtaken extends Error {}
let asked = 0;  // the latest show request

// Reads and draws files, the stored outputs ({ path, ... }) of one result,
// unless a later request overtakes this one (ticket).
async function show({ files }, ticket) {
  const still = () => {
    if (ticket !== asked) throw new Overtaken();
  };
  still();
  scene.clear();
  const byExtension = Object.fromEntries(files.map((f) => [f.path.split('.').pop().toLowerCase(), f]));
  const thin = thinner(scene.budget);
  if (byExtension.obj) {
    const mtl = byExtension.mtl && new TextDecoder().decode(await read(byExtension.mtl));
    still();
    const chunks = streamed(byExtension.obj);
    await readObj((async function* () {
      for await (const c of chunks) {
        still();
        yield c;
      }
    })(), thin, mtl ? mtlColors(mtl) : null);
  } else if (byExtension.glb) {
    await readGlb(await read(byExtension.glb), thin);
  } else {
    return [{ names: [], triangles: 0, every: 1 }, []];
  }
  still();
  const { groups, triangles, every } = thin.end();
  scene.show(groups);
  return [{ names: groups.map((g) => g.name), triangles, every }, []];
}

let scene = null;
let showing = Promise.resolve();  // one model read and drawn at a time

const jobs = {
  // Takes the page's canvas; answers whether this browser draws WebGL here.
  canvas({ canvas, width, height }) {
    scene = createScene(canvas);
    scene?.resize(width, height);
    return [{ available: !!scene }, []];
  },
  // Answers the groups' names and what was drawn, or { overtaken: true }
  // when a later request came before this one was drawn.
  show(request) {
    const ticket = ++asked;
    const next = showing.then(() => show(request, ticket))
      .catch((e) => { if (e instanceof Overtaken) return [{ overtaken: true }, []]; throw e; });
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
