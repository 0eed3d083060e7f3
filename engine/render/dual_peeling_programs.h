// The programs of dual depth peeling. Depth pairs, front colours and back
// colours are read from rectangle textures at the fragment's window position.
#pragma once

#include <string>

#include "engine/shaders/glsl_program.h"

namespace tavrel {

// Writes (-z, z) of the fragment's window depth, so that MAX blending keeps
// the nearest and the farthest depth of each pixel.
class DualPeelingInitProgram : public TexturingProgram {
public:
    explicit DualPeelingInitProgram(const std::string& vertex_source);
};

// One peel of the nearest and the farthest remaining layer. The shading
// source declares `vec4 shade_fragment()` (non-premultiplied colour) after
// its preamble; the peel reads "DepthBlenderTex" and "FrontBlenderTex" and
// writes depth pair, front colour and back colour to draw buffers 0 to 2.
class DualPeelingPeelProgram : public TexturingProgram {
public:
    DualPeelingPeelProgram(const std::string& vertex_source, const std::string& shading_source);
};

// Draws "TempTex" over the full-screen quad; fragments of alpha 0 are
// discarded, which is what the occlusion query counts.
class DualPeelingBlendProgram : public TexturingProgram {
public:
    DualPeelingBlendProgram();
};

// Passes the full-screen quad's fragments where "DepthBlenderTex" still
// brackets a layer to peel, discards the rest: an occlusion query over it
// tells whether a further peel pass would peel anything.
class DualPeelingRemainderProgram : public TexturingProgram {
public:
    DualPeelingRemainderProgram();
};

// Composes "FrontBlenderTex" over "BackBlenderTex" into the host's channel
// order of the pixel format kind.
class DualPeelingFinalProgram : public TexturingProgram {
public:
    explicit DualPeelingFinalProgram(int kind);
};

// The flat-shading chunk of the overlay's peel: the preamble of the kind and
// a `shade_fragment()` that returns the vertex colour.
std::string flat_shading_chunk(int kind);

}  // namespace tavrel
