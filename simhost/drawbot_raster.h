// Paints a recorded Drawbot log over an image, as a host's window would show
// the effect's drawing over the frame: one-pixel pen strokes, brush fills of
// the pixels whose centres a rectangle covers, images as their outline.
#pragma once

#include <string>
#include <vector>

#include "simhost/worlds.h"

namespace simhost {

// Window pixel (x, y) is image pixel (x, y); what falls outside is clipped.
// Colours are opaque at their alpha over what lies below. SimhostError for
// a line the recorder does not write.
void rasterise_drawbot_log(const std::vector<std::string>& log, OwnedWorld& image);

}  // namespace simhost
