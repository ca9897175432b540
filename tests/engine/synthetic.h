#pragma once
// Small hand-made tables and records for the engine tests.
#include "engine/records.h"
#include "engine/substitution.h"

#include <QString>

#include <vector>

namespace synthetic {

// Letters A to Y other than D stand for themselves, so stored text reads as typed.
// D (the terminator) is left out, É/é encode to Z/z and a space to 'd'.
inline std::vector<engine::SubstEntry> plainEntries() {
    std::vector<engine::SubstEntry> e;
    for (char16_t c = u'A'; c <= u'Y'; ++c) {
        if (c == u'D')
            continue;
        e.push_back({c, c});
        e.push_back({char16_t(c + 32), char16_t(c + 32)});
    }
    e.push_back({u'\u00C9', u'Z'});
    e.push_back({u'\u00E9', u'z'});
    e.push_back({u' ', u'd'});
    return e;
}

// The same table for variants 1 to 3 of questions 1 to 30.
struct Tables {
    std::vector<engine::SubstEntry> entries = plainEntries();
    std::vector<engine::SubstTableData> data;
    engine::TableSet set;
    Tables() {
        for (int q = 1; q <= 30; ++q) {
            for (int v = 1; v <= 3; ++v)
                data.push_back({q, v, entries});
        }
        set = engine::TableSet(data);
    }
};

// A character giving the decimal digit d through (code - 36) mod 10.
inline QChar digit(int d, int step = 1) {
    return QChar(char16_t(36 + d + 10 * step));
}

// The unpacked text of a record: question number, answer, optional terminator and tail.
inline QString recordText(int question, const QString& answer, const QString& tail = {},
                          bool terminator = true) {
    return QString(digit(question % 10)) + digit(question / 10) + answer +
           (terminator ? QStringLiteral("D") : QString()) + tail;
}

// Packs a text, adding trailing spaces (trimmed away by the unpacking) until the
// key chain admits printable caption characters.
inline QString pack(const QString& text) {
    for (int pad = 0; pad < 40; ++pad) {
        const QString caption = engine::packRecord(text + QString(pad, u' '));
        if (!caption.isEmpty())
            return caption;
    }
    return {};
}

} // namespace synthetic
