#pragma once
// Everything a new edition needs, made from an answers file and a folder of 31 MP3 clips:
// the packed data source, the excerpt store and its start table.
#include "tools/author/authoring.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace kit {

inline constexpr int kClips = 31; // clip 0 and the thirty excerpts
// The game looks for this name beside its executable, whatever the edition's title.
inline constexpr char kStoreName[] = DORLO_STORE_NAME;
inline constexpr char kSourceName[] = "edition_data.cpp";
inline constexpr char kClipTableName[] = "clip_table.h";
// Store offsets are 32-bit signed counts of 4-byte words.
inline constexpr std::int64_t kMaxStoreBytes = 4 * std::int64_t{INT32_MAX};

using StartTable = std::array<std::int32_t, kClips + 1>;

// "00.mp3" ... "30.mp3"
QString clipFileName(int k);

// Reads and checks 00.mp3 to 30.mp3 (no other *.mp3 may lie there), each aligned to a
// multiple of 4 bytes. On refusal: nullopt and one line naming the file.
std::optional<std::array<QByteArray, kClips>> readClips(const QString& folder, QString* error);

// 32 ascending entries in 4-byte words, first 0; refuses a store past kMaxStoreBytes or a
// length that is not a positive multiple of 4.
std::optional<StartTable> startTable(std::span<const std::int64_t, kClips> lengths, QString* error);

// A header of the form of data/clip_table.h.
QByteArray clipTableHeader(const StartTable& debuts, const QString& title);

struct EditionOutputs {
    author::Edition edition;
    author::Generated data; // the packed captions and tables the source holds
    QByteArray source;
    std::array<QByteArray, kClips> clips;
    StartTable debuts{};
    QByteArray clipTable;
};

// Everything in memory; nothing is written. Errors name the file (and line or byte).
std::optional<EditionOutputs> prepare(const QString& answersFile, const QString& clipFolder,
                                      QString* error);

// Writes the three files into `folder` (made when missing) under temporary names, then
// renames them; on failure nothing new is left behind and earlier outputs stay as they were.
bool writeOutputs(const EditionOutputs& outputs, const QString& folder, QString* error);

} // namespace kit
