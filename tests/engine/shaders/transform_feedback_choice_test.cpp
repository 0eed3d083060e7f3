// The choice between the NV and EXT transform-feedback entry points, seen
// through recording stand-ins put in place of the loader's pointers. This
// driver has only the EXT entry points, so the NV path is exercised this way.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <map>
#include <string>
#include <vector>

#include "engine/shaders/transform_feedback.h"
#include "tests/engine/shared_engine.h"

namespace {

std::vector<std::string>& calls() {
    static std::vector<std::string> log;
    return log;
}
std::map<std::string, GLint>& locations() {
    static std::map<std::string, GLint> l;
    return l;
}

void GLAPIENTRY fake_active_varying_nv(GLuint, const GLchar* name) { calls().push_back(std::string("active ") + name); }
GLint GLAPIENTRY fake_get_varying_location_nv(GLuint, const GLchar* name) {
    calls().push_back(std::string("location ") + name);
    auto it = locations().find(name);
    return it == locations().end() ? -1 : it->second;
}
void GLAPIENTRY fake_varyings_nv(GLuint, GLsizei count, const GLint* locs, GLenum mode) {
    std::string s = "varyings nv";
    for (GLsizei i = 0; i < count; ++i) s += " " + std::to_string(locs[i]);
    if (mode == GL_INTERLEAVED_ATTRIBS_NV) s += " interleaved";
    calls().push_back(s);
}
void GLAPIENTRY fake_varyings_ext(GLuint, GLsizei count, const GLchar* const* names, GLenum mode) {
    std::string s = "varyings ext";
    for (GLsizei i = 0; i < count; ++i) s += std::string(" ") + names[i];
    if (mode == GL_INTERLEAVED_ATTRIBS_EXT) s += " interleaved";
    calls().push_back(s);
}
void GLAPIENTRY fake_link(GLuint) { calls().push_back("link"); }
void GLAPIENTRY fake_bind_offset_nv(GLenum, GLuint index, GLuint buffer, GLintptr offset) {
    calls().push_back("bind nv " + std::to_string(index) + " " + std::to_string(buffer) + " " + std::to_string(offset));
}
void GLAPIENTRY fake_begin_nv(GLenum mode) { calls().push_back("begin nv " + std::to_string(mode)); }
void GLAPIENTRY fake_end_nv() { calls().push_back("end nv"); }

// Puts the stand-ins in place and the loader's own values back afterwards.
class FakeEntryPoints {
public:
    explicit FakeEntryPoints(bool nv) {
        calls().clear();
        __GLEW_NV_transform_feedback = nv ? GL_TRUE : GL_FALSE;
        if (nv) {
            __glewActiveVaryingNV = fake_active_varying_nv;
            __glewGetVaryingLocationNV = fake_get_varying_location_nv;
            __glewTransformFeedbackVaryingsNV = fake_varyings_nv;
            __glewBindBufferOffsetNV = fake_bind_offset_nv;
            __glewBeginTransformFeedbackNV = fake_begin_nv;
            __glewEndTransformFeedbackNV = fake_end_nv;
        }
        __glewTransformFeedbackVaryingsEXT = fake_varyings_ext;
        __glewLinkProgram = fake_link;
    }
    ~FakeEntryPoints() {
        __GLEW_NV_transform_feedback = flag_;
        __glewActiveVaryingNV = active_;
        __glewGetVaryingLocationNV = location_;
        __glewTransformFeedbackVaryingsNV = varyings_nv_;
        __glewBindBufferOffsetNV = bind_nv_;
        __glewBeginTransformFeedbackNV = begin_nv_;
        __glewEndTransformFeedbackNV = end_nv_;
        __glewTransformFeedbackVaryingsEXT = varyings_ext_;
        __glewLinkProgram = link_;
    }
    FakeEntryPoints(const FakeEntryPoints&) = delete;
    FakeEntryPoints& operator=(const FakeEntryPoints&) = delete;

private:
    GLboolean flag_ = __GLEW_NV_transform_feedback;
    PFNGLACTIVEVARYINGNVPROC active_ = __glewActiveVaryingNV;
    PFNGLGETVARYINGLOCATIONNVPROC location_ = __glewGetVaryingLocationNV;
    PFNGLTRANSFORMFEEDBACKVARYINGSNVPROC varyings_nv_ = __glewTransformFeedbackVaryingsNV;
    PFNGLBINDBUFFEROFFSETNVPROC bind_nv_ = __glewBindBufferOffsetNV;
    PFNGLBEGINTRANSFORMFEEDBACKNVPROC begin_nv_ = __glewBeginTransformFeedbackNV;
    PFNGLENDTRANSFORMFEEDBACKNVPROC end_nv_ = __glewEndTransformFeedbackNV;
    PFNGLTRANSFORMFEEDBACKVARYINGSEXTPROC varyings_ext_ = __glewTransformFeedbackVaryingsEXT;
    PFNGLLINKPROGRAMPROC link_ = __glewLinkProgram;
};

TEST(TransformFeedbackChoice, EachDriverKindDeclaresItsWay) {
    struct Case {
        std::string name;
        bool nv;
        std::map<std::string, GLint> locations;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"EXT: names before linking", false, {},
         {"varyings ext out_position out_texcoord out_normal out_tangent out_binormal interleaved", "link"}},
        {"NV: linked first, then by location",
         true,
         {{"out_position", 4}, {"out_texcoord", 7}, {"out_normal", 1}, {"out_tangent", 2}, {"out_binormal", 3}},
         {"active out_position", "active out_texcoord", "active out_normal", "active out_tangent",
          "active out_binormal", "link", "location out_position", "location out_texcoord", "location out_normal",
          "location out_tangent", "location out_binormal", "varyings nv 4 7 1 2 3 interleaved"}},
        {"NV: a removed varying is skipped",
         true,
         {{"out_position", 0}, {"out_normal", 5}},
         {"active out_position", "active out_texcoord", "active out_normal", "active out_tangent",
          "active out_binormal", "link", "location out_position", "location out_texcoord", "location out_normal",
          "location out_tangent", "location out_binormal", "varyings nv 0 5 interleaved"}},
        {"NV: none left, no varyings call",
         true,
         {},
         {"active out_position", "active out_texcoord", "active out_normal", "active out_tangent",
          "active out_binormal", "link", "location out_position", "location out_texcoord", "location out_normal",
          "location out_tangent", "location out_binormal"}},
    };
    tavrel_test::run_on_engine([&cases](tavrel::GlEngine&) {
        const auto feedback = tavrel::make_transform_feedback(1);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            std::vector<std::string> seen;
            {
                FakeEntryPoints fakes(c.nv);
                locations() = c.locations;
                feedback->set_varyings(0);
                seen = calls();
            }
            EXPECT_EQ(seen, c.expected);
        }
    });
}

