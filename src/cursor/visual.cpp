#include "mod.h"

#include "../error.h"

namespace scrivlet::cursor {

std::uint64_t move_left_visual(std::string_view, std::uint64_t) { throw NotBuiltError("not built yet"); }
std::uint64_t move_right_visual(std::string_view, std::uint64_t) { throw NotBuiltError("not built yet"); }
}  // namespace scrivlet::cursor
