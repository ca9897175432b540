#include "pages.h"

#include "data/edition.h"

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

std::string row(const Entry& e, int rank, bool highlighted) {
    std::string s = highlighted ? "<tr class=\"nouveau\">" : "<tr>";
    s += "<td>" + std::to_string(rank) + "</td><td>" + htmlEscape(e.pseudo) + "</td><td>" +
         std::to_string(e.score) + " / 30</td><td><time datetime=\"" + isoDate(e.micros) + "\">" +
         shownDate(e.micros) + "</time></td></tr>\n";
    return s;
}

} // namespace

std::string rankingPage(const std::vector<Entry>& rows, const FormState& form,
                        const std::string& highlightKey) {
    const std::string title = htmlEscape(edition::title().toUpper().toStdString());
    const std::string site = htmlEscape(edition::siteName().toStdString());
    std::string s;
    s.reserve(2048 + rows.size() * 160);
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
    for (std::size_t i = 0; i < rows.size() && !highlightKey.empty(); ++i) {
        if (rows[i].key == highlightKey) {
            s += "<p class=\"succes\" role=\"status\">« " + htmlEscape(rows[i].pseudo) +
                 " » est classé " + std::to_string(i + 1) + (i == 0 ? "er" : "e") + " avec " +
                 std::to_string(rows[i].score) + " bonne" + (rows[i].score > 1 ? "s" : "") +
                 " réponse" + (rows[i].score > 1 ? "s" : "") +
                 (rows[i].eligible ? "" : " (hors concours)") + ".</p>\n";
        }
    }
    s += "<form method=\"post\" action=\"/\">\n"
         "<label>Pseudonyme <input name=\"pseudo\" maxlength=\"24\" required value=\"" +
         htmlEscape(form.pseudo) +
         "\"></label>\n<label>Code <input name=\"code\" size=\"8\" required "
         "autocomplete=\"off\" spellcheck=\"false\" value=\"" +
         htmlEscape(form.code) +
         "\"></label>\n<button type=\"submit\">Valider</button>\n</form>\n</section>\n"
         "<table>\n<thead><tr><th>Rang</th><th>Pseudonyme</th><th>Bonnes réponses</th>"
         "<th>Date</th></tr></thead>\n<tbody>\n";
    if (rows.empty())
        s += "<tr><td colspan=\"4\" class=\"vide\">Aucun score pour l'instant.</td></tr>\n";
    bool heading = false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!rows[i].eligible && !heading) {
            s += "<tr class=\"hc\"><th colspan=\"4\">Hors concours</th></tr>\n";
            heading = true;
        }
        s += row(rows[i], static_cast<int>(i) + 1,
                 !highlightKey.empty() && rows[i].key == highlightKey);
    }
    s += "</tbody>\n</table>\n</main>\n</body>\n</html>\n";
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
)";
}

} // namespace ranking