TEST(TransformFeedbackChoice, BindingAndTheGuardFollowTheDriver) {
    tavrel_test::run_on_engine([](tavrel::GlEngine&) {
        std::vector<std::string> seen;
        {
            FakeEntryPoints fakes(true);
            tavrel::bind_feedback_buffer_offset(GL_TRANSFORM_FEEDBACK_BUFFER_NV, 0, 42, 336);
            { tavrel::TransformFeedbackGuard guard(GL_TRIANGLES); }
            seen = calls();
        }
        EXPECT_EQ(seen, (std::vector<std::string>{"bind nv 0 42 336", "begin nv 4", "end nv"}));
        // Without the NV flag the same pointers are not trusted.
        {
            FakeEntryPoints fakes(false);
            __glewBeginTransformFeedbackNV = fake_begin_nv;
            __glewEndTransformFeedbackNV = fake_end_nv;
            __glewBindBufferOffsetNV = fake_bind_offset_nv;
            EXPECT_FALSE(GLEW_NV_transform_feedback);
            // The real EXT call with no buffer bound to the point: nothing to
            // capture into, so only the binding is exercised.
            tavrel::bind_feedback_buffer_offset(GL_TRANSFORM_FEEDBACK_BUFFER_EXT, 0, 0, 0);
            seen = calls();
        }
        EXPECT_TRUE(seen.empty());
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

}  // namespace
