// Host pixels presented to the engine as 2-D array accessors: an effect
// world the host lends for the command, and a host (AEGP) world of the
// effect's own that holds a blurred copy of a layer.
#pragma once

#include <memory>

#include "engine/interfaces/array_accessor.h"
#include "hostapi/host_effect.h"
#include "hostapi/host_world_suites.h"

namespace tavrel {

// The world's depth is learnt from the host's pixel callbacks: a 16-bit
// pointer means 16 bits, else an 8-bit pointer 8 bits, else the world is
// float and its own data pointer is used.
class AePixelData2dAccessor : public I2dArrayAccessor {
public:
    AePixelData2dAccessor(const PF_InData* in_data, PF_EffectWorld* world) : in_data_(in_data), world_(world) {}
    virtual ~AePixelData2dAccessor() = default;

    // A missing basic suite throws the bare long PF_Err_BAD_CALLBACK_PARAM, a
    // failing callback PFErrException.
    ArrayData data() const override;
    uint64_t width() const override { return uint64_t(world_->width); }
    uint64_t height() const override { return uint64_t(world_->height); }
    uint64_t row_bytes() const override { return uint64_t(world_->rowbytes); }
    uint32_t pixel_format() const override { return kFourChannels; }

private:
    const PF_InData* in_data_;
    PF_EffectWorld* world_;
};

class AeWorld2dAccessor : public I2dArrayAccessor {
public:
    // Reads the pixels, size, row bytes and type of the host world.
    static std::shared_ptr<AeWorld2dAccessor> query(const SPBasicSuite* basic, AEGP_WorldH world);
    virtual ~AeWorld2dAccessor() = default;

    ArrayData data() const override { return data_; }
    uint64_t width() const override { return width_; }
    uint64_t height() const override { return height_; }
    uint64_t row_bytes() const override { return row_bytes_; }
    uint32_t pixel_format() const override { return kFourChannels; }
    AEGP_WorldH world() const { return world_; }

private:
    explicit AeWorld2dAccessor(AEGP_WorldH world) : world_(world) {}
    friend struct AEWorldDeleter;

    AEGP_WorldH world_;
    ArrayData data_;
    uint64_t width_ = 0, height_ = 0, row_bytes_ = 0;
};

// Disposes the host world with its accessor. A disposal that fails is
// reported on the debugger output: a deleter must not throw.
struct AEWorldDeleter {
    const SPBasicSuite* basic;
    void operator()(AeWorld2dAccessor* accessor) const;
};

// A host world of the source's depth and size holding a copy of the source,
// blurred by blur_amount times the horizontal downsample factor. The world is
// disposed when the last pointer to its accessor goes.
std::shared_ptr<AeWorld2dAccessor> make_world_copy(AEGP_PluginID plugin_id, const PF_InData* in_data,
                                                   PF_EffectWorld* source, double blur_amount);

}  // namespace tavrel
