// The 3D view, off the page's thread: reads a stored output (an OBJ with its
// .mtl, or a GLB) and draws it on the page's canvas, handed over as an
// OffscreenCanvas (scene.js), so that neither reading nor drawing a large
// model ever holds up the page. A model is read as it streams from disk and
// thinned as it is read (view-read.js): above the scene's budget every n-th
// triangle is kept, so that drawing in software stays bearable and memory
// holds the points (of a GLB, one primitive's) and the budget, never the
// whole file. Only the latest model asked for is read: a request that a
// later one overtakes is dropped. Also gives a stored output's bytes back,
// for a download of one file.
import { Color, LinearSRGBColorSpace } from 'three';
import { createScene } from './scene.js';
import { outputBody } from './store.js';
import { mtlColors, readGlb, readObj, thinner } from './view-read.js';

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
  // The file's pieces, until a later request overtakes this one.
  const pieces = async function* (output) {
    for await (const c of streamed(output)) {
      still();
      yield c;
    }
  };
  if (byExtension.obj) {
    const mtl = byExtension.mtl && new TextDecoder().decode(await read(byExtension.mtl));
    still();
    await readObj(pieces(byExtension.obj), thin, mtl ? mtlColors(mtl) : null);
  } else if (byExtension.glb) {
    await readGlb(pieces(byExtension.glb), thin, (c) => new Color().setRGB(c[0], c[1], c[2], LinearSRGBColorSpace).getHex());
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
