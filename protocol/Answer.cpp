#include "protocol/Answer.h"

#include "protocol/Checksum.h"
#include "protocol/CommandLayout.h"

#include <QStringList>

bool Answer::readAt(const std::uint8_t *bytes, int available, Answer &out)
{
    using namespace CommandLayout;
    if (available < EnvelopeSize || bytes[0] != Header1 || bytes[1] != Header2)
        return false;
    const unsigned word = lengthWordAt(bytes);
    const int n = dataLengthOf(word);
    if (available < n + EnvelopeSize)
        return false;
    const Checksum c = Checksum::over(bytes + 2, std::size_t(n) + 3);
    if (c.ck1 != bytes[DataOffset + n] || c.ck2 != bytes[DataOffset + n + 1])
        return false;
    out.cls = bytes[2];
    out.op = static_cast<std::uint8_t>(opOf(word));
    out.dataLength = n;
    out.data = bytes + DataOffset;
    return true;
}

namespace AnswerReader {

namespace {

// Identification answers carry their sub-code in data byte 0 and their content from byte 2.
constexpr int ContentOffset = 2;

StatusCode lastByteStatus(const Answer &a)
{
    const int v = a.lastDataByte();
    if (v == AnswerStatus::Success)
        return {Status::Success, 0};
    if (v == AnswerStatus::Failure)
        return {Status::Failure, 255};
    return {Status::Value, v}; // -1 for an answer without data
}

} // namespace

Kind kindOf(const Answer &a)
{
    switch (a.cls) {
    case CommandClass::Identity:
        if (a.dataLength >= 1 && a.data[0] == CommandSub::ProductId)
            return Kind::ProductId;
        if (a.dataLength >= 1 && a.data[0] == CommandSub::Version)
            return Kind::Version;
        return Kind::Other;
    case CommandClass::Frequency:
        return a.dataLength >= 1 ? Kind::Frequency : Kind::Other;
    case CommandClass::Contents:
        return Kind::Contents;
    case CommandClass::Algorithm:
        return a.dataLength >= 1 ? Kind::Algorithm : Kind::Other;
    case CommandClass::Update:
        return a.dataLength >= 1 ? Kind::Update : Kind::Other;
    default:
        return Kind::Other;
    }
}

QString productIdText(const Answer &a)
{
    QString text;
    if (a.dataLength <= ContentOffset)
        return text;
    static const char hex[] = "0123456789abcdef";
    text.reserve((a.dataLength - ContentOffset) * 3);
    for (int i = ContentOffset; i < a.dataLength; ++i) {
        text.append(QLatin1Char(hex[a.data[i] >> 4]));
        text.append(QLatin1Char(hex[a.data[i] & 0x0F]));
        text.append(QLatin1Char(' '));
    }
    return text;
}

QString versionText(const Answer &a)
{
    if (a.dataLength <= ContentOffset)
        return QString();
    // The text ends at its first NUL byte, if the unit pads it.
    const char *begin = reinterpret_cast<const char *>(a.data + ContentOffset);
    int length = 0;
    while (length < a.dataLength - ContentOffset && begin[length] != '\0')
        ++length;
    return QString::fromUtf8(begin, length);
}

ModelSuffix splitVersion(const QString &version)
{
    const QStringList parts = version.split(QLatin1Char('-'), Qt::SkipEmptyParts);
    ModelSuffix result;
    if (parts.size() < 4)
        return result;
    result.model = parts[2];
    result.suffix = parts[3];
    static const QStringList known = {
        QStringLiteral("U"), QStringLiteral("UH"), QStringLiteral("V"), QStringLiteral("VH"),
        QStringLiteral("A"), QStringLiteral("N"),  QStringLiteral("R"), QStringLiteral("D")};
    if (!known.contains(result.suffix))
        result.suffix = result.suffix.left(1);
    return result;
}

StatusCode frequencyStatus(const Answer &a)
{
    return lastByteStatus(a);
}

StatusCode algorithmStatus(const Answer &a)
{
    return lastByteStatus(a);
}

bool contentsStatus(const Answer &a, bool &success)
{
    if (a.dataLength != 1)
        return false;
    success = a.data[0] != AnswerStatus::Failure;
    return true;
}

UpdateAnswer updateAnswer(const Answer &a)
{
    UpdateAnswer u{a.op, a.dataLength >= 1 ? int(a.data[0]) : -1};
    if (u.op == CommandOp::UpdateFinish && u.status == AnswerStatus::UpdateFinished)
        u.status = 0;
    return u;
}

} // namespace AnswerReader
