// node three_load.mjs NAMES.json: what three.js's GLTFLoader makes of each
// file that NAMES.json lists, with the node names each should have, one
// JSON line each: {file, nodes, meshes, triangles, names, want, error}.
// names: what three calls the objects it made of the file's nodes, in the
// file's order; want: the names expected, as three cleans a name (it makes
// names unique with a suffix "_N" too).
import fs from 'fs';
import { GLTFLoader } from 'three/examples/jsm/loaders/GLTFLoader.js';
import { PropertyBinding } from 'three';

function load(buf) {
    const bytes = buf.buffer.slice(buf.byteOffset, buf.byteOffset + buf.byteLength);
    return new Promise((resolve, reject) => new GLTFLoader().parse(bytes, '', resolve, reject));
}

const expected = JSON.parse(fs.readFileSync(process.argv[2], 'utf8'));
for (const [file, names] of Object.entries(expected)) {
    try {
        const gltf = await load(fs.readFileSync(file));
        let meshes = 0, triangles = 0;
        gltf.scene.traverse((o) => {
            if (!o.isMesh) return;
            ++meshes;
            const g = o.geometry;
            triangles += (g.index ? g.index.count : g.attributes.position.count) / 3;
        });
        // A node with a mesh of several primitives becomes a group of meshes.
        const nodes = await Promise.all(gltf.parser.json.nodes ? gltf.parser.json.nodes.map((_, i) => gltf.parser.getDependency('node', i)) : []);
        console.log(JSON.stringify({file, nodes: nodes.length, meshes, triangles, names: nodes.map((n) => n.name),
            want: names.map((n) => PropertyBinding.sanitizeNodeName(n))}));
    } catch (e) {
        console.log(JSON.stringify({file, error: String(e)}));
    }
}
