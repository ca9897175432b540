#pragma once
// The site's HTML: the ranking with its form, in French.
#include "service.h"

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

// The form, how to get a code, and a page of the ranking with its pager (its marked row
// announced); without a page, as after a refusal, a link to the ranking instead.
std::string rankingPage(const Page* page, const FormState& form);
std::string styleSheet();

} // namespace ranking
