#include "pages.h"

#include "data/edition.h"
#include "engine/records.h"
#include "pseudonym.h"

#include <QDateTime>

namespace ranking {

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string isoDate(std::int64_t micros) {
    return QDateTime::fromMSecsSinceEpoch(micros / 1000, Qt::UTC)
        .toString(Qt::ISODate)
        .toStdString();
}

namespace {

std::string shownDate(std::int64_t micros) {
    return QDateTime::fromMSecsSinceEpoch(micros / 1000, Qt::UTC)
        .toString(QStringLiteral("dd/MM/yyyy HH:mm 'UTC'"))
        .toStdString();
}

std::string row(const Entry& e, std::int64_t rank, bool highlighted) {
    std::string s = highlighted ? "<tr class=\"nouveau\">" : "<tr>";
    s += "<td>" + std::to_string(rank) + "</td><td>" + htmlEscape(e.pseudo) + "</td><td>" +
         std::to_string(e.score) + " / " + std::to_string(engine::kQuestions) +
         "</td><td><time datetime=\"" + isoDate(e.micros) + "\">" + shownDate(e.micros) +
         "</time></td></tr>\n";
    return s;
}

std::string pageLink(std::int64_t number, bool active, const char* rel, const char* label) {
    if (!active)
        return std::string("<span class=\"off\">") + label + "</span>";
    return "<a href=\"/?page=" + std::to_string(number) + "\" rel=\"" + rel + "\">" + label +
           "</a>";
}

std::string pager(const Page& p) {
    const bool back = p.number > 1;
    const bool on = p.number < p.count;
    return "<nav class=\"pages\" aria-label=\"Pages du classement\">" +
           pageLink(1, back, "first", "« Première") +
           pageLink(p.number - 1, back, "prev", "‹ Précédente") + "<span>Page " +
           std::to_string(p.number) + " sur " + std::to_string(p.count) + "</span>" +
           pageLink(p.number + 1, on, "next", "Suivante ›") +
           pageLink(p.count, on, "last", "Dernière »") + "</nav>\n";
}

std::string announcement(const Page& p) {
    for (std::size_t i = 0; i < p.rows.size() && !p.marked.empty(); ++i) {
        const Entry& e = p.rows[i];
        if (e.key != p.marked)
            continue;
        const std::int64_t rank = p.firstRank() + static_cast<std::int64_t>(i);
        return "<p class=\"succes\" role=\"status\">« " + htmlEscape(e.pseudo) + " » est classé " +
               std::to_string(rank) + (rank == 1 ? "er" : "e") + " avec " +
               std::to_string(e.score) + " bonne" + (e.score > 1 ? "s" : "") + " réponse" +
               (e.score > 1 ? "s" : "") + (e.eligible ? "" : " (hors concours)") + ".</p>\n";
    }
    return {};
}

std::string table(const Page& p) {
    std::string s = "<table>\n<thead><tr><th>Rang</th><th>Pseudonyme</th><th>Bonnes réponses"
                    "</th><th>Date</th></tr></thead>\n<tbody>\n";
    if (p.rows.empty())
        s += "<tr><td colspan=\"4\" class=\"vide\">Aucun score pour l'instant.</td></tr>\n";
    bool heading = false;
    for (std::size_t i = 0; i < p.rows.size(); ++i) {
        const Entry& e = p.rows[i];
        if (!e.eligible && !heading) {
            s += "<tr class=\"hc\"><th colspan=\"4\">Hors concours</th></tr>\n";
            heading = true;
        }
        s += row(e, p.firstRank() + static_cast<std::int64_t>(i),
                 !p.marked.empty() && e.key == p.marked);
    }
    return s + "</tbody>\n</table>\n";
}

} // namespace

std::string rankingPage(const Page* page, const FormState& form) {
    const std::string title = htmlEscape(edition::title().toUpper().toStdString());
    const std::string site = htmlEscape(edition::siteName().toStdString());
    std::string s;
    s.reserve(4096 + (page ? page->rows.size() * 160 : 0));
    s += "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>"
         "Classement permanent – " +
         htmlEscape(edition::title().toStdString()) +
         "</title>\n<link rel=\"stylesheet\" href=\"/style.css\">\n</head>\n<body>\n"
         "<header><h1>" +
         title + "</h1><p>Classement permanent de " + site +
         "</p></header>\n<main>\n<section class=\"envoi\">\n<h2>Inscrire votre score</h2>\n"
         "<p class=\"aide\">Le code s'affiche dans la fenêtre du jeu, à côté du nombre de "
         "bonnes réponses, et change avec lui. Recopiez-le ici avec le pseudonyme de votre "
         "choix : un meilleur score remplace le précédent.</p>\n";
    if (!form.error.empty())
        s += "<p class=\"erreur\" role=\"alert\">" + htmlEscape(form.error) + "</p>\n";
    if (page)
        s += announcement(*page);
    s += "<form method=\"post\" action=\"/\">\n"
         "<label>Pseudonyme <input name=\"pseudo\" maxlength=\"" +
         std::to_string(kMaxPseudonymLength) + "\" required value=\"" + htmlEscape(form.pseudo) +
         "\"></label>\n<label>Code <input name=\"code\" size=\"8\" required "
         "autocomplete=\"off\" spellcheck=\"false\" value=\"" +
         htmlEscape(form.code) +
         "\"></label>\n<button type=\"submit\">Valider</button>\n</form>\n</section>\n";
    if (page)
        s += pager(*page) + table(*page) + pager(*page);
    else
        s += "<p class=\"retour\"><a href=\"/\">Voir le classement</a></p>\n";
    s += "</main>\n</body>\n</html>\n";
    return s;
}

std::string styleSheet() {
    // The game's header: its blue band and its heavy navy title.
    return R"(body { margin: 0; font-family: "DejaVu Sans", "Lato", sans-serif; font-size: 15px; background: #f0f0f0; color: #000; }
header { background: #8080ff; border-bottom: 1px solid #4040a0; text-align: center; padding: 0.4em 1em 0.5em; }
header h1 { margin: 0; color: #000080; font-family: "Arial Black", "Lato Black", "Lato", sans-serif; font-weight: 900; font-style: italic; font-size: 2.2em; letter-spacing: 0.02em; }
header p { margin: 0.2em 0 0; }
main { max-width: 46em; margin: 1.2em auto; padding: 0 1em; }
h2 { font-size: 1.1em; margin: 0 0 0.4em; }
.envoi { background: #fff; border: 1px solid #4040a0; padding: 0.8em 1em; margin-bottom: 1.2em; }
.aide { margin: 0 0 0.8em; color: #333; }
form { display: flex; flex-wrap: wrap; gap: 0.6em 1em; align-items: end; }
label { display: flex; flex-direction: column; font-weight: bold; font-size: 0.9em; }
input { font: inherit; font-weight: normal; padding: 0.25em 0.4em; margin-top: 0.2em; }
button { font: inherit; font-weight: bold; padding: 0.3em 1.2em; background: #8080ff; border: 1px solid #4040a0; color: #000080; cursor: pointer; }
.succes { background: #00ff00; font-weight: bold; padding: 0.4em 0.6em; margin: 0 0 0.8em; }
.erreur { background: #ff0000; color: #fff; font-weight: bold; padding: 0.4em 0.6em; margin: 0 0 0.8em; }
table { width: 100%; border-collapse: collapse; background: #fff; border: 1px solid #4040a0; }
th, td { padding: 0.3em 0.6em; text-align: left; border-bottom: 1px solid #ddd; }
thead th { background: #8080ff; color: #000080; }
td:first-child, td:nth-child(3) { text-align: right; white-space: nowrap; }
tr.hc th { background: #e0e0f0; font-style: italic; }
tr.nouveau td { background: #00ff00; font-weight: bold; }
td.vide { text-align: center; color: #555; }
nav.pages { display: flex; flex-wrap: wrap; gap: 0.4em 1em; justify-content: center; margin: 0.6em 0; }
nav.pages .off { color: #888; }
)";
}

} // namespace ranking
