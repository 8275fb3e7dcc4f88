// The command write window's input: RawHex::parse on any text (the input's first byte picks
// how the rest becomes text: UTF-8, Latin-1 or UTF-16). Checked against a second reading
// written here with Qt's own splitting:
// - valid input gives one byte per blank-separated token, each token one or two hexadecimal
//   digits, and the bytes written out again as hex read back to the same bytes;
// - anything else gives no bytes at all, names the first bad token, its index and its place
//   in the text; text without tokens is Empty;
// - the token as a message shows it stays short.

#include "FuzzSupport.h"

#include "config/RawHex.h"

#include <QRegularExpression>
#include <QStringList>

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const char *rest = reinterpret_cast<const char *>(data + 1);
    const int n = int(std::min<std::size_t>(size - 1, 1 << 16));
    QString text;
    switch (data[0] % 3) {
    case 0:
        text = QString::fromUtf8(rest, n);
        break;
    case 1:
        text = QString::fromLatin1(rest, n);
        break;
    default: {
        std::vector<char16_t> units(std::size_t(n / 2));
        if (!units.empty())
            std::memcpy(units.data(), rest, units.size() * sizeof(char16_t)); // aligned
        text = QString::fromUtf16(units.data(), int(units.size()));
        break;
    }
    }

    // Anchored at the very ends: "$" alone would also match before a final line break.
    static const QRegularExpression hexToken(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9A-Fa-f]{1,2}")));
    const QStringList tokens = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    int firstBad = -1;
    for (int i = 0; i < tokens.size() && firstBad < 0; ++i)
        if (!hexToken.match(tokens[i]).hasMatch())
            firstBad = i;

    const RawHex::Result r = RawHex::parse(text);
    if (tokens.isEmpty()) {
        FUZZ_CHECK(r.status == RawHex::Result::Status::Empty && r.bytes.isEmpty(),
                   "no token but status %d", int(r.status));
    } else if (firstBad < 0) {
        FUZZ_CHECK(r.ok(), "valid tokens refused at %d", r.badTokenIndex);
        FUZZ_CHECK(r.bytes.size() == tokens.size(), "%d bytes for %d tokens", int(r.bytes.size()),
                   int(tokens.size()));
        for (int i = 0; i < tokens.size(); ++i)
            FUZZ_CHECK(quint8(r.bytes[i]) == tokens[i].toUInt(nullptr, 16), "byte %d", i);
        const RawHex::Result again = RawHex::parse(QString::fromLatin1(r.bytes.toHex(' ')));
        FUZZ_CHECK(again.ok() && again.bytes == r.bytes, "hex written out reads differently");
    } else {
        FUZZ_CHECK(r.status == RawHex::Result::Status::BadToken, "bad token %d accepted", firstBad);
        FUZZ_CHECK(r.bytes.isEmpty(), "bytes of a refused input");
        FUZZ_CHECK(r.badTokenIndex == firstBad, "bad token %d named as %d", firstBad,
                   r.badTokenIndex);
        FUZZ_CHECK(r.badToken == tokens[firstBad], "bad token text differs");
        FUZZ_CHECK(r.badTokenPosition >= 0 &&
                       text.mid(r.badTokenPosition, r.badToken.size()) == r.badToken &&
                       (r.badTokenPosition == 0 || text[r.badTokenPosition - 1] == ' '),
                   "bad token not at %d", r.badTokenPosition);
        FUZZ_CHECK(RawHex::visible(r.badToken).size() <= 40 * 6 + 2, "shown token too long");
    }
    return 0;
}
