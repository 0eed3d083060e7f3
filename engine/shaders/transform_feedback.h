// Capture of vertex and geometry stage outputs into buffer objects: the set
// of captured varyings, and scoped begin/end pairs for feedback, rasterizer
// discard and the primitives-written query. Each operation uses the NV entry
// points when the driver has them and the EXT ones otherwise, decided at
// each call.
#pragma once

#include <GL/glew.h>

#include <memory>
#include <string>
#include <vector>

namespace tavrel {

// The varyings a program captures, in capture order, interleaved in one buffer.
class TransformFeedback {
public:
    explicit TransformFeedback(std::vector<std::string> varyings);
    // Names in fixed-width slots of 20 characters each, NUL-padded.
    TransformFeedback(const char* first_slot, std::size_t count);

    // Declares the varyings on the program and links it. With the NV entry
    // points the program is linked first and the varyings are given by
    // location (those the linker removed are skipped); with the EXT ones the
    // names are declared before linking.
    void set_varyings(GLuint program) const;

    const std::vector<std::string>& varyings() const { return varyings_; }

private:
    std::vector<std::string> varyings_;
};

// Kind 1: position, texture coordinate, normal, tangent and binormal of the
// surface evaluation; any other kind: the texture coordinate only.
std::shared_ptr<TransformFeedback> make_transform_feedback(int kind);

void bind_feedback_buffer_offset(GLenum target, GLuint index, GLuint buffer, GLintptr offset);

class TransformFeedbackGuard {
public:
    explicit TransformFeedbackGuard(GLenum primitive_mode);
    ~TransformFeedbackGuard();
    TransformFeedbackGuard(const TransformFeedbackGuard&) = delete;
    TransformFeedbackGuard& operator=(const TransformFeedbackGuard&) = delete;
};

class RasterizerDiscardGuard {
public:
    RasterizerDiscardGuard();
    ~RasterizerDiscardGuard();
    RasterizerDiscardGuard(const RasterizerDiscardGuard&) = delete;
    RasterizerDiscardGuard& operator=(const RasterizerDiscardGuard&) = delete;
};

class PrimitivesWrittenQuery {
public:
    explicit PrimitivesWrittenQuery(GLuint query);
    ~PrimitivesWrittenQuery();
    PrimitivesWrittenQuery(const PrimitivesWrittenQuery&) = delete;
    PrimitivesWrittenQuery& operator=(const PrimitivesWrittenQuery&) = delete;
};

}  // namespace tavrel
