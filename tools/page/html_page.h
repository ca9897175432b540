#pragma once
// The listening page: one entry per question, its clip, its source's score and its notes.
#include <QColor>
#include <QString>

#include <vector>

namespace page {

struct VoiceKey {
    QString name;
    QString instrument;
    QColor colour;
    bool tune = false; // carries the tune
};

// How far the tune's voices stand above the others where the tune plays in the first seconds.
struct TuneFigure {
    double lead = 0; // LU; +inf when nothing else sounds there
    double from = 0; // seconds
    double to = 0;
    bool enough = true; // at the lead the store asks for, or exempt from it
    QString exempt;     // why the tune need not lead; empty when it must
};

struct Entry {
    int number = 0;         // 1 to 30; the clip is NN.mp3, its picture NN.png
    QString answer;         // the first accepted form
    QString scoreReference; // after "Score:" in the source's comments; empty when none
    double seconds = 0;     // the clip's duration
    std::vector<VoiceKey> voices;
    TuneFigure tune;
};

// Well-formed as XML as well as HTML5, so it can be checked with an XML reader.
QString excerptsPage(const QString& title, const std::vector<Entry>& entries);

// "01.mp3" and the like.
QString clipFileName(int number, const char* suffix);

} // namespace page
