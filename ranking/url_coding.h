#pragma once
// Percent-encoding of paths, queries and form bodies.
#include <string>
#include <string_view>

namespace ranking {

// Decodes %XX (a malformed escape is kept as is) and, when plusIsSpace, '+' as a space.
std::string percentDecode(std::string_view text, bool plusIsSpace);
// Encodes all but unreserved characters, for a value in a query.
std::string queryEncode(std::string_view text);

} // namespace ranking
