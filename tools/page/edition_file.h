#pragma once
// What the page needs from the answers file: the title and each question's shown form.
#include <QString>

#include <array>

namespace page {

struct EditionText {
    QString title;
    std::array<QString, 30> firstForms; // question n at n - 1
};

// The answers file's "key = value" lines (UTF-8, '#' comments). Throws std::runtime_error
// naming the file when it cannot be read or a question has no answer.
EditionText readEdition(const QString& path);

} // namespace page
