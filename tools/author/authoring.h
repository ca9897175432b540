#pragma once
// Reading the authoring file and making this edition's tables, codes and packed records.
#include "engine/records.h"
#include "engine/substitution.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace author {

struct Edition {
    QString title;
    QString siteName;
    QString siteAddress;
    std::uint64_t seed = 0;
    std::array<QStringList, engine::kQuestions + 1> forms; // 1..30: variant 1, 2, 3
    // Ranking codes given by the author ("code-N = eligible / not eligible"), 1..30; all
    // empty when the seed picks them.
    std::array<QString, engine::kQuestions + 1> eligible;
    std::array<QString, engine::kQuestions + 1> notEligible;
    bool hasCodes() const { return !eligible[1].isEmpty(); }
};

// Parses the authoring file (UTF-8 text). On refusal returns nullopt and sets error to one
// line naming the line number and the reason. The seed may be left out when all sixty
// codes are given; the random choices then follow from the file's content.
std::optional<Edition> parseEdition(const QString& text, QString* error);

struct Table {
    int question = 0;
    int variant = 0;
    std::vector<engine::SubstEntry> entries; // sorted by input
};

struct Generated {
    std::vector<Table> tables;                             // 33, by question then variant
    std::array<QByteArray, engine::kRecordSlots> captions; // code-page bytes
    std::array<QString, engine::kQuestions + 1> eligible;  // plain ranking codes, 1..30
    std::array<QString, engine::kQuestions + 1> notEligible;
};

// Makes the data; the same edition always gives the same bytes. Refuses, with a reason,
// data the program could not use.
std::optional<Generated> generate(const Edition& edition, QString* error);

// The C++ source implementing data/edition.h.
QByteArray writeSource(const Edition& edition, const Generated& data);

} // namespace author
