// The Windows-1252 conversion: bytes survive the trip through Unicode, and any UTF-16
// text converts to as many bytes.
#include "engine/cp1252.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>

namespace {

bool everyByteRoundTrips() {
    for (int b = 0; b < 256; ++b) {
        const QChar c = cp1252::toUnicode(static_cast<unsigned char>(b));
        FUZZ_CHECK(cp1252::code(c) == b);
        FUZZ_CHECK(cp1252::codeOr63(c) == b);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool table = everyByteRoundTrips();
    (void)table;

    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = cp1252::toUnicode(bytes);
    FUZZ_CHECK(text.size() == bytes.size());
    FUZZ_CHECK(cp1252::fromUnicode(text) == bytes);

    QString wide;
    for (size_t i = 0; i + 1 < size; i += 2)
        wide.append(QChar(char16_t(data[i] | data[i + 1] << 8)));
    const QByteArray narrow = cp1252::fromUnicode(wide);
    FUZZ_CHECK(narrow.size() == wide.size());
    for (qsizetype i = 0; i < wide.size(); ++i) {
        const int b = cp1252::code(wide[i]);
        FUZZ_CHECK(b >= -1 && b <= 255);
        FUZZ_CHECK(static_cast<unsigned char>(narrow[i]) == (b < 0 ? 63 : b));
        // A character the page holds comes back itself.
        if (b >= 0)
            FUZZ_CHECK(cp1252::toUnicode(static_cast<unsigned char>(narrow[i])) == wide[i]);
    }
    return 0;
}
