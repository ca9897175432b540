#include "window/saved_answers.h"

#include "engine/cp1252.h"

namespace window {

SavedAnswers parseSavedAnswers(QByteArrayView bytes) {
    SavedAnswers result;
    qsizetype pos = 0;
    const qsizetype size = bytes.size();
    for (int k = 1; k <= kAnswers && pos < size; ++k) {
        qsizetype end = pos;
        while (end < size && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        const QByteArrayView line = bytes.sliced(pos, end - pos);
        if (!line.isEmpty() && line[0] == kMarker)
            result.invalide = true;
        if (line.size() > 3)
            result.answers[k] = cp1252::toUnicode(
                line.sliced(3).first(std::min<qsizetype>(line.size() - 3, kMaxAnswerLength)));
        pos = end;
        if (pos < size && bytes[pos++] == '\r' && pos < size && bytes[pos] == '\n')
            ++pos;
    }
    return result;
}

QByteArray formatSavedAnswers(const std::array<QString, kAnswers + 1>& texts, bool invalide) {
    QByteArray out;
    for (int n = 1; n <= kAnswers; ++n) {
        if (n < 10) {
            out += invalide ? kMarker : ' ';
            out += char('0' + n);
        } else {
            out += QByteArray::number(n);
        }
        out += ':';
        QString text = texts[n];
        text.replace(QLatin1Char('\r'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        out += cp1252::fromUnicode(text);
        out += "\r\n";
    }
    return out;
}

} // namespace window
