#include "engine/core/gl_object_counter.h"

#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "engine/core/debug_output.h"

namespace tavrel {

namespace {

std::array<std::atomic<std::int64_t>, kGlObjectKindCount>& live_counts() {
    static std::array<std::atomic<std::int64_t>, kGlObjectKindCount> counts{};
    return counts;
}

std::atomic<std::uint64_t> thread_violations{0};

std::mutex owner_mutex;
bool owner_claimed = false;
std::thread::id owner_thread;

}  // namespace

const char* gl_object_kind_name(GlObjectKind kind) {
    switch (kind) {
        case GlObjectKind::texture: return "texture";
        case GlObjectKind::buffer: return "buffer";
        case GlObjectKind::framebuffer: return "framebuffer";
        case GlObjectKind::render_buffer: return "render_buffer";
        case GlObjectKind::program: return "program";
        case GlObjectKind::shader: return "shader";
        case GlObjectKind::query: return "query";
        case GlObjectKind::display_list: return "display_list";
    }
    return "unknown";
}

std::int64_t live_gl_objects(GlObjectKind kind) { return live_counts()[static_cast<int>(kind)].load(); }

std::int64_t live_gl_objects() {
    std::int64_t sum = 0;
    for (const auto& count : live_counts()) sum += count.load();
    return sum;
}

std::string live_gl_objects_text() {
    std::string text;
    for (int i = 0; i < kGlObjectKindCount; ++i) {
        const std::int64_t n = live_counts()[i].load();
        if (n == 0) continue;
        if (!text.empty()) text += ", ";
        text += gl_object_kind_name(static_cast<GlObjectKind>(i));
        text += " " + std::to_string(n);
    }
    return text;
}

void claim_gl_object_thread() {
    std::lock_guard<std::mutex> lock(owner_mutex);
    owner_claimed = true;
    owner_thread = std::this_thread::get_id();
}

void release_gl_object_thread() {
    std::lock_guard<std::mutex> lock(owner_mutex);
    owner_claimed = false;
    owner_thread = std::thread::id();
}

std::uint64_t gl_thread_violations() { return thread_violations.load(); }

bool check_gl_object_thread(const char* what) noexcept {
    bool wrong_thread = false;
    {
        std::lock_guard<std::mutex> lock(owner_mutex);
        wrong_thread = owner_claimed && std::this_thread::get_id() != owner_thread;
    }
    if (!wrong_thread) return true;
    // A GL object made or released off the rendering thread belongs to no
    // current context there: the name is lost or, worse, someone else's. A
    // pooled object given back there races with the pool's own thread. The
    // check runs in every build, since release builds are where it happens.
    ++thread_violations;
    try {
        debug_print_line(std::string(what) + " outside the rendering thread");
    } catch (...) {
        // The count above still records it.
    }
    return false;
}

void note_gl_created(GlObjectKind kind, std::int64_t n) {
    check_gl_object_thread("GL object created");
    live_counts()[static_cast<int>(kind)] += n;
}

void note_gl_deleted(GlObjectKind kind, std::int64_t n) {
    check_gl_object_thread("GL object deleted");
    live_counts()[static_cast<int>(kind)] -= n;
}

}  // namespace tavrel
