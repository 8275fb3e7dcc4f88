#include "update/UpdateText.h"

#include "protocol/Checksum.h"
#include "protocol/UpdateFrames.h"

#include "common/HexDigit.h"

namespace {

QString hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

} // namespace

namespace UpdateText {

QString Big_to_Little(const QString &str)
{
    if (str.size() <= 2)
        return str;
    QString out;
    out.reserve(str.size());
    for (int i = (str.size() - 1) / 2 * 2; i >= 0; i -= 2)
        out.append(str.mid(i, 2));
    return out;
}

QString fill_hex_data(QString *str, int num)
{
    if (str->size() < num)
        str->prepend(QString(num - str->size(), QLatin1Char('0')));
    return *str;
}

QString calc_checksum(const QString &str)
{
    if (str.size() < 5)
        return QStringLiteral("0000");
    const QByteArray bytes = QString_to_QByteArray_hex(str.mid(4));
    const Checksum c = Checksum::over(bytes.constData(), std::size_t(bytes.size()));
    return hexText(QByteArray(1, char(c.ck1)) + char(c.ck2));
}

QByteArray QString_to_QByteArray_hex(const QString &sendData)
{
    QByteArray out;
    out.reserve(sendData.size() / 2);
    for (int i = 0; i + 1 < sendData.size(); i += 2) {
        const int hi = hexDigitValue(sendData[i]), lo = hexDigitValue(sendData[i + 1]);
        out.append(hi < 0 || lo < 0 ? char(0) : char(hi * 16 + lo));
    }
    return out;
}

QString generate_update_command(const QByteArray &image)
{
    QString text = hexText(UpdateFrames::start(image));
    if (!text.isEmpty())
        text.replace(12, 2, QStringLiteral("0B")); // the constant 0x0B 0x00 after the 01
    return text;
}

QString codePackData(const QString &str, int k, int packetCount)
{
    return hexText(UpdateFrames::dataFrame(QString_to_QByteArray_hex(str), k, packetCount));
}

QString codeFinishCommand()
{
    return hexText(UpdateFrames::finish());
}

} // namespace UpdateText
