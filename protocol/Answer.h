#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// An answer of the unit, in the command frame layout, found at a position of a buffer.
struct Answer
{
    std::uint8_t cls = 0;
    std::uint8_t op = 0;                // bits 0-2 of the length word
    int dataLength = 0;                 // bits 3-15 of the length word
    const std::uint8_t *data = nullptr; // dataLength bytes, inside the scanned buffer
    int totalLength() const { return dataLength + 7; }

    // The answer that starts at data[0], if the bytes there are a complete answer with a
    // matching checksum (header, class, length word, data, CK1, CK2). available: bytes
    // readable from data.
    static bool readAt(const std::uint8_t *bytes, int available, Answer &out);

    // The last data byte: the status or code of frequency and algorithm answers.
    int lastDataByte() const { return dataLength > 0 ? data[dataLength - 1] : -1; }
};

// What each kind of answer carries.
namespace AnswerReader {

enum class Kind
{
    Other,
    ProductId,
    Version,
    Frequency,
    Contents,
    Algorithm,
    Update
};
// Identification, frequency, algorithm and update answers need at least one data byte
// (their sub-code or status); without it they are Other.
Kind kindOf(const Answer &a);

// Product ID: data bytes from offset 2 (frame offset 7) as "xx " lower-case hex each.
QString productIdText(const Answer &a);
// Version text: data bytes from offset 2 as text.
QString versionText(const Answer &a);

// Model and suffix taken from a version text: split at "-", empty parts dropped, part 3
// the model and part 4 the suffix; a suffix outside U, UH, V, VH, A, N, R, D is cut to
// its first character. Fewer than four parts give empty model and suffix.
struct ModelSuffix
{
    QString model;
    QString suffix;
};
ModelSuffix splitVersion(const QString &version);

// Status conventions of configuration answers.
enum class Status
{
    Success,
    Failure,
    Value
}; // Value: a query answer (code in .code)
struct StatusCode
{
    Status status;
    int code;
};
// An answer without data gives {Value, -1}; kindOf never calls such an answer Frequency
// or Algorithm.
StatusCode frequencyStatus(const Answer &a); // class 0x03: 0 ok, 1-254 code, 255 failure
StatusCode algorithmStatus(const Answer &a); // class 0x4D: 0 ok, 1-254 code, 255 failure
// class 0x04: only answers with one data byte count; 0xFF failure, anything else success.
// Returns false when the answer does not count.
bool contentsStatus(const Answer &a, bool &success);

// Update answers (class 0xFF): operation code and status byte (data byte 0). An answer to
// the finish frame (op 6) with status 226 (0xE2) is reported as status 0. Status -1 for
// an answer without data.
struct UpdateAnswer
{
    int op;
    int status;
};
UpdateAnswer updateAnswer(const Answer &a);

} // namespace AnswerReader
