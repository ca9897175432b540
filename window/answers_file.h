#pragma once
// Where the saved answers live, and their reading and atomic writing.
#include "window/saved_answers.h"

#include <QString>

namespace window {

// "<executable name without its extension>.REP".
QString answersFileName(const QString& executableName);

// The file beside the executable, or, where that folder cannot be written, one of the same
// name in the per-user data folder. A file that exists but cannot be read (a directory in
// its place, no permission) is never overwritten: this run reads and writes the per-user one.
class AnswersFile {
public:
    AnswersFile(QString besidePath, QString fallbackPath);

    // Reads the first readable candidate and decides where save() writes. Never fails:
    // a problem gives no answers and one line on stderr.
    SavedAnswers load();

    // Replaces the file atomically; on failure the previous file stays whole and one line
    // goes to stderr.
    bool save(const QByteArray& bytes) const;

    QString besidePath() const { return beside_; }
    QString fallbackPath() const { return fallback_; }
    QString writePath() const { return write_; } // empty when nothing may be written

private:
    QString beside_;
    QString fallback_;
    QString write_;
};

} // namespace window
