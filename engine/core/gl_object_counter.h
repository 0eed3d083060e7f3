// Book-keeping of the GL objects that the engine's wrappers create and
// delete, so that a test can prove an engine leaves nothing behind, and a
// check that GL objects are made and released only on the rendering thread.
//
// The counts are process-wide: names belong to a context, but one library has
// one engine and so one context at a time.
#pragma once

#include <cstdint>
#include <string>

namespace tavrel {

enum class GlObjectKind {
    texture,
    buffer,
    framebuffer,
    render_buffer,
    program,
    shader,
    query,
    display_list,
};

inline constexpr int kGlObjectKindCount = 8;

// The kind's name as tests print it ("texture", "render_buffer", ...).
const char* gl_object_kind_name(GlObjectKind kind);

// Objects of the kind created and not yet deleted.
std::int64_t live_gl_objects(GlObjectKind kind);
// The sum over all kinds.
std::int64_t live_gl_objects();
// "texture 2, program 1" for the kinds with live objects; empty when none.
std::string live_gl_objects_text();

// The thread on which GL objects may be made and released from now on; the
// engine claims its thread when it is built and gives it up when destroyed.
void claim_gl_object_thread();
void release_gl_object_thread();

// Times an object was made or released on a thread other than the claimed one
// while a thread was claimed, in every build type.
std::uint64_t gl_thread_violations();

// True on the claimed thread or while none is claimed. Otherwise counts a
// violation, writes "<what> outside the rendering thread" as a line on the
// debugger output and returns false. For the places that release GL or
// pooled objects, which run inside destructors and cannot throw.
bool check_gl_object_thread(const char* what) noexcept;

// Records n objects made or released (names of 0 are not objects and are
// skipped by the wrappers of gl_objects.h before calling these).
void note_gl_created(GlObjectKind kind, std::int64_t n = 1);
void note_gl_deleted(GlObjectKind kind, std::int64_t n = 1);

}  // namespace tavrel
