#include "engine/gpu/buffer_requests.h"

#include <GL/glew.h>

#include "engine/gpu/gl_engine.h"
#include "engine/gpu/pbo.h"

namespace tavrel {

std::shared_ptr<PBO> request_index_buffer(GlEngine& engine, uint64_t count) {
    return engine.request_pbo(
        PBODescriptor{GL_ELEMENT_ARRAY_BUFFER, GL_STREAM_DRAW, GL_WRITE_ONLY, count * 4});
}

std::shared_ptr<PBO> request_vertex_buffer(GlEngine& engine, uint64_t count, uint64_t element_size) {
    return engine.request_pbo(
        PBODescriptor{GL_ARRAY_BUFFER, GL_STREAM_DRAW, GL_WRITE_ONLY, count * element_size});
}

}  // namespace tavrel
