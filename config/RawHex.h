#pragma once

#include <QByteArray>
#include <QString>

// The command write window's input: bytes typed as hexadecimal, for example
// "51 56 03 0A 00 08 15 32". Tokens are separated by one or more blanks (spaces); each token
// is one or two hexadecimal digits, either case, and gives one byte. Blanks before the first
// and after the last token give nothing. Anything else (a longer token, a character that is
// not a hexadecimal digit, a "0x" prefix, a tab or line break) makes the whole input invalid:
// nothing of it may be sent.
//
// A pure function of its input: no state, any thread, linear in the length.
namespace RawHex {

struct Result
{
    enum class Status
    {
        Ok,       // bytes holds one byte per token, in order
        Empty,    // no token at all
        BadToken, // badToken is the first token that is not one or two hexadecimal digits
    };
    Status status = Status::Empty;
    QByteArray bytes;
    QString badToken;
    int badTokenIndex = -1;    // 0 for the first token
    int badTokenPosition = -1; // its first character's index in the text

    bool ok() const { return status == Status::Ok; }
};

Result parse(const QString &text);

// A token as a message shows it: line breaks, tabs, other control characters and halves of
// a character without their partner made visible ("\n", "\t", "\x1B", "\xDE0A"), at most
// 40 characters (then "…"), a character outside the basic plane counted once and never cut.
QString visible(const QString &token);

} // namespace RawHex
