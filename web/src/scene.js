// The 3D view's scene, drawn in the view worker on the page's canvas (an
// OffscreenCanvas): groups of triangles, a camera that turns about the
// model and zooms, fit, wireframe, groups shown and hidden, and the number
// of triangles it draws at most. Each change asks for one drawing at the
// next frame.
import {
  AmbientLight, Box3, BufferAttribute, BufferGeometry, Color, DirectionalLight, DoubleSide, Group, Mesh,
  MeshLambertMaterial, PerspectiveCamera, Scene, Sphere, Spherical, Vector3, WebGLRenderer,
} from 'three';

// Null when this browser cannot draw WebGL here.
export function createScene(canvas) {
  let renderer;
  try {
    renderer = new WebGLRenderer({ canvas, preserveDrawingBuffer: true });
  } catch {
    return null;
  }
  const scene = new Scene();
  scene.background = new Color(0x1f2329);
  scene.add(new AmbientLight(0xffffff, 0.6));
  const sun = new DirectionalLight(0xffffff, 2.2);
  scene.add(sun);
  const camera = new PerspectiveCamera(45, 1, 0.01, 1000);
  const target = new Vector3();
  const orbit = new Spherical(5, 1.1, 0.6);  // radius, polar and azimuth angles
  let model = null;
  let wireframe = false;
  let asked = false;

  const nextFrame = self.requestAnimationFrame ?? ((f) => setTimeout(f, 16));
  function draw() {
    if (asked) return;
    asked = true;
    nextFrame(() => {
      asked = false;
      camera.position.setFromSpherical(orbit).add(target);
      camera.lookAt(target);
      camera.near = orbit.radius / 1000;
      camera.far = orbit.radius * 10;
      camera.updateProjectionMatrix();
      sun.position.copy(camera.position);
      renderer.render(scene, camera);
    });
  }

  const calls = {
    resize(width, height) {
      if (!width || !height) return;
      renderer.setSize(width, height, false);
      camera.aspect = width / height;
      draw();
    },
    fit() {
      if (!model) return;
      const box = new Box3();
      for (const m of model.children) if (m.visible) box.union(m.geometry.boundingBox);
      if (box.isEmpty()) return;
      const sphere = box.getBoundingSphere(new Sphere());
      target.copy(sphere.center);
      orbit.radius = (1.1 * Math.max(sphere.radius, 1e-6)) / Math.sin((camera.fov * Math.PI) / 360);
      draw();
    },
    // Turns the camera about the model by angles in radians.
    turn(azimuth, polar) {
      orbit.theta -= azimuth;
      orbit.phi = Math.min(Math.PI - 1e-3, Math.max(1e-3, orbit.phi - polar));
      draw();
    },
    zoom(factor) {
      orbit.radius *= factor;
      draw();
    },
    setWireframe(on) {
      wireframe = on;
      model?.traverse((o) => { if (o.material) o.material.wireframe = on; });
      draw();
    },
    visible(index, on) {
      if (model?.children[index]) model.children[index].visible = on;
      draw();
    },
    clear() {
      if (model) {
        scene.remove(model);
        model.traverse((o) => { o.geometry?.dispose(); o.material?.dispose(); });
      }
      model = null;
      draw();
    },
    // groups: [{ name, color, positions }], nine numbers a triangle.
    show(groups) {
      calls.clear();
      model = new Group();
      for (const g of groups) {
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
      calls.fit();
    },
  };
  // A renderer in software (SwiftShader, llvmpipe) draws a tenth as much.
  const gl = renderer.getContext();
  const info = gl.getExtension('WEBGL_debug_renderer_info');
  const name = String(gl.getParameter(info ? info.UNMASKED_RENDERER_WEBGL : gl.RENDERER));
  calls.budget = /swiftshader|llvmpipe|software/i.test(name) ? 50000 : 500000;
  draw();
  return calls;
}
