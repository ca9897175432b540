#include "window/answers_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace window {
namespace {

void report(const QString& line) {
    std::fprintf(stderr, "dorlo: %s\n", qPrintable(line));
    std::fflush(stderr);
}

enum class ReadState { Absent, Read, Unreadable };

// The first 30 lines, each cut to what an answer box holds, however long the file: one huge
// line must not push the answers after it out of reach, to be lost at the next save.
// Every line end becomes LF, which the parser reads alike.
QByteArray firstLines(QFile& file, bool& cut) {
    constexpr qsizetype kKeep = 3 + kMaxAnswerLength;
    QByteArray out;
    int lines = 0;
    qsizetype kept = 0;
    bool afterCr = false;
    while (lines < kAnswers) {
        const QByteArray chunk = file.read(1 << 16);
        if (chunk.isEmpty())
            break;
        for (const char b : chunk) {
            if (afterCr && b == '\n') {
                afterCr = false;
                continue;
            }
            afterCr = b == '\r';
            if (b == '\r' || b == '\n') {
                out += '\n';
                kept = 0;
                if (++lines == kAnswers)
                    break;
            } else if (kept < kKeep) {
                out += b;
                ++kept;
            } else {
                cut = true;
            }
        }
    }
    return out;
}

ReadState readFile(const QString& path, SavedAnswers& out) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return ReadState::Absent;
    if (info.isDir()) {
        report(QStringLiteral("%1 est un dossier ; réponses non lues").arg(path));
        return ReadState::Unreadable;
    }
    if (info.exists() && !info.isFile()) { // a pipe or a device would block or never end
        report(QStringLiteral("%1 n'est pas un fichier ordinaire ; réponses non lues").arg(path));
        return ReadState::Unreadable;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        report(QStringLiteral("réponses non lues dans %1 : %2").arg(path, file.errorString()));
        return ReadState::Unreadable;
    }
    bool cut = false;
    const QByteArray bytes = firstLines(file, cut);
    if (file.error() != QFileDevice::NoError) {
        report(QStringLiteral("réponses non lues dans %1 : %2").arg(path, file.errorString()));
        return ReadState::Unreadable;
    }
    if (cut)
        report(QStringLiteral("%1 : réponse trop longue, gardée jusqu'à %2 caractères")
                   .arg(path)
                   .arg(kMaxAnswerLength));
    out = parseSavedAnswers(bytes);
    return ReadState::Read;
}

bool folderWritable(const QString& filePath) {
    const QFileInfo folder(QFileInfo(filePath).absolutePath());
    return folder.isDir() && folder.isWritable();
}

} // namespace

QString answersFileName(const QString& executableName) {
    return QFileInfo(executableName).completeBaseName() + QStringLiteral(".REP");
}

AnswersFile::AnswersFile(QString besidePath, QString fallbackPath)
    : beside_(std::move(besidePath)), fallback_(std::move(fallbackPath)) {}

SavedAnswers AnswersFile::load() {
    SavedAnswers answers;
    const ReadState beside = readFile(beside_, answers);
    const bool hasFallback = !fallback_.isEmpty() && fallback_ != beside_;
    if (beside == ReadState::Read) {
        if (folderWritable(beside_) || !hasFallback) {
            write_ = beside_;
            return answers;
        }
        // Left in an installed program's folder, which this user cannot replace: the
        // per-user file takes over, and these answers are only where it starts.
        SavedAnswers own;
        const ReadState fallback = readFile(fallback_, own);
        if (fallback == ReadState::Unreadable) {
            write_.clear();
            return answers;
        }
        write_ = fallback_;
        return fallback == ReadState::Read ? own : answers;
    }
    const bool besideUsable = beside == ReadState::Absent && folderWritable(beside_);
    const ReadState fallback = fallback_.isEmpty() || fallback_ == beside_
                                   ? ReadState::Absent
                                   : readFile(fallback_, answers);
    if (besideUsable)
        write_ = beside_;
    else if (fallback != ReadState::Unreadable && !fallback_.isEmpty() && fallback_ != beside_)
        write_ = fallback_;
    else
        write_.clear();
    return answers;
}

bool AnswersFile::save(const QByteArray& bytes) const {
    if (write_.isEmpty()) {
        report(QStringLiteral("réponses non enregistrées : %1 n'a pas pu être lu").arg(beside_));
        return false;
    }
    const QFileInfo info(write_);
    if (info.exists() && (!info.isFile() || !info.isWritable())) {
        report(
            QStringLiteral("réponses non enregistrées : %1 est protégé en écriture").arg(write_));
        return false;
    }
    QDir().mkpath(info.absolutePath());
    QSaveFile file(write_);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        report(QStringLiteral("réponses non enregistrées dans %1 : %2")
                   .arg(write_, file.errorString()));
        return false;
    }
    return true;
}

} // namespace window
