#include "config/RawHex.h"

#include "common/HexDigit.h"

namespace RawHex {

Result parse(const QString &text)
{
    Result r;
    const int n = text.size();
    int index = 0;
    int i = 0;
    while (i < n) {
        if (text[i] == QLatin1Char(' ')) {
            ++i;
            continue;
        }
        const int start = i;
        while (i < n && text[i] != QLatin1Char(' '))
            ++i;
        const int length = i - start;
        const int high = hexDigitValue(text[start]);
        const int low = length == 2 ? hexDigitValue(text[start + 1]) : 0;
        if (length > 2 || high < 0 || low < 0) {
            r.status = Result::Status::BadToken;
            r.bytes.clear();
            r.badToken = text.mid(start, length);
            r.badTokenIndex = index;
            r.badTokenPosition = start;
            return r;
        }
        r.bytes.append(char(length == 2 ? high * 16 + low : high));
        ++index;
    }
    r.status = index > 0 ? Result::Status::Ok : Result::Status::Empty;
    return r;
}

QString visible(const QString &token)
{
    constexpr int MaxShown = 40;
    QString out;
    int shown = 0;
    const int n = token.size();
    for (int i = 0; i < n; ++i) {
        if (shown == MaxShown) {
            out += QChar(0x2026);
            break;
        }
        ++shown;
        const QChar c = token[i];
        // A character outside the basic plane is shown whole; a half without its partner is
        // shown as its code, like a control character.
        if (c.isHighSurrogate() && i + 1 < n && token[i + 1].isLowSurrogate()) {
            out += c;
            out += token[++i];
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1String("\\n");
        } else if (c == QLatin1Char('\r')) {
            out += QLatin1String("\\r");
        } else if (c == QLatin1Char('\t')) {
            out += QLatin1String("\\t");
        } else if (c.isSurrogate() || c.category() == QChar::Other_Control ||
                   c.category() == QChar::Other_Format) {
            out += QLatin1String("\\x") +
                   QString::number(c.unicode(), 16).toUpper().rightJustified(2, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace RawHex
