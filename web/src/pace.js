// The page's updates while files convert, drawn together at most once in
// gap milliseconds. A browser that composites in software (SwiftShader)
// spends 30 ms or more of a processor on each frame it draws, and a run
// would otherwise ask for about a frame a file: a library would keep a
// processor drawing instead of converting.
export function pacer(gap) {
  const waiting = new Set();
  let asked = false;
  let last = -Infinity;
  let drawn = 0;  // drawings made: one asked before the last is not made again
  function draw() {
    asked = false;
    drawn += 1;
    last = performance.now();
    const calls = [...waiting];
    waiting.clear();
    for (const call of calls) call();
  }
  // Calls update with the next drawing (once however often asked).
  const pace = (update) => {
    waiting.add(update);
    if (asked) return;
    asked = true;
    const turn = drawn;
    setTimeout(() => requestAnimationFrame(() => turn === drawn && draw()), Math.max(0, last + gap - performance.now()));
  };
  // Draws what waits now: the end of a run is shown whole at once.
  pace.flush = () => waiting.size && draw();
  return pace;
}
