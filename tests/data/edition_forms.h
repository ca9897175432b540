#pragma once
// The accepted forms, read from the authoring file the edition is built from.
#include "tools/author/authoring.h"

#include <QFile>
#include <QTest>

inline author::Edition authoredEdition() {
    QFile file(QStringLiteral(DORLO_SOURCE_DIR "/data/edition/edition.txt"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read the authoring file");
    QString error;
    const auto edition = author::parseEdition(QString::fromUtf8(file.readAll()), &error);
    if (!edition)
        qFatal("%s", qPrintable(error));
    return *edition;
}
