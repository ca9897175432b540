#include "edition_file.h"

#include <QFile>
#include <QStringList>

#include <stdexcept>

namespace page {

EditionText readEdition(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(
            QStringLiteral("%1: %2").arg(path, file.errorString()).toStdString());
    EditionText edition;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        const auto equals = line.indexOf(QLatin1Char('='));
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        bool number = false;
        const int n = key.toInt(&number);
        if (key == QLatin1String("title"))
            edition.title = value;
        else if (number && n >= 1 && n <= 30)
            edition.firstForms[n - 1] = value.section(QLatin1String(" / "), 0, 0).trimmed();
    }
    for (int n = 1; n <= 30; ++n) {
        if (edition.firstForms[n - 1].isEmpty())
            throw std::runtime_error(
                QStringLiteral("%1: no answer for question %2").arg(path).arg(n).toStdString());
    }
    return edition;
}

} // namespace page
