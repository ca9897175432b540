#include "site.h"

#include <httplib.h>

namespace ranking {
namespace {

std::string decoded(const std::string& s) {
    return httplib::detail::decode_url(s, true);
}

bool find(const std::string& pairs, std::string_view name, std::string* value) {
    std::size_t at = 0;
    while (at <= pairs.size()) {
        std::size_t end = pairs.find('&', at);
        if (end == std::string::npos)
            end = pairs.size();
        const std::string pair = pairs.substr(at, end - at);
        const std::size_t eq = pair.find('=');
        if (decoded(pair.substr(0, eq)) == name) {
            if (value)
                *value = eq == std::string::npos ? "" : decoded(pair.substr(eq + 1));
            return true;
        }
        at = end + 1;
    }
    return false;
}

std::string formBody(const HttpRequest& r) {
    return r.header("content-type").starts_with("application/x-www-form-urlencoded") ? r.body : "";
}

} // namespace

std::string HttpRequest::header(std::string_view name) const {
    for (const auto& [k, v] : headers) {
        if (k == name)
            return v;
    }
    return {};
}

std::string HttpRequest::param(std::string_view name) const {
    std::string v;
    if (!find(query, name, &v))
        find(formBody(*this), name, &v);
    return v;
}

bool HttpRequest::hasParam(std::string_view name) const {
    return find(query, name, nullptr) || find(formBody(*this), name, nullptr);
}

void installRoutes(httplib::Server& server, const std::vector<Route>& routes) {
    server.set_payload_max_length(kMaxBody);
    server.set_default_headers(
        {{"Content-Security-Policy", "default-src 'none'; style-src 'self'; form-action 'self'; "
                                     "frame-ancestors 'none'; base-uri 'none'"},
         {"X-Content-Type-Options", "nosniff"},
         {"Referrer-Policy", "same-origin"}});
    for (const Route& route : routes) {
        auto handler = [h = route.handler](const httplib::Request& req, httplib::Response& res) {
            HttpRequest r;
            r.method = req.method;
            r.path = req.path;
            const std::size_t q = req.target.find('?');
            r.query = q == std::string::npos ? "" : req.target.substr(q + 1);
            for (const auto& [k, v] : req.headers) {
                std::string name = k;
                for (char& c : name)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                r.headers.emplace_back(name, v);
            }
            r.body = req.body;
            r.client = req.remote_addr;
            const HttpResponse out = h(r);
            res.status = out.status;
            for (const auto& [k, v] : out.headers)
                res.set_header(k, v);
            if (!out.contentType.empty())
                res.set_content(out.body, out.contentType);
        };
        if (route.method == "GET")
            server.Get(route.path, handler);
        else
            server.Post(route.path, handler);
    }
}

} // namespace ranking
