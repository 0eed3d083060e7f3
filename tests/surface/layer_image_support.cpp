#include "tests/surface/layer_image_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "simhost/host.h"

namespace tavrel_test {

using namespace tavrel;

std::shared_ptr<AECameraAdaptor> default_camera(int width, int height) {
    simhost::Host host;
    host.scene().set_comp(width, height);
    std::unique_ptr<AECameraWrapper> wrapper;
    const PF_Err err = host.call_with([&](PF_InData* in, PF_OutData*) -> PF_Err {
                               wrapper = std::make_unique<AECameraWrapper>(in, 7);
                               return PF_Err_NONE;
                           })
                           .err;
    EXPECT_EQ(err, PF_Err_NONE);
    return std::make_shared<AECameraAdaptor>(*wrapper);
}

std::shared_ptr<AELightCollectionAdaptor> lights_of_unlit_comp(int width, int height) {
    simhost::Host host;
    host.scene().set_comp(width, height);
    std::shared_ptr<AELightCollectionAdaptor> lights;
    const PF_Err err = host.call_with([&](PF_InData* in, PF_OutData*) -> PF_Err {
                               const AELightArray array(in, 7);
                               lights = std::make_shared<AELightCollectionAdaptor>(array, 0.0, 0.0);
                               return PF_Err_NONE;
                           })
                           .err;
    EXPECT_EQ(err, PF_Err_NONE);
    return lights;
}

std::vector<double> host_image(int width, int height) {
    std::vector<double> argb(std::size_t(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double* p = &argb[(std::size_t(y) * width + x) * 4];
            p[0] = 1.0;
            p[1] = (x + 0.5) / width;
            p[2] = (y + 0.5) / height;
            p[3] = ((x / 8 + y / 8) % 2) ? 0.9 : 0.1;
        }
    return argb;
}

bool on_colour_edge(int x, int y, int width, int height) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int xx = std::min(std::max(x + dx, 0), width - 1);
            const int yy = std::min(std::max(y + dy, 0), height - 1);
            if ((xx / 8 + yy / 8) % 2 != (x / 8 + y / 8) % 2) return true;
        }
    return false;
}

}  // namespace tavrel_test
