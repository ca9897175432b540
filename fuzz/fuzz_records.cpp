// Record unpacking on 34 captions cut from the input, and the packing's round trip.
#include "engine/cp1252.h"
#include "engine/records.h"
#include "fuzz_check.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace {

using engine::kPositions;
using engine::kQuestions;
using engine::kVariants;

// Byte 0 bit 0 chooses captions of arbitrary UTF-16 over code-page text; the rest is cut
// at line feeds into slots 0, 1, 2 ...
std::array<QString, engine::kRecordSlots> captionsFrom(const uint8_t* data, size_t size) {
    std::array<QString, engine::kRecordSlots> captions;
    if (size == 0)
        return captions;
    QString all;
    if (data[0] & 1) {
        for (size_t i = 1; i + 1 < size; i += 2)
            all.append(QChar(char16_t(data[i] | data[i + 1] << 8)));
    } else {
        all = cp1252::toUnicode(
            QByteArrayView(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1)));
    }
    const QStringList pieces = all.split(u'\n');
    for (int i = 0; i < engine::kRecordSlots && i < pieces.size(); ++i)
        captions[i] = pieces[i];
    return captions;
}

void checkTables(const engine::AnswerTables& t) {
    for (int v = 0; v <= kVariants; ++v) {
        for (int q = 0; q <= kQuestions; ++q) {
            const auto& cells = t.reponses.cell[v][q];
            FUZZ_CHECK(cells[0] == 0);
            if (v == 0 || q == 0) {
                for (char16_t c : cells)
                    FUZZ_CHECK(c == 0);
                continue;
            }
            // A variant is a run of characters 1..126 from position 1, never the terminator.
            const int n = t.reponses.length(v, q);
            FUZZ_CHECK(n >= 0 && n <= kPositions);
            for (int p = 1; p <= kPositions; ++p) {
                if (p <= n)
                    FUZZ_CHECK(cells[p] >= 1 && cells[p] <= 126 && cells[p] != u'D');
                else
                    FUZZ_CHECK(cells[p] == 0);
            }
        }
    }
    FUZZ_CHECK(t.codes[0].isEmpty());
    for (const QString& code : t.codes) {
        FUZZ_CHECK(code.size() <= 12);
        for (QChar c : code)
            FUZZ_CHECK(c.unicode() >= 1 && c.unicode() <= 126);
    }
}

bool printableCaptionCode(int c) {
    return c > 32 && c != 127 && c != '&' && c != 0xA0 && c != 0xAD && c <= 255 &&
           cp1252::toUnicode(static_cast<unsigned char>(c)).isPrint();
}

// A well-formed record built from the input: two question digits, up to 30 answer
// characters, the terminator 'D', up to 12 code characters. Whatever the packing accepts
// must unpack to exactly that answer and code.
void roundTrip(const uint8_t* data, size_t size) {
    if (size < 2)
        return;
    const int q = 1 + data[0] % kQuestions;
    QString record;
    // A digit d is any code 36 + d + 10 m: (code - 36) mod 10 = d.
    record.append(QChar(char16_t(36 + q % 10 + 10 * (data[1] % 9))));
    record.append(QChar(char16_t(36 + q / 10 + 10 * (data[1] / 9 % 9))));
    size_t i = 2;
    QString answer;
    while (i < size && answer.size() < kPositions && data[i] != 0) {
        char16_t c = char16_t(1 + data[i++] % 126);
        answer.append(QChar(c == u'D' ? u'd' : c));
    }
    ++i; // a zero byte, or the 31st character, ends the answer
    QString code;
    while (i < size && code.size() < 12)
        code.append(QChar(char16_t(33 + data[i++] % 94))); // no trailing blank to trim
    record += answer + u'D' + code;

    const QString caption = engine::packRecord(record);
    if (caption.isEmpty())
        return;
    FUZZ_CHECK(caption.size() == record.size());
    for (QChar c : caption)
        FUZZ_CHECK(printableCaptionCode(cp1252::code(c)));

    std::array<QString, engine::kRecordSlots> captions;
    captions[33] = caption;
    const engine::AnswerTables t = engine::unpackRecords(captions);
    FUZZ_CHECK(t.reponses.length(1, q) == answer.size());
    for (int p = 1; p <= answer.size(); ++p)
        FUZZ_CHECK(t.reponses.at(1, q, p) == answer[p - 1].unicode());
    FUZZ_CHECK(t.codes[q] == code);
    for (int other = 1; other <= kQuestions; ++other)
        FUZZ_CHECK(other == q || (t.reponses.length(1, other) == 0 && t.codes[other].isEmpty()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto captions = captionsFrom(data, size);
    const engine::AnswerTables t = engine::unpackRecords(captions);
    checkTables(t);
    roundTrip(data, size);
    return 0;
}
