#include "site.h"

#include "pages.h"
#include "pseudonym.h"
#include "url_coding.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <iostream>

namespace ranking {
namespace {

const char* const kUnavailable = "Le classement est momentanément indisponible ; réessayez "
                                 "dans quelques instants.";
const char* const kTooMany = "Trop d'envois depuis votre adresse : réessayez dans une minute.";

std::int64_t nowMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

void logLine(const std::string& what) {
    std::cerr << "dorlo-ranking: " + what + "\n" << std::flush;
}

std::string answers(int n) {
    return n == 1 ? "1 bonne réponse" : std::to_string(n) + " bonnes réponses";
}

HttpResponse json(int status, const QJsonObject& body) {
    return {status,
            "application/json; charset=utf-8",
            QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
            {}};
}

HttpResponse jsonError(int status, const std::string& message) {
    return json(status, QJsonObject{{"erreur", QString::fromStdString(message)}});
}

// Renders the page; a database failure gives a short page and a 503.
HttpResponse page(Store& store, int status, const FormState& form, const std::string& highlight) {
    try {
        return {
            status, "text/html; charset=utf-8", rankingPage(store.ranking(), form, highlight), {}};
    } catch (const StoreError& e) {
        logLine(e.what());
        return {503,
                "text/html; charset=utf-8",
                std::string("<!DOCTYPE html><html lang=\"fr\"><meta charset=\"utf-8\">"
                            "<title>Indisponible</title><p>") +
                    kUnavailable + "</p></html>",
                {}};
    }
}

// An address-based limit: clients behind one proxy share it unless the proxy is trusted.
bool limited(RateLimiter& limiter, const HttpRequest& req) {
    return !limiter.allow(req.client);
}

HttpResponse tooMany(HttpResponse res) {
    res.headers.emplace_back("Retry-After", "60");
    return res;
}

} // namespace

Submission submit(Store& store, const CodeBook& codes, const std::string& pseudo,
                  const std::string& code) {
    Submission out;
    const PseudonymCheck name = checkPseudonym(QString::fromStdString(pseudo));
    if (!name.pseudonym) {
        out.error = name.error.toStdString();
        return out;
    }
    out.key = name.pseudonym->key.toStdString();
    const QString typed = QString::fromStdString(code).trimmed();
    const std::optional<Score> score = codes.lookup(typed);
    if (!score) {
        if (typed.isEmpty())
            out.error = "Indiquez le code affiché dans la fenêtre du jeu.";
        else if (QString(typed).remove(u' ').remove(u'-').isEmpty())
            out.error = "« - - - - - - » signifie qu'aucune réponse n'a encore été trouvée : "
                        "ce n'est pas un code.";
        else
            out.error = "Ce code ne correspond à aucun score : vérifiez-le dans la fenêtre du jeu.";
        return out;
    }
    out.score = *score;
    const Entry entry{out.key, name.pseudonym->shown.toStdString(), score->answers, score->eligible,
                      nowMicros()};
    try {
        const SubmitOutcome result = store.submit(entry);
        if (result.stored) {
            out.verdict = Verdict::Stored;
            out.rank = result.rank;
        } else {
            out.verdict = Verdict::NotBetter;
            out.error = "« " + result.current.pseudo + " » est déjà classé avec " +
                        answers(result.current.score) +
                        (result.current.eligible ? "" : " (hors concours)") +
                        " : seul un meilleur score le remplace.";
        }
    } catch (const StoreError& e) {
        logLine(e.what());
        out.verdict = Verdict::Unavailable;
        out.error = kUnavailable;
    }
    return out;
}

std::vector<Route> routes(Store& store, const CodeBook& codes, RateLimiter& limiter) {
    std::vector<Route> out;
    out.push_back({"GET", "/healthz", [](const HttpRequest&) {
                       return HttpResponse{200, "text/plain", "ok\n", {}};
                   }});
    out.push_back({"GET", "/style.css", [](const HttpRequest&) {
                       return HttpResponse{200,
                                           "text/css; charset=utf-8",
                                           styleSheet(),
                                           {{"Cache-Control", "max-age=3600"}}};
                   }});
    out.push_back({"GET", "/", [&store](const HttpRequest& req) {
                       return page(store, 200, {}, req.param("moi"));
                   }});
    out.push_back(
        {"POST", "/", [&](const HttpRequest& req) {
             // Shown again as typed, but as valid UTF-8 whatever was sent.
             auto typed = [&](const char* field) {
                 return QString::fromStdString(req.param(field)).toStdString();
             };
             FormState form{typed("pseudo"), typed("code"), {}};
             if (limited(limiter, req)) {
                 form.error = kTooMany;
                 return tooMany(page(store, 429, form, {}));
             }
             const Submission s = submit(store, codes, form.pseudo, form.code);
             if (s.verdict == Verdict::Stored)
                 return HttpResponse{303, "", "", {{"Location", "/?moi=" + queryEncode(s.key)}}};
             form.error = s.error;
             return page(store, s.verdict == Verdict::Unavailable ? 503 : 400, form, {});
         }});
    out.push_back(
        {"GET", "/api/classement", [&store](const HttpRequest&) {
             try {
                 QJsonArray list;
                 int rank = 0;
                 for (const Entry& e : store.ranking()) {
                     list.append(QJsonObject{{"rang", ++rank},
                                             {"pseudo", QString::fromStdString(e.pseudo)},
                                             {"score", e.score},
                                             {"eligible", e.eligible},
                                             {"date", QString::fromStdString(isoDate(e.micros))}});
                 }
                 return HttpResponse{
                     200,
                     "application/json; charset=utf-8",
                     QJsonDocument(list).toJson(QJsonDocument::Compact).toStdString(),
                     {}};
             } catch (const StoreError& e) {
                 logLine(e.what());
                 return jsonError(503, kUnavailable);
             }
         }});
    out.push_back(
        {"POST", "/api/scores", [&](const HttpRequest& req) {
             if (limited(limiter, req))
                 return tooMany(jsonError(429, kTooMany));
             const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(req.body));
             const QJsonObject o = doc.object();
             if (!doc.isObject() || !o.value("pseudo").isString() || !o.value("code").isString())
                 return jsonError(400, "Corps attendu : un objet JSON {\"pseudo\": "
                                       "\"…\", \"code\": \"…\"}.");
             const Submission s = submit(store, codes, o.value("pseudo").toString().toStdString(),
                                         o.value("code").toString().toStdString());
             switch (s.verdict) {
             case Verdict::Stored:
                 return json(201, QJsonObject{{"rang", s.rank},
                                              {"score", s.score.answers},
                                              {"eligible", s.score.eligible}});
             case Verdict::Invalid:
                 return jsonError(400, s.error);
             case Verdict::NotBetter:
                 return jsonError(409, s.error);
             case Verdict::Unavailable:
                 break;
             }
             return jsonError(503, s.error);
         }});
    return out;
}

} // namespace ranking
