// What the end-to-end render tests compare against: an asymmetric host
// image, the composition's default camera over it, and the pixels where
// multisampling may blend two colours.
#pragma once

#include <memory>
#include <vector>

#include "surface/host/ae_camera_adaptor.h"
#include "surface/host/ae_light_adaptor.h"

namespace tavrel_test {

// The composition's camera when it has none: at (w/2, h/2, -(w/2)/0.36)
// looking at the comp, as the host reports it.
std::shared_ptr<tavrel::AECameraAdaptor> default_camera(int width, int height);

// The light collection of a composition without light layers.
std::shared_ptr<tavrel::AELightCollectionAdaptor> lights_of_unlit_comp(int width, int height);

// Host ARGB pixels, rows top first: red rises to the right, green to the
// bottom, blue is an 8-pixel checker, alpha 1; no two rows or columns alike,
// so a flip or a shift shows.
std::vector<double> host_image(int width, int height);

// Pixels whose 3 x 3 neighbourhood crosses a checker edge of host_image.
bool on_colour_edge(int x, int y, int width, int height);

}  // namespace tavrel_test
