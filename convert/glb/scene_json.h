// The JSON part of a GLB file: the scene, its nodes and meshes, the
// materials, and the accessors and buffer views that find each primitive's
// data in the binary chunk.
#pragma once

#include <string>

#include "convert/glb/scene.h"

namespace quarlen {

// The JSON text of scene, unpadded. Every node's primitives lie in
// scene.primitives, each primitive's material in scene.materials, and
// their data, laid out as layoutOf says, in scene.binarySize bytes.
std::string sceneJson(const GlbScene& scene);

}  // namespace quarlen
