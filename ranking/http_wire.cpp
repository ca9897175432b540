#include "http_wire.h"

#include "http.h"

#include <cstdio>
#include <ctime>

namespace ranking {
namespace {

const char* reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 303:
        return "See Other";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 409:
        return "Conflict";
    case 413:
        return "Payload Too Large";
    case 415:
        return "Unsupported Media Type";
    case 429:
        return "Too Many Requests";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return status < 400 ? "OK" : "Error";
    }
}

const char* frenchText(int status) {
    switch (status) {
    case 404:
        return "Page introuvable.";
    case 405:
        return "Méthode non autorisée.";
    case 413:
        return "Requête trop volumineuse (4 Kio au plus).";
    case 431:
        return "En-têtes de requête trop volumineux.";
    case 500:
        return "Erreur interne du serveur.";
    default:
        return "Requête refusée.";
    }
}

// IMF-fixdate, spelled out so that no locale can change it.
std::string httpDate() {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    gmtime_r(&now, &t);
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[t.tm_wday],
                  t.tm_mday, kMonths[t.tm_mon], t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

// A handler's header, unless it would break the framing or repeat one the server sets.
bool safeHeader(const std::string& name, const std::string& value) {
    const std::string lower = asciiLower(name);
    for (const char* own : {"date", "content-type", "content-length", "connection",
                            "transfer-encoding", "content-encoding"}) {
        if (lower == own)
            return false;
    }
    return !name.empty() && name.find_first_of(": \t\r\n") == std::string::npos &&
           value.find_first_of("\r\n") == std::string::npos;
}

} // namespace

HttpResponse plainAnswer(int status) {
    return {status, "text/plain; charset=utf-8", frenchText(status), {}};
}

std::string serialize(HttpResponse r, bool head, bool keepAlive) {
    if (r.status >= 400 && r.body.empty()) {
        r.contentType = "text/plain; charset=utf-8";
        r.body = frenchText(r.status);
    }
    std::string out = "HTTP/1.1 " + std::to_string(r.status) + " " + reason(r.status) + "\r\n";
    auto add = [&out](const std::string& name, const std::string& value) {
        out += name;
        out += ": ";
        out += value;
        out += "\r\n";
    };
    add("Date", httpDate());
    add("Content-Security-Policy", "default-src 'none'; style-src 'self'; form-action 'self'; "
                                   "frame-ancestors 'none'; base-uri 'none'");
    add("X-Content-Type-Options", "nosniff");
    add("Referrer-Policy", "same-origin");
    for (const auto& [name, value] : r.headers) {
        if (safeHeader(name, value))
            add(name, value);
    }
    if (!r.contentType.empty())
        add("Content-Type", r.contentType);
    add("Content-Length", std::to_string(r.body.size()));
    add("Connection", keepAlive ? "keep-alive" : "close");
    out += "\r\n";
    if (!head)
        out += r.body;
    return out;
}

} // namespace ranking
