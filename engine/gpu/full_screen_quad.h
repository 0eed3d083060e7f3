// The quad that passes over a whole target, for full-screen shading passes.
#pragma once

namespace tavrel {

// Draws (-1,-1)..(1,1) with texture coordinates 0..1, counter-clockwise, in
// immediate mode; with identity matrices it covers the viewport exactly.
// Errors are left for the caller to check, so that a failure is reported at
// the pass that drew it.
void draw_full_screen_quad();

}  // namespace tavrel
