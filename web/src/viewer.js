// The 3D view: a converted file as three.js reads it (an OBJ with its .mtl,
// or a GLB), orbit and zoom with the mouse, fit to the model, wireframe,
// and its groups listed with show and hide.
import {
  AmbientLight, Box3, Color, DirectionalLight, DoubleSide, MeshStandardMaterial, PerspectiveCamera, Scene,
  Sphere, WebGLRenderer,
} from 'three';
import { OrbitControls } from 'three/examples/jsm/controls/OrbitControls.js';
import { GLTFLoader } from 'three/examples/jsm/loaders/GLTFLoader.js';
import { MTLLoader } from 'three/examples/jsm/loaders/MTLLoader.js';
import { OBJLoader } from 'three/examples/jsm/loaders/OBJLoader.js';

const decoder = new TextDecoder();

// The readers by the shown file's extension; each gives a three.js object.
// `others` holds the result's other files by extension (the .mtl).
const readers = {
  obj(bytes, others) {
    const loader = new OBJLoader();
    if (others.mtl) {
      const materials = new MTLLoader().parse(decoder.decode(others.mtl), '');
      materials.side = DoubleSide;
      materials.preload();
      loader.setMaterials(materials);
    }
    return Promise.resolve(loader.parse(decoder.decode(bytes)));
  },
  glb(bytes) {
    return new Promise((resolve, reject) =>
      new GLTFLoader().parse(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength), '',
        (gltf) => resolve(gltf.scene), reject));
  },
};

// Meshes without a material of their own get a plain grey one that shows
// both faces: converted models face either way.
const plain = new MeshStandardMaterial({ color: 0xb8b8b0, side: DoubleSide, flatShading: true });

export function createViewer(canvas, groupList) {
  const renderer = new WebGLRenderer({ canvas, antialias: true, preserveDrawingBuffer: true });
  renderer.setPixelRatio(window.devicePixelRatio);
  const scene = new Scene();
  scene.background = new Color(0x20242a);
  scene.add(new AmbientLight(0xffffff, 0.6));
  const sun = new DirectionalLight(0xffffff, 2.2);
  scene.add(sun);
  const camera = new PerspectiveCamera(45, 1, 0.01, 1000);
  camera.position.set(3, 2, 4);
  const controls = new OrbitControls(camera, canvas);
  let model = null;
  let wireframe = false;

  function draw() {
    sun.position.copy(camera.position);
    renderer.render(scene, camera);
  }
  function resize() {
    const { clientWidth: w, clientHeight: h } = canvas;
    if (!w || !h) return;
    renderer.setSize(w, h, false);
    camera.aspect = w / h;
    camera.updateProjectionMatrix();
    draw();
  }
  new ResizeObserver(resize).observe(canvas);
  controls.addEventListener('change', draw);

  function eachMaterial(fn) {
    model?.traverse((o) => {
      if (!o.isMesh) return;
      if (!o.material || (Array.isArray(o.material) && !o.material.length)) o.material = plain;
      for (const m of Array.isArray(o.material) ? o.material : [o.material]) fn(m);
    });
  }

  function fit() {
    if (!model) return;
    const box = new Box3();
    model.traverse((o) => { if (o.isMesh && o.visible) box.expandByObject(o); });
    if (box.isEmpty()) return;
    const sphere = box.getBoundingSphere(new Sphere());
    const radius = Math.max(sphere.radius, 1e-6);
    const distance = radius / Math.sin((camera.fov * Math.PI) / 360);
    const direction = camera.position.clone().sub(controls.target).normalize();
    if (!Number.isFinite(direction.x)) direction.set(0.6, 0.4, 0.8).normalize();
    controls.target.copy(sphere.center);
    camera.position.copy(sphere.center).add(direction.multiplyScalar(distance * 1.1));
    camera.near = distance / 1000;
    camera.far = distance * 10;
    camera.updateProjectionMatrix();
    controls.update();
    draw();
  }

  function listGroups() {
    groupList.replaceChildren();
    model?.children.forEach((o, i) => {
      const label = document.createElement('label');
      const box = document.createElement('input');
      box.type = 'checkbox';
      box.checked = true;
      box.addEventListener('change', () => { o.visible = box.checked; draw(); });
      label.append(box, ` ${o.name || `(group ${i + 1})`}`);
      groupList.append(label);
    });
  }

  function clear() {
    if (model) {
      scene.remove(model);
      model.traverse((o) => o.geometry?.dispose());
    }
    model = null;
    groupList.replaceChildren();
    delete canvas.dataset.shown;
    draw();
  }

  return {
    clear,
    fit,
    // Shows files (a result's outputs, [{ path, bytes }]): the first that a
    // reader takes, with the others beside it. Resolves to an error text, or
    // '' when the model is shown.
    async show(files, name) {
      clear();
      const byExtension = Object.fromEntries(files.map((f) => [f.path.split('.').pop().toLowerCase(), f.bytes]));
      const kind = Object.keys(readers).find((k) => byExtension[k]);
      if (!kind) return 'nothing to show';
      try {
        model = await readers[kind](byExtension[kind], byExtension);
      } catch (e) {
        return `three.js could not read ${name}: ${e.message}`;
      }
      eachMaterial((m) => { m.wireframe = wireframe; m.side = DoubleSide; });
      scene.add(model);
      listGroups();
      resize();
      fit();
      canvas.dataset.shown = name;
      return '';
    },
    setWireframe(on) {
      wireframe = on;
      eachMaterial((m) => { m.wireframe = on; });
      draw();
    },
    draw,
  };
}
