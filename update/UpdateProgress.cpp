#include "update/UpdateProgress.h"

#include "common/Language.h"

#include <QStringList>

#include <cmath>

int UpdateProgress::percentAfter(int frameIndex, int packetCount)
{
    if (packetCount < 0 || frameIndex <= 0)
        return 0;
    if (frameIndex > packetCount)
        return 100;
    // In integers: the floating-point quotient of the same formula falls just below whole
    // numbers for some P (29 / 50 × 100 = 57.999...).
    return int(qint64(frameIndex) * 100 / (packetCount + 1));
}

QString UpdateProgress::text() const
{
    const auto kib = [](double bytes) { return QString::number(bytes / 1024.0, 'f', 1); };
    QStringList parts;
    parts << QStringLiteral("%1%").arg(percent);
    parts << QStringLiteral("%1 / %2 KiB").arg(kib(double(bytesSent)), kib(double(totalBytes)));
    if (bytesPerSecond > 0) {
        parts << QStringLiteral("%1 KiB/s").arg(kib(bytesPerSecond));
        if (secondsLeft >= 0) {
            const qint64 s = qint64(std::ceil(secondsLeft));
            parts << Language::text("剩余 %1 秒", "%1 s left").arg(s);
        }
    }
    if (resends > 0)
        parts << Language::text("重发 %1 次", "%1 resends").arg(resends);
    return parts.join(QStringLiteral(" · "));
}
