#include "mod.h"

#include "../error.h"

namespace scrivlet::casemap {

std::string to_lowercase(std::string_view, std::optional<std::string_view>) { throw NotBuiltError("not built yet"); }
std::string to_uppercase(std::string_view, std::optional<std::string_view>) { throw NotBuiltError("not built yet"); }
std::string to_titlecase(std::string_view) { throw NotBuiltError("not built yet"); }
std::string case_fold(std::string_view) { throw NotBuiltError("not built yet"); }
std::string case_fold_simple(std::string_view) { throw NotBuiltError("not built yet"); }
}  // namespace scrivlet::casemap
