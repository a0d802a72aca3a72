// node validate.mjs FILE.glb...: the Khronos glTF validator's verdict on each
// file, one JSON line each: {file, errors, warnings, messages}.
import fs from 'fs';
import validator from 'gltf-validator';

for (const file of process.argv.slice(2)) {
    const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)));
    const messages = report.issues.messages.filter((m) => m.severity <= 1).slice(0, 5);
    console.log(JSON.stringify({file, errors: report.issues.numErrors, warnings: report.issues.numWarnings, messages}));
}
