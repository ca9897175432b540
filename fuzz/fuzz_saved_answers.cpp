// The saved-answers reader against a plain model of its rules, and format -> parse.
#include "engine/cp1252.h"
#include "fuzz_check.h"
#include "window/saved_answers.h"

#include <QByteArrayList>

#include <cstddef>
#include <cstdint>

namespace {

using window::kAnswers;

// Every line end made a line feed; the empty piece after a final line end is no line.
window::SavedAnswers model(QByteArray bytes) {
    bytes.replace("\r\n", "\n").replace('\r', '\n');
    QByteArrayList lines = bytes.split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    window::SavedAnswers out;
    for (int k = 1; k <= kAnswers && k <= lines.size(); ++k) {
        const QByteArray& line = lines[k - 1];
        out.invalide = out.invalide || line.startsWith(window::kMarker);
        out.answers[k] = cp1252::toUnicode(line.mid(3).left(window::kMaxAnswerLength));
    }
    return out;
}

void parse(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const window::SavedAnswers got = window::parseSavedAnswers(bytes);
    const window::SavedAnswers want = model(bytes);
    FUZZ_CHECK(got.invalide == want.invalide);
    FUZZ_CHECK(got.answers[0].isEmpty());
    for (int k = 1; k <= kAnswers; ++k) {
        FUZZ_CHECK(got.answers[k] == want.answers[k]);
        FUZZ_CHECK(!got.answers[k].contains(u'\r') && !got.answers[k].contains(u'\n'));
    }
}

// Thirty texts cut from the input at zero bytes, code-page characters without CR or LF
// (byte 0 bit 0 set: arbitrary UTF-16, which comes back as the page holds it).
void roundTrip(const uint8_t* data, size_t size) {
    if (size == 0)
        return;
    const bool wide = data[0] & 1;
    const bool invalide = data[0] & 2;
    std::array<QString, kAnswers + 1> texts;
    int n = 1;
    texts[n].reserve(qsizetype(size));
    for (size_t i = 1; i < size && n <= kAnswers; ++i) {
        if (data[i] == 0) {
            if (++n <= kAnswers)
                texts[n].reserve(qsizetype(size - i));
            continue;
        }
        QChar c;
        if (wide && i + 1 < size) {
            c = QChar(char16_t(data[i] | data[i + 1] << 8));
            ++i;
        } else {
            c = cp1252::toUnicode(data[i]);
        }
        if (c != u'\r' && c != u'\n')
            texts[n].append(c);
    }
    const QByteArray file = window::formatSavedAnswers(texts, invalide);
    FUZZ_CHECK(file.count("\r\n") == kAnswers && file.endsWith("\r\n"));
    const window::SavedAnswers back = window::parseSavedAnswers(file);
    FUZZ_CHECK(back.invalide == invalide);
    for (int k = 1; k <= kAnswers; ++k) {
        // What the page cannot hold is written as '?'; a lone CR or LF cannot occur.
        const QString expected = cp1252::toUnicode(cp1252::fromUnicode(texts[k]));
        FUZZ_CHECK(back.answers[k] == expected);
        if (!wide)
            FUZZ_CHECK(back.answers[k] == texts[k]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    parse(data, size);
    roundTrip(data, size);
    return 0;
}
