// The set-up the shading renderers share before they draw the scene.
#pragma once

namespace tavrel {

class IRenderTarget;

// Binds the destination with the viewport over it; culls back faces with
// one-sided lighting when cull is set, else draws both sides with two-sided
// lighting; depth test on, blending off; clears colour to transparent black
// and depth. GL errors throw GlEngineError naming error_source.
void begin_shading_pass(IRenderTarget& destination, bool cull, const char* error_source);

}  // namespace tavrel
