#pragma once
// The two full saved-answers files the fault test alternates; of different lengths, so that
// a file cut short or mixed is told from either.
#include "window/saved_answers.h"

namespace robustness {

inline QByteArray contentOf(const QString& word, bool invalide) {
    std::array<QString, window::kAnswers + 1> texts;
    for (int n = 1; n <= window::kAnswers; ++n)
        texts[n] = word.repeated(n) + QString::number(n);
    return window::formatSavedAnswers(texts, invalide);
}

inline QByteArray oldContent() {
    return contentOf(QStringLiteral("ancienne "), false);
}
inline QByteArray newContent() {
    return contentOf(QStringLiteral("la nouvelle réponse "), true);
}

} // namespace robustness
