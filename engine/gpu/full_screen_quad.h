// The quad that passes over a whole target, for full-screen shading passes.
#pragma once

namespace tavrel {

// Draws (-1,-1)..(1,1) with texture coordinates 0..1, counter-clockwise, in
// immediate mode; with identity matrices it covers the viewport exactly.
// Errors are left for the caller to check, so that a failure is reported at
// the pass that drew it.
void draw_full_screen_quad();

// Binds `framebuffer` and sets what a full-screen pass into its first colour
// attachment needs: a width x height viewport, no depth, stencil, scissor,
// alpha test, blending or culling, and every colour channel written. The
// caller saves and restores that state (AttribGuard) around the pass.
void begin_full_screen_pass(unsigned framebuffer, int width, int height);

}  // namespace tavrel
