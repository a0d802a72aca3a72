// The 3D view: the triangles the view worker reads (view-worker.js), group
// by group, with orbit and zoom by mouse, touch and keys, fit to the model,
// wireframe, and the groups listed with show and hide. Without WebGL the
// view says so in one line, and the rest of the page works as ever.
import {
  AmbientLight, Box3, BufferAttribute, BufferGeometry, Color, DirectionalLight, DoubleSide, Group, Mesh,
  MeshLambertMaterial, PerspectiveCamera, Scene, Sphere, WebGLRenderer,
} from 'three';
import { OrbitControls } from 'three/examples/jsm/controls/OrbitControls.js';

export const noWebGL = 'This browser cannot draw 3D here (WebGL is unavailable); converting and downloading work as usual.';

// A view that draws nothing, for a browser without WebGL.
function blindViewer(canvas) {
  canvas.dataset.blind = '';
  return { available: false, clear() {}, fit() {}, setWireframe() {}, show: () => noWebGL };
}

export function createViewer(canvas, groupList) {
  let renderer;
  try {
    renderer = new WebGLRenderer({ canvas, preserveDrawingBuffer: true });
  } catch {
    return blindViewer(canvas);
  }
  renderer.setPixelRatio(Math.min(window.devicePixelRatio, 2));
  const scene = new Scene();
  scene.background = new Color(0x1f2329);
  scene.add(new AmbientLight(0xffffff, 0.6));
  const sun = new DirectionalLight(0xffffff, 2.2);
  scene.add(sun);
  const camera = new PerspectiveCamera(45, 1, 0.01, 1000);
  camera.position.set(3, 2, 4);
  const controls = new OrbitControls(camera, canvas);
  controls.listenToKeyEvents(canvas);
  let model = null;
  let wireframe = false;
  let frame = 0;

  function drawNow() {
    frame = 0;
    sun.position.copy(camera.position);
    renderer.render(scene, camera);
  }
  // One drawing a frame at most, however many changes ask for it.
  const draw = () => { frame ||= requestAnimationFrame(drawNow); };
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

  function fit() {
    if (!model) return;
    const box = new Box3();
    for (const m of model.children) if (m.visible) box.union(m.geometry.boundingBox);
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
    model.children.forEach((m, i) => {
      const label = document.createElement('label');
      const box = document.createElement('input');
      box.type = 'checkbox';
      box.checked = true;
      box.addEventListener('change', () => { m.visible = box.checked; draw(); });
      label.append(box, ` ${m.name || `(group ${i + 1})`}`);
      groupList.append(label);
    });
  }

  function clear() {
    if (model) {
      scene.remove(model);
      model.traverse((o) => { o.geometry?.dispose(); o.material?.dispose(); });
    }
    model = null;
    groupList.replaceChildren();
    delete canvas.dataset.shown;
    draw();
  }

  return {
    available: true,
    clear,
    fit,
    // Shows groups ([{ name, color, positions }], nine numbers a triangle)
    // under name; returns '' when something is drawn, else why not.
    show(groups, name) {
      clear();
      model = new Group();
      for (const g of groups) {
        if (!g.positions.length) continue;
        const geometry = new BufferGeometry();
        geometry.setAttribute('position', new BufferAttribute(g.positions, 3));
        geometry.computeVertexNormals();
        geometry.computeBoundingBox();
        const material = new MeshLambertMaterial({ color: g.color ?? 0xb8b8b0, side: DoubleSide, flatShading: true, wireframe });
        const mesh = new Mesh(geometry, material);
        mesh.name = g.name;
        model.add(mesh);
      }
      scene.add(model);
      listGroups();
      resize();
      fit();
      drawNow();
      canvas.dataset.shown = name;
      return model.children.length ? '' : 'nothing to draw: no facet with finite points';
    },
    setWireframe(on) {
      wireframe = on;
      model?.traverse((o) => { if (o.material) o.material.wireframe = on; });
      draw();
    },
  };
}
