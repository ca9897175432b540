#include "site.h"

#include "pages.h"
#include "pseudonym.h"

#include <httplib.h>

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

void json(httplib::Response& res, int status, const QJsonObject& body) {
    res.status = status;
    res.set_content(QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
                    "application/json; charset=utf-8");
}

void jsonError(httplib::Response& res, int status, const std::string& message) {
    json(res, status, QJsonObject{{"erreur", QString::fromStdString(message)}});
}

// Renders the page; a database failure gives a short page and a 503.
void page(httplib::Response& res, Store& store, int status, const FormState& form,
          const std::string& highlight) {
    try {
        res.status = status;
        res.set_content(rankingPage(store.ranking(), form, highlight), "text/html; charset=utf-8");
    } catch (const StoreError& e) {
        logLine(e.what());
        res.status = 503;
        res.set_content(std::string("<!DOCTYPE html><html lang=\"fr\"><meta charset=\"utf-8\">"
                                    "<title>Indisponible</title><p>") +
                            kUnavailable + "</p></html>",
                        "text/html; charset=utf-8");
    }
}

// An address-based limit: clients behind one proxy share it.
bool limited(RateLimiter& limiter, const httplib::Request& req, httplib::Response& res) {
    if (limiter.allow(req.remote_addr))
        return false;
    res.set_header("Retry-After", "60");
    return true;
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
            out.error = "« " + std::string(engine::kCodePlaceholder.data()) +
                        " » signifie qu'aucune réponse n'a encore été trouvée : "
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

void installRoutes(httplib::Server& server, Store& store, const CodeBook& codes,
                   RateLimiter& limiter) {
    server.set_payload_max_length(kMaxBody);
    server.set_default_headers(
        {{"Content-Security-Policy", "default-src 'none'; style-src 'self'; form-action 'self'; "
                                     "frame-ancestors 'none'; base-uri 'none'"},
         {"X-Content-Type-Options", "nosniff"},
         {"Referrer-Policy", "same-origin"}});
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty())
            return;
        const char* text = res.status == 404   ? "Page introuvable."
                           : res.status == 413 ? "Requête trop volumineuse (4 Kio au plus)."
                                               : "Requête refusée.";
        res.set_content(text, "text/plain; charset=utf-8");
    });
    server.set_exception_handler(
        [](const httplib::Request& req, httplib::Response& res, std::exception_ptr ep) {
            std::string what = "unknown exception";
            try {
                std::rethrow_exception(ep);
            } catch (const std::exception& e) {
                what = e.what();
            } catch (...) {
            }
            logLine(req.method + " " + req.path + ": " + what);
            res.status = 500;
            res.set_content("Erreur interne du serveur.", "text/plain; charset=utf-8");
        });

    server.Get("/healthz", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("ok\n", "text/plain");
    });
    server.Get("/style.css", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "max-age=3600");
        res.set_content(styleSheet(), "text/css; charset=utf-8");
    });
    server.Get("/", [&store](const httplib::Request& req, httplib::Response& res) {
        page(res, store, 200, {}, req.get_param_value("moi"));
    });
    server.Post("/", [&](const httplib::Request& req, httplib::Response& res) {
        // Shown again as typed, but as valid UTF-8 whatever was sent.
        auto typed = [&](const char* field) {
            return QString::fromStdString(req.get_param_value(field)).toStdString();
        };
        FormState form{typed("pseudo"), typed("code"), {}};
        if (limited(limiter, req, res)) {
            form.error = kTooMany;
            return page(res, store, 429, form, {});
        }
        const Submission s = submit(store, codes, form.pseudo, form.code);
        if (s.verdict == Verdict::Stored) {
            res.status = 303;
            res.set_header("Location", "/?moi=" + httplib::detail::encode_query_param(s.key));
            return;
        }
        form.error = s.error;
        page(res, store, s.verdict == Verdict::Unavailable ? 503 : 400, form, {});
    });
    server.Get("/api/classement", [&store](const httplib::Request&, httplib::Response& res) {
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
            res.set_content(QJsonDocument(list).toJson(QJsonDocument::Compact).toStdString(),
                            "application/json; charset=utf-8");
        } catch (const StoreError& e) {
            logLine(e.what());
            jsonError(res, 503, kUnavailable);
        }
    });
    server.Post("/api/scores", [&](const httplib::Request& req, httplib::Response& res) {
        if (limited(limiter, req, res))
            return jsonError(res, 429, kTooMany);
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(req.body));
        const QJsonObject o = doc.object();
        if (!doc.isObject() || !o.value("pseudo").isString() || !o.value("code").isString())
            return jsonError(res, 400,
                             "Corps attendu : un objet JSON {\"pseudo\": \"…\", \"code\": \"…\"}.");
        const Submission s = submit(store, codes, o.value("pseudo").toString().toStdString(),
                                    o.value("code").toString().toStdString());
        switch (s.verdict) {
        case Verdict::Stored:
            return json(res, 201,
                        QJsonObject{{"rang", s.rank},
                                    {"score", s.score.answers},
                                    {"eligible", s.score.eligible}});
        case Verdict::Invalid:
            return jsonError(res, 400, s.error);
        case Verdict::NotBetter:
            return jsonError(res, 409, s.error);
        case Verdict::Unavailable:
            return jsonError(res, 503, s.error);
        }
    });
}

} // namespace ranking
