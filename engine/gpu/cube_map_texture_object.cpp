#include "engine/gpu/cube_map_texture_object.h"

#include <algorithm>

#include "engine/gl/gl_errors.h"
#include "engine/gl/pixel_store_guard.h"
#include "engine/gpu/texture_formats.h"

namespace tavrel {

uint32_t cube_face_size(uint32_t width, uint32_t height) { return std::min(height / 3, width / 4); }

void cube_face_origins(uint32_t width, uint32_t height, CubeFaceOrigin (&origins)[6]) {
    origins[0] = {GL_TEXTURE_CUBE_MAP_POSITIVE_X, width / 2, height / 3};
    origins[1] = {GL_TEXTURE_CUBE_MAP_NEGATIVE_X, 0, height / 3};
    origins[2] = {GL_TEXTURE_CUBE_MAP_POSITIVE_Y, width / 4, 0};
    origins[3] = {GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, width / 4, 2 * height / 3};
    origins[4] = {GL_TEXTURE_CUBE_MAP_POSITIVE_Z, width / 4, height / 3};
    origins[5] = {GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, 3 * width / 4, height / 3};
}

CubeMapTextureObject::CubeMapTextureObject(const TextureDescription& description)
    : TextureObjectBase(description, GL_TEXTURE_CUBE_MAP),
      face_size_(cube_face_size(description.width, description.height)) {
    const GLenum internal_format =
        get_texture_internal_format_for_bpc(description.format_kind, description.channel_layout);

    create([&] {
        CubeFaceOrigin origins[6];
        cube_face_origins(description.width, description.height, origins);
        for (const CubeFaceOrigin& origin : origins) {
            glTexImage2D(origin.face, 0, internal_format, GLsizei(face_size_), GLsizei(face_size_), 0,
                         description.external_format, description.pixel_type, nullptr);
            TAVREL_CHECK_GL();
        }
        // Without it, lookups near a face's edge clamp instead of blending
        // with the neighbouring face and show the seams.
        glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        TAVREL_CHECK_GL();
    });
}

void CubeMapTextureObject::upload_sub_image(GLenum unit, GLint, GLint, GLsizei width,
                                            GLsizei height, GLint row_length, const void*,
                                            uint32_t) {
    bind(unit);
    const TextureDescription& d = description();
    // The pixel size follows the channel layout, so a cross of one or three
    // channels is cut at the right bytes too.
    const uint64_t pixel_size = uint64_t(channels_of_layout(d.channel_layout)) *
                                bytes_per_channel(d.format_kind);
    UnpackStoreGuard unpack(row_length);
    CubeFaceOrigin origins[6];
    cube_face_origins(uint32_t(width), uint32_t(height), origins);
    for (const CubeFaceOrigin& origin : origins) {
        const uint64_t offset = (uint64_t(origin.y) * uint64_t(row_length) + origin.x) * pixel_size;
        glTexSubImage2D(origin.face, 0, 0, 0, GLsizei(face_size_), GLsizei(face_size_),
                        d.external_format, d.pixel_type,
                        reinterpret_cast<const void*>(static_cast<uintptr_t>(offset)));
        TAVREL_CHECK_GL();
    }
}

}  // namespace tavrel
