#include "engine/shaders/transform_feedback.h"

#include <cstring>

#include "engine/gl/gl_errors.h"

namespace tavrel {

namespace {

// The NV flag as well as the pointers: with glewExperimental off the
// pointers of an absent extension may still resolve to dispatch stubs.
bool nv_varyings_available() {
    return GLEW_NV_transform_feedback && glGetVaryingLocationNV != nullptr &&
           glTransformFeedbackVaryingsNV != nullptr && glActiveVaryingNV != nullptr;
}

bool nv_feedback_available() {
    return GLEW_NV_transform_feedback && glBeginTransformFeedbackNV != nullptr &&
           glEndTransformFeedbackNV != nullptr && glBindBufferOffsetNV != nullptr;
}

constexpr std::size_t kVaryingSlotWidth = 20;

const char kSurfaceVaryings[5][kVaryingSlotWidth] = {
    "out_position", "out_texcoord", "out_normal", "out_tangent", "out_binormal"};

}  // namespace

TransformFeedback::TransformFeedback(std::vector<std::string> varyings) : varyings_(std::move(varyings)) {}

TransformFeedback::TransformFeedback(const char* first_slot, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const char* slot = first_slot + i * kVaryingSlotWidth;
        varyings_.emplace_back(slot, strnlen(slot, kVaryingSlotWidth));
    }
}

void TransformFeedback::set_varyings(GLuint program) const {
    if (nv_varyings_available()) {
        for (const std::string& name : varyings_) {
            glActiveVaryingNV(program, name.c_str());
            TAVREL_CHECK_GL();
        }
        glLinkProgram(program);
        TAVREL_CHECK_GL();
        std::vector<GLint> locations;
        for (const std::string& name : varyings_) {
            const GLint location = glGetVaryingLocationNV(program, name.c_str());
            TAVREL_CHECK_GL();
            if (location != -1) locations.push_back(location);
        }
        if (!locations.empty()) {
            glTransformFeedbackVaryingsNV(program, static_cast<GLsizei>(locations.size()), locations.data(),
                                          GL_INTERLEAVED_ATTRIBS_NV);
            TAVREL_CHECK_GL();
        }
        return;
    }
    std::vector<const GLchar*> names;
    for (const std::string& name : varyings_) names.push_back(name.c_str());
    glTransformFeedbackVaryingsEXT(program, static_cast<GLsizei>(names.size()), names.data(),
                                   GL_INTERLEAVED_ATTRIBS_EXT);
    TAVREL_CHECK_GL();
    glLinkProgram(program);
    TAVREL_CHECK_GL();
}

std::shared_ptr<TransformFeedback> make_transform_feedback(int kind) {
    if (kind == 1) return std::make_shared<TransformFeedback>(kSurfaceVaryings[0], 5);
    return std::make_shared<TransformFeedback>(std::vector<std::string>{"out_texcoord"});
}

void bind_feedback_buffer_offset(GLenum target, GLuint index, GLuint buffer, GLintptr offset) {
    if (nv_feedback_available()) {
        glBindBufferOffsetNV(target, index, buffer, offset);
    } else {
        glBindBufferOffsetEXT(target, index, buffer, offset);
    }
    TAVREL_CHECK_GL();
}

TransformFeedbackGuard::TransformFeedbackGuard(GLenum primitive_mode) {
    if (nv_feedback_available()) {
        glBeginTransformFeedbackNV(primitive_mode);
    } else {
        glBeginTransformFeedbackEXT(primitive_mode);
    }
    TAVREL_CHECK_GL();
}

TransformFeedbackGuard::~TransformFeedbackGuard() {
    if (nv_feedback_available()) {
        glEndTransformFeedbackNV();
    } else {
        glEndTransformFeedbackEXT();
    }
    TAVREL_REPORT_GL();
}

// The NV and EXT enumerants of rasterizer discard and of the query share
// their values.
RasterizerDiscardGuard::RasterizerDiscardGuard() {
    glEnable(GL_RASTERIZER_DISCARD_EXT);
    TAVREL_CHECK_GL();
}

RasterizerDiscardGuard::~RasterizerDiscardGuard() {
    glDisable(GL_RASTERIZER_DISCARD_EXT);
    TAVREL_REPORT_GL();
}

PrimitivesWrittenQuery::PrimitivesWrittenQuery(GLuint query) {
    glBeginQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN_EXT, query);
    TAVREL_CHECK_GL();
}

PrimitivesWrittenQuery::~PrimitivesWrittenQuery() {
    glEndQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN_EXT);
    TAVREL_REPORT_GL();
}

}  // namespace tavrel
