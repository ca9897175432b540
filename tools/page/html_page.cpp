#include "html_page.h"

#include "piano_roll.h"

#include <QLocale>

#include <cmath>

namespace page {

namespace {

const char* const kStyle = R"(
body { font-family: Lato, "DejaVu Sans", sans-serif; color: #222; background: #f6f6f4;
       max-width: 940px; margin: 1.5rem auto; padding: 0 1rem; }
h1 { font-size: 1.5rem; margin: 0 0 .3rem; }
.intro { color: #555; margin: 0 0 1.2rem; }
article { background: #fff; border: 1px solid #ddd; border-radius: 6px;
          padding: .7rem 1rem .9rem; margin: 0 0 1rem; }
h2 { font-size: 1.1rem; margin: 0 0 .2rem; }
h2 .number { color: #888; font-weight: normal; margin-right: .4rem; }
.source { font-size: .85rem; color: #555; margin: 0 0 .5rem; overflow-wrap: anywhere; }
audio { width: 100%; }
img { display: block; max-width: 100%; height: auto; margin-top: .5rem; }
.voices { font-size: .8rem; color: #555; margin: .3rem 0 0; }
.voice { margin-left: .8rem; white-space: nowrap; }
.tune { font-size: .85rem; color: #555; margin: .3rem 0 0; }
.tune.short { color: #a40000; font-weight: bold; }
.swatch { display: inline-block; width: .8em; height: .8em; border-radius: 2px;
          margin-right: .3em; vertical-align: -.05em; }
)";

QString esc(const QString& text) {
    return text.toHtmlEscaped();
}

QString tuneHtml(const TuneFigure& t, const QLocale& french) {
    const QString span = QStringLiteral("de %1 à %2 s")
                             .arg(french.toString(t.from, 'f', 1), french.toString(t.to, 'f', 1));
    QString text = std::isfinite(t.lead)
                       ? QStringLiteral("Thème %1 LU au-dessus des autres voix, %2")
                             .arg((t.lead >= 0 ? QStringLiteral("+") : QString()) +
                                      french.toString(t.lead, 'f', 1),
                                  span)
                       : QStringLiteral("Thème seul, %1").arg(span);
    if (!t.exempt.isEmpty())
        text += QStringLiteral(" ; dispensé : %1").arg(esc(t.exempt));
    else if (!t.enough)
        text += QStringLiteral(" : trop peu");
    return QStringLiteral("<p class=\"tune%1\">%2.</p>")
        .arg(t.enough ? QString() : QStringLiteral(" short"), text);
}

QString entryHtml(const Entry& e) {
    const QLocale french(QLocale::French, QLocale::France);
    const QString seconds = french.toString(e.seconds, 'f', 1);
    const QString mp3 = clipFileName(e.number, "mp3");
    const QString reference =
        e.scoreReference.isEmpty()
            ? QStringLiteral("partition non indiquée")
            : QStringLiteral("partition suivie : %1").arg(esc(e.scoreReference));
    QString voices;
    for (const VoiceKey& v : e.voices)
        voices += QStringLiteral(" <span class=\"voice\"><span class=\"swatch\" "
                                 "style=\"background: %1\"></span><code>%2</code> "
                                 "(<code>%3</code>)%4</span>")
                      .arg(v.colour.name(), esc(v.name), esc(v.instrument),
                           v.tune ? QStringLiteral(", thème") : QString());
    const QString alt =
        QStringLiteral("Notes de l'extrait %1 sur ses %2 secondes : le temps de gauche à "
                       "droite, la hauteur de bas en haut, une couleur par voix")
            .arg(e.number)
            .arg(seconds);
    // One pass of arg(): the texts put in may hold '%' themselves.
    return QStringLiteral(R"(<article id="q%1">
<h2><span class="number">Question %1</span> %2</h2>
<p class="source">%4 s · %3</p>
<audio controls="controls" preload="none" src="%5">Ce navigateur ne lit pas l'extrait : <a href="%5">%5</a>.</audio>
<img src="%6" width="%7" height="%8" alt="%9" />
<p class="voices">Voix de la source :%10</p>
%11</article>
)")
        .arg(QString::number(e.number), esc(e.answer), reference, seconds, mp3,
             clipFileName(e.number, "png"), QString::number(kRollSize.width()),
             QString::number(kRollSize.height()), esc(alt), voices, tuneHtml(e.tune, french));
}

} // namespace

QString clipFileName(int number, const char* suffix) {
    return QStringLiteral("%1.%2").arg(number, 2, 10, QLatin1Char('0')).arg(QLatin1String(suffix));
}

QString excerptsPage(const QString& title, const std::vector<Entry>& entries) {
    QString body;
    for (const Entry& e : entries)
        body += entryHtml(e);
    return QStringLiteral(R"(<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8" />
<meta name="viewport" content="width=device-width, initial-scale=1" />
<title>%1 : écoute des extraits</title>
<style>%2</style>
</head>
<body>
<h1>%1 : écoute des extraits</h1>
<p class="intro">Les trente extraits tels que le jeu les fait entendre, chacun avec sa première réponse acceptée, la partition que suit sa source et le dessin de ses notes (C4 est le do central).</p>
<main>
%3</main>
</body>
</html>
)")
        .arg(esc(title), QLatin1String(kStyle), body);
}

} // namespace page
