#pragma once
// The site's HTML: the ranking with its form, in French.
#include "store.h"

#include <string>
#include <string_view>
#include <vector>

namespace ranking {

// What the form shows again after a refusal.
struct FormState {
    std::string pseudo;
    std::string code;
    std::string error;
};

std::string htmlEscape(std::string_view text);
// "2026-12-07T13:45:12Z"
std::string isoDate(std::int64_t micros);

// The ranking, the form and how to get a code; the row of `highlightKey` is marked.
std::string rankingPage(const std::vector<Entry>& rows, const FormState& form,
                        const std::string& highlightKey);
std::string styleSheet();

} // namespace ranking
