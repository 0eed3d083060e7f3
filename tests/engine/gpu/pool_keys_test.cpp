// The orders of the pool keys: which field decides first, and whether a 32-bit
// field compares signed or unsigned.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/gpu/accumulation_key.h"
#include "engine/gpu/dual_peeling_key.h"
#include "engine/gpu/pbo_descriptor.h"
#include "engine/gpu/render_buffer_descriptor.h"
#include "engine/gpu/render_target_descriptor.h"
#include "engine/gpu/renderer_description.h"
#include "engine/gpu/texture_description.h"

namespace tavrel {
namespace {

enum class Compare { Signed32, Unsigned32, Unsigned64 };

template <typename Key>
struct Field {
    std::string name;
    std::function<void(Key&, uint64_t)> set;
    Compare compare;
};

template <typename Key>
bool equivalent(const Key& a, const Key& b) {
    return !(a < b) && !(b < a);
}

// For each field in turn, with all earlier fields equal: the field decides
// against every later one (which are set the other way round), and its
// highest bit pattern sorts first when it compares signed, last otherwise.
template <typename Key>
void check_order(const std::vector<Field<Key>>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        SCOPED_TRACE(fields[i].name);
        Key a{}, b{};
        for (std::size_t j = i + 1; j < fields.size(); ++j) {
            fields[j].set(a, 5);
            fields[j].set(b, 1);
        }
        fields[i].set(a, 1);
        fields[i].set(b, 2);
        EXPECT_TRUE(a < b);
        EXPECT_FALSE(b < a);

        const uint64_t all_ones = fields[i].compare == Compare::Unsigned64 ? UINT64_MAX : UINT32_MAX;
        fields[i].set(a, all_ones);
        fields[i].set(b, 0);
        if (fields[i].compare == Compare::Signed32) {
            EXPECT_TRUE(a < b) << "compares as signed";
            EXPECT_FALSE(b < a);
        } else {
            EXPECT_TRUE(b < a) << "compares as unsigned";
            EXPECT_FALSE(a < b);
        }

        fields[i].set(b, all_ones);
        for (std::size_t j = i + 1; j < fields.size(); ++j) fields[j].set(b, 5);
        EXPECT_TRUE(equivalent(a, b));
    }
}

#define TAVREL_FIELD(Key, member, compare) \
    Field<Key> { #member, [](Key& k, uint64_t v) { k.member = decltype(k.member)(v); }, compare }

template <typename Key>
std::vector<Field<Key>> texture_fields() {
    // Reached through the key's `texture` member, or the key itself.
    auto tex = [](Key& k) -> TextureDescription& {
        if constexpr (std::is_same_v<Key, TextureDescription>) {
            return k;
        } else {
            return k.texture;
        }
    };
    auto field = [tex](const char* name, uint32_t TextureDescription::*member, Compare c) {
        return Field<Key>{name, [tex, member](Key& k, uint64_t v) { tex(k).*member = uint32_t(v); },
                          c};
    };
    using TD = TextureDescription;
    return {field("width", &TD::width, Compare::Signed32),
            field("height", &TD::height, Compare::Signed32),
            field("pixel_type", &TD::pixel_type, Compare::Unsigned32),
            field("external_format", &TD::external_format, Compare::Unsigned32),
            field("format_kind", &TD::format_kind, Compare::Signed32),
            field("channel_layout", &TD::channel_layout, Compare::Signed32),
            field("target", &TD::target, Compare::Unsigned32),
            field("filter", &TD::filter, Compare::Signed32),
            field("wrap_mode", &TD::wrap_mode, Compare::Unsigned32)};
}

TEST(PoolKeys, TextureDescriptionOrder) { check_order(texture_fields<TextureDescription>()); }

TEST(PoolKeys, RenderTargetDescriptorOrder) {
    std::vector<Field<RenderTargetDescriptor>> fields = {
        TAVREL_FIELD(RenderTargetDescriptor, colour_attachment_count, Compare::Unsigned32)};
    for (auto& f : texture_fields<RenderTargetDescriptor>()) fields.push_back(f);
    check_order(fields);
}

TEST(PoolKeys, RenderTargetsWithOtherAttachmentCountsAreOtherKeys) {
    RenderTargetDescriptor one;
    one.texture.width = 64;
    one.texture.height = 32;
    RenderTargetDescriptor three = one;
    three.colour_attachment_count = 3;
    EXPECT_FALSE(equivalent(one, three));
    EXPECT_TRUE(one < three);
}

TEST(PoolKeys, RenderBufferDescriptorOrder) {
    check_order<RenderBufferDescriptor>({
        TAVREL_FIELD(RenderBufferDescriptor, width, Compare::Unsigned64),
        TAVREL_FIELD(RenderBufferDescriptor, height, Compare::Unsigned64),
        TAVREL_FIELD(RenderBufferDescriptor, format, Compare::Signed32),
        TAVREL_FIELD(RenderBufferDescriptor, samples, Compare::Unsigned32),
    });
}

TEST(PoolKeys, PBODescriptorOrder) {
    check_order<PBODescriptor>({
        TAVREL_FIELD(PBODescriptor, size, Compare::Unsigned64),
        TAVREL_FIELD(PBODescriptor, access, Compare::Unsigned32),
        TAVREL_FIELD(PBODescriptor, target, Compare::Unsigned32),
        TAVREL_FIELD(PBODescriptor, usage, Compare::Unsigned32),
    });
}

TEST(PoolKeys, DualPeelingKeyOrder) {
    check_order<DualPeelingKey>({
        TAVREL_FIELD(DualPeelingKey, width, Compare::Unsigned64),
        TAVREL_FIELD(DualPeelingKey, height, Compare::Unsigned64),
        TAVREL_FIELD(DualPeelingKey, format_kind, Compare::Signed32),
    });
}

TEST(PoolKeys, AccumulationKeyOrder) {
    check_order<AccumulationKey>({
        TAVREL_FIELD(AccumulationKey, width, Compare::Unsigned64),
        TAVREL_FIELD(AccumulationKey, height, Compare::Unsigned64),
    });
}

RendererDescription with(std::function<void(RendererDescription&)> change) {
    RendererDescription d;
    change(d);
    return d;
}

TEST(PoolKeys, RendererDescriptionOrder) {
    using D = RendererDescription;
    struct Case {
        const char* name;
        D lower;
        D higher;
    };
    // Each pair differs in one field, or in one field decisive over a later
    // one that is set the other way round.
    const Case cases[] = {
        {"format kind", with([](D& d) { d.format_kind = 0; d.multiply_height_map_alpha = true; }),
         with([](D& d) { d.format_kind = 1; })},
        {"format kind signed", with([](D& d) { d.format_kind = UINT32_MAX; }),
         with([](D& d) { d.format_kind = 0; })},
        {"height-map alpha false first", with([](D& d) { d.projective_texture = true; }),
         with([](D& d) { d.multiply_height_map_alpha = true; })},
        {"projective texture false first", with([](D& d) { d.peeling_layers = 4; }),
         with([](D& d) { d.projective_texture = true; })},
        {"peeling absent first", with([](D& d) { d.render_mode = 3; }),
         with([](D& d) { d.peeling_layers = 0; })},
        {"peeling absent before unlimited", with([](D&) {}),
         with([](D& d) { d.peeling_layers = UINT32_MAX; })},
        {"peeling count signed", with([](D& d) { d.peeling_layers = UINT32_MAX; d.render_mode = 3; }),
         with([](D& d) { d.peeling_layers = 2; })},
        {"peeling count", with([](D& d) { d.peeling_layers = 2; d.render_mode = 3; }),
         with([](D& d) { d.peeling_layers = 3; })},
        {"render mode", with([](D& d) { d.render_mode = 0; d.antialiasing_samples = 8; }),
         with([](D& d) { d.render_mode = 3; })},
        {"render mode signed", with([](D& d) { d.render_mode = UINT32_MAX; }),
         with([](D& d) { d.render_mode = 0; })},
        {"antialiasing samples", with([](D& d) { d.antialiasing_samples = 4; d.lens_samples = 1; }),
         with([](D& d) { d.antialiasing_samples = 8; })},
        {"antialiasing samples unsigned", with([](D& d) { d.antialiasing_samples = 0; }),
         with([](D& d) { d.antialiasing_samples = UINT32_MAX; })},
        {"no view samples first", with([](D& d) { d.depth_only = true; }),
         with([](D& d) { d.subpixel_samples = 1; })},
        {"lens samples count as view samples", with([](D&) {}),
         with([](D& d) { d.lens_samples = 1; })},
        {"depth only last", with([](D&) {}), with([](D& d) { d.depth_only = true; })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(c.lower < c.higher);
        EXPECT_FALSE(c.higher < c.lower);
    }
}

TEST(PoolKeys, RendererDescriptionsSharingAKey) {
    using D = RendererDescription;
    struct Case {
        const char* name;
        D a;
        D b;
    };
    static GlEngine* const some_engine = reinterpret_cast<GlEngine*>(uintptr_t(0x1000));
    const Case cases[] = {
        {"other lens and sub-pixel counts",
         with([](D& d) { d.lens_samples = 4; d.subpixel_samples = 0; }),
         with([](D& d) { d.lens_samples = 0; d.subpixel_samples = 16; })},
        {"other lens counts", with([](D& d) { d.lens_samples = 2; d.subpixel_samples = 3; }),
         with([](D& d) { d.lens_samples = 66; d.subpixel_samples = 3; })},
        {"other engine", with([](D& d) { d.engine = nullptr; }),
         with([](D& d) { d.engine = some_engine; })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(equivalent(c.a, c.b));
    }
}

}  // namespace
}  // namespace tavrel
