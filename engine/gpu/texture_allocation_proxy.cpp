#include "engine/gpu/texture_allocation_proxy.h"

#include "engine/gpu/cube_map_texture_object.h"

namespace tavrel {

namespace {

std::shared_ptr<ITextureObject> make_texture(const TextureDescription& description) {
    if (description.target == GL_TEXTURE_CUBE_MAP) {
        return std::make_shared<CubeMapTextureObject>(description);
    }
    return std::make_shared<TextureObject>(description);
}

}  // namespace

TextureAllocationProxy::TextureAllocationProxy(const TextureDescription& description)
    : texture_(make_texture(description)) {}

}  // namespace tavrel
