#pragma once
// Whole files written and read back by the tests.
#include <QByteArray>
#include <QString>

namespace testing {

// False when the file cannot be written whole.
bool writeFile(const QString& path, const QByteArray& bytes);
// Empty when the file cannot be read.
QByteArray readFile(const QString& path);

} // namespace testing
