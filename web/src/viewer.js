// The 3D view on the page: the canvas is handed to the view worker
// (view-worker.js), which reads and draws there; the page only passes on
// the mouse, touch and keys, and lists the groups with show and hide.
// Without WebGL in a worker the view says so in one line, and the rest of
// the page works as ever.

export const noWebGL = 'This browser cannot draw 3D here (WebGL is unavailable); converting and downloading work as usual.';

const blind = { available: false, clear() {}, fit() {}, setWireframe() {}, show: async () => ({ problem: noWebGL }) };

// A browser that gives pages no WebGL (WebGL turned off) may still give it
// to workers: the view keeps to what the browser says of pages.
function webglAllowed() {
  const probe = document.createElement('canvas');
  const gl = probe.getContext('webgl2') ?? probe.getContext('webgl');
  gl?.getExtension('WEBGL_lose_context')?.loseContext();
  return !!gl;
}

// viewJob: the view worker's jobs (as main.js asks them).
export async function createViewer(canvas, groupList, viewJob) {
  if (!canvas.transferControlToOffscreen || !webglAllowed()) return blind;
  const size = () => [Math.round(canvas.clientWidth * devicePixelRatio), Math.round(canvas.clientHeight * devicePixelRatio)];
  const offscreen = canvas.transferControlToOffscreen();
  const [width, height] = size();
  const { available } = await viewJob('canvas', { canvas: offscreen, width, height }, [offscreen]);
  if (!available) return blind;
  const call = (name, ...args) => viewJob('view', { call: name, args });
  new ResizeObserver(() => call('resize', ...size())).observe(canvas);

  // Dragging turns the model, the wheel and two fingers zoom, the arrow
  // keys turn and + and - zoom.
  const pointers = new Map();
  canvas.addEventListener('pointerdown', (e) => {
    canvas.setPointerCapture(e.pointerId);
    pointers.set(e.pointerId, e);
  });
  canvas.addEventListener('pointermove', (e) => {
    const last = pointers.get(e.pointerId);
    if (!last) return;
    if (pointers.size === 1) call('turn', (2 * Math.PI * (e.clientX - last.clientX)) / canvas.clientHeight,
      (2 * Math.PI * (e.clientY - last.clientY)) / canvas.clientHeight);
    else {
      const other = [...pointers.values()].find((p) => p.pointerId !== e.pointerId);
      const apart = (p) => Math.hypot(p.clientX - other.clientX, p.clientY - other.clientY);
      if (apart(e) > 0) call('zoom', apart(last) / apart(e));
    }
    pointers.set(e.pointerId, e);
  });
  for (const end of ['pointerup', 'pointercancel']) canvas.addEventListener(end, (e) => pointers.delete(e.pointerId));
  canvas.addEventListener('wheel', (e) => {
    e.preventDefault();
    call('zoom', Math.exp(e.deltaY / 500));
  }, { passive: false });
  const keys = { ArrowLeft: ['turn', -0.1, 0], ArrowRight: ['turn', 0.1, 0], ArrowUp: ['turn', 0, -0.1],
    ArrowDown: ['turn', 0, 0.1], '+': ['zoom', 0.9], '=': ['zoom', 0.9], '-': ['zoom', 1.1] };
  canvas.addEventListener('keydown', (e) => {
    if (!keys[e.key]) return;
    e.preventDefault();
    call(...keys[e.key]);
  });

  function listGroups(names) {
    groupList.replaceChildren(...names.map((name, i) => {
      const label = document.createElement('label');
      const box = document.createElement('input');
      box.type = 'checkbox';
      box.checked = true;
      box.addEventListener('change', () => call('visible', i, box.checked));
      label.append(box, ` ${name || `(group ${i + 1})`}`);
      return label;
    }));
  }

  return {
    available: true,
    clear() {
      groupList.replaceChildren();
      delete canvas.dataset.shown;
      call('clear');
    },
    fit: () => call('fit'),
    setWireframe: (on) => call('setWireframe', on),
    // Reads and draws files (a result's outputs) under name; resolves to
    // { problem }, { overtaken } when a later call came first, or what was
    // drawn: { names, triangles, every }.
    async show(files, name) {
      const drawn = await viewJob('show', { files });
      if (drawn.overtaken) return drawn;
      listGroups(drawn.names);
      canvas.dataset.shown = name;
      return drawn.names.length ? drawn : { problem: 'nothing to draw' };
    },
  };
}
