// Something that is made current for drawing and let go again.
#pragma once

namespace tavrel {

class IBindable {
public:
    virtual ~IBindable() = default;
    virtual void bind() = 0;
    virtual void unbind() = 0;
};

}  // namespace tavrel
