#pragma once
// The program's one 8-bit code page: character codes, sums and files all go through here.
#include <QByteArray>
#include <QChar>
#include <QString>

namespace cp1252 {

// Every byte has a character; the five bytes the page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value.
QChar toUnicode(unsigned char byte);
QString toUnicode(QByteArrayView bytes);

// The byte of a character, or -1 when the page cannot hold it.
int code(QChar c);

// The byte of a character; a character the page cannot hold counts as '?' (63),
// as the system's conversion did.
int codeOr63(QChar c);

// Characters the page cannot hold become '?'.
QByteArray fromUnicode(QStringView text);

} // namespace cp1252
