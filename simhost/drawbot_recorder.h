// A drawing surface that records every call of the Drawbot suites as a line
// of text, and keeps count of the objects the effect has not released.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "hostapi/host_drawbot.h"

namespace simhost {

class DrawbotRecorder {
public:
    DrawbotRecorder();
    ~DrawbotRecorder();

    static const DRAWBOT_DrawbotSuite1& draw_suite();
    static const DRAWBOT_SupplierSuite1& supplier_suite();
    static const DRAWBOT_SurfaceSuite1& surface_suite();
    static const DRAWBOT_PathSuite1& path_suite();

    // The reference a drawing context hands out.
    DRAWBOT_DrawRef draw_ref();

    std::vector<std::string> log() const;
    void clear_log();
    // "pen3 not released" for each object still alive.
    std::vector<std::string> unreleased() const;

    // Used by the suite functions.
    void* new_object(const std::string& kind, const std::string& detail);
    bool is_live(const void* object, const char* kind) const;
    std::string name_of(const void* object) const;
    bool release(const void* object);
    void record(const std::string& line);

private:
    mutable std::mutex mutex_;
    std::vector<std::string> log_;
    std::map<const void*, std::string> live_;
    std::map<std::string, void*> by_name_;
    int next_id_ = 1;
    int draw_token_ = 0, supplier_token_ = 0, surface_token_ = 0;

public:
    const void* supplier_ref() const { return &supplier_token_; }
    const void* surface_ref() const { return &surface_token_; }
};

}  // namespace simhost
