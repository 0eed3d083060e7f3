#pragma once

#include <stdexcept>
#include <string>

namespace simhost {

// Anything the host cannot do with what it was given: a file that is not a
// plug-in, a property list that does not parse. The text is shown as is.
class SimhostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace simhost
