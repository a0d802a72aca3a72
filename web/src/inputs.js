// What the page converts: inputs, each { path, told, size, source (a File,
// or { archive, entry }) or problem }, made by the rules every input
// follows, whether it is a picked file, a file of a dropped folder or an
// entry of an archive: its path made safe (paths.js) and the change told on
// its row; a name holding a control character, or a size the converter
// cannot hold, a failed row before anything is read.
import { sizeProblem } from './core.js';
import { controlIn, inputPath } from './paths.js';

// parts: the path's parts as they came (see inputPath); size: the input's
// bytes; problem: why it cannot be read, if it cannot.
export function makeInput(parts, source, size, problem = '') {
  const { path, renamed } = inputPath(parts);
  const given = parts.filter(Boolean).join('/');
  const control = controlIn(given);
  const told = renamed && !control
    ? `${path}: given as ${JSON.stringify(given)}, renamed so that its outputs stay inside their folder and every system can write them\n`
    : '';
  const why = (control && `its name holds a control character (${control}), which no output's name may hold`) ||
    sizeProblem(size) || problem;
  return why ? { path, told, size, problem: why } : { path, told, size, source };
}
