#include "word.h"

#include "../error.h"

namespace scrivlet::segment {

std::vector<std::uint64_t> word_boundary_offsets(std::string_view) { throw NotBuiltError("not built yet"); }
}  // namespace scrivlet::segment
