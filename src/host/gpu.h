#pragma once

namespace kaleon::host {

// Whether the machine has a GPU to render with: a DRM render node. Without one any GL would
// be emulated on the CPU, slower and hungrier than drawing the pixels ourselves, and merely
// trying it loads a hundred megabytes of emulator.
bool hasRenderNode();

} // namespace kaleon::host
