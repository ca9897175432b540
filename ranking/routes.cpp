#include "routes.h"

#include "log.h"
#include "pages.h"
#include "url_coding.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>

namespace ranking {
namespace {

const char* const kTooMany = "Trop d'envois depuis votre adresse : réessayez dans une minute.";
const char* const kOtherSite = "Envoi refusé : ce formulaire ne s'envoie que depuis la page du "
                               "classement elle-même.";
constexpr const char* kHtml = "text/html; charset=utf-8";

HttpResponse html(int status, std::string body) {
    return {status, kHtml, std::move(body), {}};
}

HttpResponse json(int status, const QJsonValue& body) {
    const QJsonDocument doc =
        body.isArray() ? QJsonDocument(body.toArray()) : QJsonDocument(body.toObject());
    return {status,
            "application/json; charset=utf-8",
            doc.toJson(QJsonDocument::Compact).toStdString(),
            {}};
}

HttpResponse jsonError(int status, const std::string& message) {
    return json(status, QJsonObject{{"erreur", QString::fromStdString(message)}});
}

// The form as typed, shown again as valid UTF-8 whatever was sent.
FormState typedForm(const HttpRequest& req, std::string error) {
    auto typed = [&](const char* field) {
        return QString::fromStdString(req.param(field)).toStdString();
    };
    return {typed("pseudo"), typed("code"), std::move(error)};
}

// A refused form: the form, the error and no table.
HttpResponse refusedForm(int status, const FormState& form) {
    return html(status, rankingPage(nullptr, form));
}

enum class Format { Page, Json, Text };

// The one way from a database failure to a client: logged with the driver's message, and a
// plain French 503 without any detail.
HttpResponse unavailable(const HttpRequest& req, const StoreError& e, Format format) {
    logLine(req.method + " " + req.path + ": " + e.what());
    HttpResponse r =
        format == Format::Json ? jsonError(503, kUnavailable)
        : format == Format::Page
            ? refusedForm(503, typedForm(req, kUnavailable))
            : HttpResponse{503, "text/plain; charset=utf-8", std::string(kUnavailable) + "\n", {}};
    r.headers.emplace_back("Retry-After", "5");
    return r;
}

Route route(const char* method, const char* path, Format format,
            std::function<HttpResponse(const HttpRequest&)> handler) {
    return {method, path, [format, handler = std::move(handler)](const HttpRequest& req) {
                try {
                    return handler(req);
                } catch (const StoreError& e) {
                    return unavailable(req, e, format);
                }
            }};
}

// An address-based limit: clients behind one proxy share it unless the proxy is trusted.
bool limited(RateLimiter& limiter, const HttpRequest& req, HttpResponse& refusal) {
    if (limiter.allow(req.client))
        return false;
    refusal.headers.emplace_back("Retry-After", "60");
    return true;
}

// "example.org" of "https://example.org:8443", "[::1]" of "[::1]:8080".
std::string hostName(std::string_view hostAndPort) {
    const std::size_t colon = hostAndPort.rfind(':');
    const std::size_t bracket = hostAndPort.rfind(']');
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket))
        hostAndPort = hostAndPort.substr(0, colon);
    return asciiLower(hostAndPort);
}

// The form is only ever posted from the site's own page. Ports are not compared: a proxy may
// pass the Host without its port, and another port of the same host is the same site.
bool fromAnotherSite(const HttpRequest& req) {
    const std::string fetchSite = asciiLower(req.header("sec-fetch-site"));
    if (fetchSite == "cross-site" || fetchSite == "same-site")
        return true;
    const std::string origin = req.header("origin");
    if (origin.empty())
        return false;
    const std::size_t scheme = origin.find("://");
    if (scheme == std::string::npos) // "null", from a sandboxed or opaque page among others
        return true;
    return hostName(std::string_view(origin).substr(scheme + 3)) != hostName(req.header("host"));
}

// A whole number from `low` to `high`; nullopt otherwise.
std::optional<std::int64_t> number(const std::string& text, std::int64_t low, std::int64_t high) {
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high)
        return std::nullopt;
    return v;
}

QJsonObject rowJson(const Entry& e, std::int64_t rank) {
    return QJsonObject{{"rang", static_cast<qint64>(rank)},
                       {"pseudo", QString::fromStdString(e.pseudo)},
                       {"score", e.score},
                       {"eligible", e.eligible},
                       {"date", QString::fromStdString(isoDate(e.micros))}};
}

HttpResponse healthz(Service& service) {
    service.check();
    return {200, "text/plain; charset=utf-8", "ok\n", {}};
}

HttpResponse styleSheetRoute() {
    return {200, "text/css; charset=utf-8", styleSheet(), {{"Cache-Control", "max-age=3600"}}};
}

