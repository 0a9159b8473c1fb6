// The core's one exception type: an invariant breach that no input should
// produce. The binding turns it (and every other exception) into PanicException.
#pragma once

#include <stdexcept>
#include <string>

namespace scrivlet {

class InvariantError : public std::logic_error {
public:
    explicit InvariantError(const std::string& what) : std::logic_error(what) {}
};

}  // namespace scrivlet
