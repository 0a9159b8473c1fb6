#include "mod.h"

#include "../error.h"

namespace scrivlet::linebreak {

std::vector<BreakAction> line_break_actions(std::string_view) { throw NotBuiltError("not built yet"); }
std::vector<Opportunity> line_break_opportunities(std::string_view) { throw NotBuiltError("not built yet"); }
}  // namespace scrivlet::linebreak
