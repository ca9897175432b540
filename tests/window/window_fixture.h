#pragma once
// A window pointed at a temporary program folder, with a clock the test sets.
#include "window/frm_dorlo.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

// As the program itself sets a box: the remembered text first, so the text passes whole.
inline void setAnswer(window::AnswerBox* box, const QString& text) {
    box->Tag = text;
    box->setText(text);
}

struct WindowFixture {
    QTemporaryDir dir;
    QTemporaryDir userData;
    qint64 now = 1'000'000;

    window::ProgramSettings settings(const QString& name = QStringLiteral("game")) {
        window::ProgramSettings s;
        s.folder = dir.path();
        s.executableName = name;
        s.fallbackFolder = userData.path();
        s.clock = [this] {
            return now;
        };
        return s;
    }
    std::unique_ptr<window::FrmDorlo> open(const QString& name = QStringLiteral("game")) {
        auto form = std::make_unique<window::FrmDorlo>(settings(name));
        form->openUrl = [](const QUrl&) {
        };
        return form;
    }
    QString path(const QString& file) const { return dir.filePath(file); }
    void write(const QString& file, const QByteArray& bytes) const {
        QFile f(path(file));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    QByteArray read(const QString& file) const {
        QFile f(path(file));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};
