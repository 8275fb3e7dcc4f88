#include "calib/CabFile.h"

#include "calib/Calib3DComputation.h"
#include "calib/CalibLog.h"
#include "common/Language.h"

#include <QFile>
#include <QTextStream>

namespace CabFile {

QByteArray format(const Calib3DInput &in, const std::atomic<bool> &stop)
{
    const int n = in.commonCount();
    QByteArray bytes;
    bytes.reserve(n * 80);
    QTextStream out(&bytes, QIODevice::WriteOnly);
    const QVector<double> *columns[9] = {&in.gyroX, &in.gyroY, &in.gyroZ, &in.magX, &in.magY,
                                         &in.magZ,  &in.pitch, &in.roll,  &in.yaw};
    for (int i = 0; i < n; ++i) {
        if ((i & 4095) == 0 && stop.load(std::memory_order_relaxed))
            return QByteArray();
        for (int c = 0; c < 9; ++c) {
            if (c > 0)
                out << ' ';
            out << (*columns[c])[i];
        }
        out << '\n';
    }
    out.flush();
    return bytes;
}

QString WriteResult::message(const QString &path) const
{
    return Language::text("无法写入 %1：%2", "Could not write %1: %2").arg(path, error);
}

WriteResult write(const QString &path, const QByteArray &text)
{
    WriteResult result;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        result.error = file.errorString();
    } else if (file.write(text) != text.size() || !file.flush()) {
        result.error = file.errorString();
    } else {
        file.close();
        if (file.error() != QFileDevice::NoError)
            result.error = file.errorString();
        else
            result.ok = true;
    }
    if (!result.ok)
        qCWarning(lcCalib) << "cannot write" << path << ":" << result.error;
    return result;
}

} // namespace CabFile
