#include "service.h"

#include "pseudonym.h"

#include <algorithm>
#include <chrono>

namespace ranking {
namespace {

std::int64_t nowMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

std::string answers(int n) {
    return n == 1 ? "1 bonne réponse" : std::to_string(n) + " bonnes réponses";
}

std::string codeError(const QString& typed) {
    if (typed.isEmpty())
        return "Indiquez le code affiché dans la fenêtre du jeu.";
    if (QString(typed).remove(u' ').remove(u'-').isEmpty())
        return "« - - - - - - » signifie qu'aucune réponse n'a encore été trouvée : "
               "ce n'est pas un code.";
    return "Ce code ne correspond à aucun score : vérifiez-le dans la fenêtre du jeu.";
}

} // namespace

Submission Service::submit(const std::string& pseudo, const std::string& code) {
    Submission out;
    const PseudonymCheck name = checkPseudonym(QString::fromStdString(pseudo));
    if (!name.pseudonym) {
        out.error = name.error.toStdString();
        return out;
    }
    out.key = name.pseudonym->key.toStdString();
    const QString typed = QString::fromStdString(code).trimmed();
    const std::optional<Score> score = codes_.lookup(typed);
    if (!score) {
        out.error = codeError(typed);
        return out;
    }
    out.score = *score;
    const SubmitOutcome result = store_.submit({out.key, name.pseudonym->shown.toStdString(),
                                                score->answers, score->eligible, nowMicros()});
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
    return out;
}

Page Service::pageAt(std::int64_t number, std::int64_t total) {
    Page p;
    p.total = total;
    p.count = std::max<std::int64_t>(1, (total + kPageRows - 1) / kPageRows);
    p.number = std::clamp<std::int64_t>(number, 1, p.count);
    p.rows = store_.rows(p.firstRank(), kPageRows);
    return p;
}

Page Service::page(std::int64_t number) {
    return pageAt(number, store_.total());
}

Page Service::pageOf(const std::string& key) {
    const std::int64_t rank = key.empty() ? 0 : store_.rankOf(key);
    Page p = pageAt(rank > 0 ? (rank - 1) / kPageRows + 1 : 1, store_.total());
    if (rank > 0)
        p.marked = key;
    return p;
}

} // namespace ranking
