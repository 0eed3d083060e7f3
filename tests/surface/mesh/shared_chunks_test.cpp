// The surface evaluation's programs read the height map through the engine's
// one displacement chunk, not a copy of their own.
#include <gtest/gtest.h>

#include <string>

#include "engine/shaders/shader_chunks.h"
#include "surface/mesh/tessellation_programs.h"

namespace {

int occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(SurfacePrograms, UseTheSharedDisplacementChunkOnce) {
    for (int kind = 0; kind < 3; ++kind) {
        for (bool height_map : {false, true}) {
            SCOPED_TRACE("kind " + std::to_string(kind) + (height_map ? " with" : " without") + " a height map");
            const std::string& chunk = tavrel::vertex_displacement_chunk(height_map);
            const std::string sources[] = {
                tavrel::parameter_domain_vertex_source(kind, height_map),
                tavrel::subdivision_geometry_source(kind, height_map),
                tavrel::placing_vertex_source(kind, height_map, false),
                tavrel::placing_vertex_source(kind, height_map, true),
            };
            for (const std::string& source : sources) {
                EXPECT_EQ(occurrences(source, chunk), 1);
                EXPECT_EQ(occurrences(source, "float get_disp_channel("), height_map ? 1 : 0);
                EXPECT_EQ(occurrences(source, "uniform float disp_map_bias;"), 1);
            }
        }
    }
}

}  // namespace