// GET /: page 1; ?page=N (the last page past the end, page 1 for anything not a number);
// ?moi=KEY, where a submission leads: the page holding that row, marked.
HttpResponse showPage(Service& service, const HttpRequest& req) {
    const std::string me = req.param("moi");
    const Page page =
        !me.empty() ? service.pageOf(me)
                    : service.page(number(req.param("page"), 1, INT64_MAX / kPageRows).value_or(1));
    return html(200, rankingPage(&page, {}));
}

// POST / (pseudo, code): 303 to the new row's page, or the form again with the error.
HttpResponse submitForm(Service& service, RateLimiter& limiter, const HttpRequest& req) {
    if (fromAnotherSite(req))
        return refusedForm(403, {{}, {}, kOtherSite});
    HttpResponse refusal = refusedForm(429, typedForm(req, kTooMany));
    if (limited(limiter, req, refusal))
        return refusal;
    const FormState form = typedForm(req, {});
    const Submission s = service.submit(form.pseudo, form.code);
    if (s.verdict == Verdict::Stored)
        return {303, "", "", {{"Location", "/?moi=" + queryEncode(s.key)}}};
    return refusedForm(400, typedForm(req, s.error));
}

// GET /api/classement?rang=R&nombre=N: the rows ranked R to R+N-1 (N at most 100).
HttpResponse listRows(Service& service, const HttpRequest& req) {
    const std::string total = std::to_string(service.total());
    auto param = [&](const char* name, std::int64_t fallback, std::int64_t high) {
        return req.hasParam(name) ? number(req.param(name), 1, high)
                                  : std::optional<std::int64_t>(fallback);
    };
    const std::optional<std::int64_t> first = param("rang", 1, INT64_MAX / 2);
    const std::optional<std::int64_t> count = param("nombre", kMaxApiRows, kMaxApiRows);
    HttpResponse r;
    if (!first || !count) {
        r = jsonError(400, "Paramètres attendus : rang (un entier à partir de 1) et nombre (un "
                           "entier de 1 à " +
                               std::to_string(kMaxApiRows) + ").");
    } else {
        QJsonArray list;
        std::int64_t rank = *first;
        for (const Entry& e : service.rowsFrom(*first, static_cast<int>(*count)))
            list.append(rowJson(e, rank++));
        r = json(200, list);
    }
    r.headers.emplace_back("X-Total-Count", total);
    return r;
}

bool isJson(const HttpRequest& req) {
    const std::string type = asciiLower(req.header("content-type"));
    std::string_view media = std::string_view(type).substr(0, type.find(';'));
    while (!media.empty() && (media.back() == ' ' || media.back() == '\t'))
        media.remove_suffix(1);
    return media == "application/json";
}

// POST /api/scores {"pseudo", "code"}: 201 with the rank, or 400, 409, 415, 429.
HttpResponse submitJson(Service& service, RateLimiter& limiter, const HttpRequest& req) {
    // Another site's page can post text/plain without asking the browser's leave.
    if (!isJson(req))
        return jsonError(415, "Corps attendu en application/json.");
    HttpResponse refusal = jsonError(429, kTooMany);
    if (limited(limiter, req, refusal))
        return refusal;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(req.body));
    const QJsonObject o = doc.object();
    if (!doc.isObject() || !o.value("pseudo").isString() || !o.value("code").isString())
        return jsonError(400,
                         "Corps attendu : un objet JSON {\"pseudo\": \"…\", \"code\": \"…\"}.");
    const Submission s = service.submit(o.value("pseudo").toString().toStdString(),
                                        o.value("code").toString().toStdString());
    switch (s.verdict) {
    case Verdict::Stored:
        return json(201, QJsonObject{{"rang", static_cast<qint64>(s.rank)},
                                     {"score", s.score.answers},
                                     {"eligible", s.score.eligible}});
    case Verdict::NotBetter:
        return jsonError(409, s.error);
    case Verdict::Invalid:
        break;
    }
    return jsonError(400, s.error);
}

} // namespace

std::vector<Route> routes(Service& service, RateLimiter& limiter) {
    Service* sv = &service;
    RateLimiter* rl = &limiter;
    return {
        route("GET", "/healthz", Format::Text, [sv](const HttpRequest&) { return healthz(*sv); }),
        route("GET", "/style.css", Format::Text,
              [](const HttpRequest&) { return styleSheetRoute(); }),
        route("GET", "/", Format::Page, [sv](const HttpRequest& r) { return showPage(*sv, r); }),
        route("POST", "/", Format::Page,
              [sv, rl](const HttpRequest& r) { return submitForm(*sv, *rl, r); }),
        route("GET", "/api/classement", Format::Json,
              [sv](const HttpRequest& r) { return listRows(*sv, r); }),
        route("POST", "/api/scores", Format::Json,
              [sv, rl](const HttpRequest& r) { return submitJson(*sv, *rl, r); }),
    };
}

} // namespace ranking
