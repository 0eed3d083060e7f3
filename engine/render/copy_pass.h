// Copying finished images between destinations: the pass that draws a
// target's texture into any destination, and the visitor that turns any
// destination into a texture-backed target.
#pragma once

#include <memory>

#include "engine/gpu/render_target.h"

namespace tavrel {

class GlEngine;
class CopyProgram;

// Draws the source's first texture over the whole destination through the
// copy program. The destination stays bound; the previous program and the
// fixed-function state come back.
void copy_pass(RenderTarget& source, IRenderTarget& destination, CopyProgram& program);

// After a destination's accept(visitor), result() holds its image as a
// render target: a multisample buffer is resolved into a pooled target of
// its size and kind, a render target is used as it is (not owned).
class ConditionalCopyRenderTarget : public IRenderTargetVisitor {
public:
    explicit ConditionalCopyRenderTarget(GlEngine* engine);

    void visit(RenderBuffer& target) override;
    void visit(RenderTarget& target) override;

    const std::shared_ptr<RenderTarget>& result() const { return result_; }

private:
    std::shared_ptr<RenderTarget> result_;
    GlEngine* engine_;
};

}  // namespace tavrel
