// Feeds arbitrary text to the scene reader. Every input must load or be
// refused with a SimhostError of the "scene: " form, whose text holds no
// control character and stays short enough to read.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "simhost/scene.h"
#include "simhost/scene_file.h"
#include "simhost/simhost_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    simhost::Scene scene;
    try {
        const simhost::SceneFile file = simhost::load_scene(text, scene);
        // A loaded scene is one a host can render at: its frame time fits.
        if (!(file.time >= -1e6 && file.time <= 1e6)) std::abort();
        for (const auto& k : file.keyframes)
            if (!(k.time >= -1e6 && k.time <= 1e6)) std::abort();
    } catch (const simhost::SimhostError& e) {
        const std::string message = e.what();
        if (message.rfind("scene: ", 0) != 0) std::abort();
        for (char c : message)
            if (static_cast<unsigned char>(c) < 0x20) std::abort();
        if (message.size() > 2000) std::abort();
    }
    return 0;
}
