#include "record/RecordNaming.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

QString initialRecordBaseName(const QDate &date)
{
    return QStringLiteral("ARV") + date.toString(QStringLiteral("yyyyMMdd")) +
           QStringLiteral("_001");
}

QString recordFilePath(const QString &folder, const QString &baseName)
{
    return folder + QStringLiteral("//") + baseName + QStringLiteral(".csv");
}

void makeUniqueRecordName(const QString &folder, QString &baseName)
{
    while (QFileInfo::exists(recordFilePath(folder, baseName))) {
        const int keep = qMax(0, int(baseName.size()) - 3);
        const QString tail = baseName.mid(keep);
        bool digits = tail.size() == 3;
        for (const QChar c : tail)
            digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const int n = digits ? tail.toInt() : 0;
        baseName = baseName.left(keep) + QString::number(n + 1).rightJustified(3, QLatin1Char('0'));
    }
}

bool canWriteRecordFolder(const QString &folder, QString *reason)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".arv-record-XXXXXX")));
    if (probe.open())
        return true;
    if (reason)
        *reason = probe.errorString();
    return false;
}
