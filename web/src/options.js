// The output options' controls, made from the core's own description of
// its options (core.js outputOptions): a format choice for the option that
// makes a GLB, a box for each other flag, a field for each value. Options
// that do not go with a GLB are disabled while it is chosen. The console
// command the choice stands for is shown beside them.

// The presets: the traditional output, and what today's readers want.
export const presets = { traditional: [], today: ['--clean', '--mtl', '--triangulate'] };

// The options that write a picture in place of the output: the page draws
// its pictures beside the outputs (its "draw pictures" box).
const ownPictures = ['png', 'pictureSize'];

export function createOptions(box, described, onChange) {
  const glb = described.find((o) => o.field === 'glb');
  const format = document.createElement('select');
  format.id = 'format';
  format.setAttribute('aria-label', 'Output format');
  format.append(new Option('OBJ', 'obj'), new Option('GLB (binary glTF)', 'glb'));
  format.title = glb.help;
  const controls = [];  // [{ option, input }]
  const flags = document.createElement('div');
  flags.className = 'flags';
  for (const option of described) {
    if (option === glb || ownPictures.includes(option.field)) continue;
    const input = document.createElement('input');
    input.id = `opt-${option.field}`;
    const label = document.createElement('label');
    label.title = option.help;
    if (option.takesValue) {
      input.type = 'text';
      input.size = 7;
      input.inputMode = 'decimal';
      input.value = option.default;
      label.append(`${option.name.slice(2)} `, input);
    } else {
      input.type = 'checkbox';
      label.append(input, ` ${option.name.slice(2)}`);
    }
    controls.push({ option, input });
    flags.append(label);
  }
  const glbChosen = () => format.value === 'glb';
  const valueDefault = (o) => (glbChosen() ? o.glbDefault ?? o.default : o.default);

  function args() {
    const list = glbChosen() ? [glb.name] : [];
    for (const { option, input } of controls) {
      if (input.disabled) continue;
      if (!option.takesValue && input.checked) list.push(option.name);
      if (option.takesValue && input.value.trim() !== valueDefault(option)) list.push(option.name, input.value.trim());
    }
    return list;
  }

  function resetValues() {
    for (const { option, input } of controls) if (option.takesValue) input.value = valueDefault(option);
  }

  format.addEventListener('change', () => {
    for (const { option, input } of controls) input.disabled = glbChosen() && !option.withGlb;
    resetValues();
    onChange();
  });
  flags.addEventListener('input', onChange);
  box.replaceChildren(format, flags);

  return {
    args,
    preset(names) {
      for (const { option, input } of controls) if (!option.takesValue) input.checked = names.includes(option.name);
      resetValues();
      onChange();
    },
  };
}
