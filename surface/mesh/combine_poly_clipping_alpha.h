// The height map of a frame: the displacement layer (or black when there is
// none) with its alpha multiplied by the colour layer's alpha, drawn into a
// target. Its alpha drives the polygonal alpha clip of the triangulation.
#pragma once

#include <array>
#include <memory>

#include "engine/shaders/glsl_program.h"

namespace tavrel {

class IRenderTarget;
class ITextureObject;

class CombinePolyClippingAlphaProgramImpl : public TexturingProgram {
public:
    explicit CombinePolyClippingAlphaProgramImpl(int depth_class);
};

class CombinePolyClippingAlpha {
public:
    CombinePolyClippingAlpha();
    virtual ~CombinePolyClippingAlpha();

    // displacement may be null. The colour texture's format kind picks the
    // program, compiled at its first use; a kind outside 0..2 throws
    // std::out_of_range.
    void combine(const ITextureObject& colour, const ITextureObject* displacement, IRenderTarget& target);

private:
    // By depth class, each made by its first combine.
    std::array<std::shared_ptr<CombinePolyClippingAlphaProgramImpl>, 3> programs_;
};

}  // namespace tavrel
