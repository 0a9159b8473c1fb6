#include "sentence.h"

#include "../error.h"

namespace scrivlet::segment {

std::vector<std::uint64_t> sentence_boundaries(std::string_view) { throw NotBuiltError("not built yet"); }
}  // namespace scrivlet::segment
