#pragma once
// What a route sees of a request and gives back, whatever carries the bytes.
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ranking {

// Header names, tokens and host names compare without regard to ASCII case.
std::string asciiLower(std::string_view text);

struct HttpRequest {
    std::string method;                                       // "GET", "POST", …
    std::string path;                                         // percent-decoded, without the query
    std::string query;                                        // raw, after '?', "" when none
    std::vector<std::pair<std::string, std::string>> headers; // names in lower case, in order
    std::string body;
    std::string client; // the client's address: the peer's, or what a trusted proxy forwarded

    // The first value of a header (name in lower case); "" when absent.
    std::string header(std::string_view name) const;
    // A parameter from the query, else from an application/x-www-form-urlencoded body,
    // percent- and '+'-decoded; "" when absent.
    std::string param(std::string_view name) const;
    bool hasParam(std::string_view name) const;
};

struct HttpResponse {
    int status = 200;
    std::string contentType; // "" for no body
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers; // besides those the server adds
};

using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

struct Route {
    std::string method; // "GET" also answers HEAD
    std::string path;   // exact match
    HttpHandler handler;
};

} // namespace ranking
