// The page's updates while files convert, drawn together at most once in
// gap milliseconds. A browser that composites in software (SwiftShader)
// spends about 30 ms of a processor on each frame it draws, and a run would
// otherwise ask for two frames a file: a library of small files would keep
// a processor drawing instead of converting.
export function pacer(gap) {
  const waiting = new Set();
  let timer = null;
  let last = -Infinity;
  function draw() {
    timer = null;
    last = performance.now();
    const calls = [...waiting];
    waiting.clear();
    for (const call of calls) call();
  }
  // Calls update with the next drawing (once however often asked).
  return (update) => {
    waiting.add(update);
    if (timer === null) timer = setTimeout(() => requestAnimationFrame(draw), Math.max(0, last + gap - performance.now()));
  };
}
