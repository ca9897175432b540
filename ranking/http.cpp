#include "http.h"

#include "url_coding.h"

#include <optional>

namespace ranking {
namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && asciiLower(a) == asciiLower(b);
}

// The first value of `name` in "a=1&b=2" pairs.
std::optional<std::string> findPair(std::string_view pairs, std::string_view name) {
    while (!pairs.empty()) {
        const std::size_t amp = pairs.find('&');
        const std::string_view pair = pairs.substr(0, amp);
        pairs = amp == std::string_view::npos ? std::string_view() : pairs.substr(amp + 1);
        const std::size_t eq = pair.find('=');
        if (percentDecode(pair.substr(0, eq), true) != name)
            continue;
        return eq == std::string_view::npos ? std::string()
                                            : percentDecode(pair.substr(eq + 1), true);
    }
    return std::nullopt;
}

std::optional<std::string> findParam(const HttpRequest& r, std::string_view name) {
    if (auto v = findPair(r.query, name))
        return v;
    const std::string type = r.header("content-type");
    if (!equalsIgnoringCase(trimmed(std::string_view(type).substr(0, type.find(';'))),
                            "application/x-www-form-urlencoded"))
        return std::nullopt;
    return findPair(r.body, name);
}

} // namespace

std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return out;
}

std::string HttpRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (key == name)
            return value;
    }
    return {};
}

std::string HttpRequest::param(std::string_view name) const {
    return findParam(*this, name).value_or(std::string());
}

bool HttpRequest::hasParam(std::string_view name) const {
    return findParam(*this, name).has_value();
}

} // namespace ranking
