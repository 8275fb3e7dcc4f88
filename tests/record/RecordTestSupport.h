#pragma once

#include "protocol/ItemKind.h"
#include "record/RecordWriter.h"

#include <QFile>
#include <QStringList>

#include <vector>

// A frame for the recorder, built from item IDs: every value of item i is i + 0.5, the
// UTC text fixed.
struct TestFrame
{
    std::vector<std::uint8_t> ids;
    std::uint32_t tid = 0;
    std::vector<double> values;
    QString utc;

    TestFrame(std::vector<std::uint8_t> itemIds, std::uint32_t frameTid)
        : ids(std::move(itemIds)), tid(frameTid)
    {
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (const ItemKind *k = ItemKind::find(ids[i]))
                values.insert(values.end(), k->valueCount, double(i) + 0.5);
            if (ids[i] == ItemId::Utc)
                utc = QStringLiteral("20240105090307005");
        }
    }
    RecordFrame frame() const
    {
        RecordFrame f;
        f.itemIds = ids.data();
        f.itemCount = int(ids.size());
        f.tid = tid;
        f.values = values.data();
        f.valueCount = int(values.size());
        f.utcDigits = utc;
        return f;
    }
};

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The lines of a record file (UTF-8), without the final empty one.
inline QStringList fileLines(const QString &path)
{
    QStringList lines = QString::fromUtf8(fileBytes(path)).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The fields of a line: every field ends in ", ".
inline QStringList lineFields(const QString &line)
{
    QStringList fields = line.split(QStringLiteral(", "));
    if (!fields.isEmpty() && fields.last().isEmpty())
        fields.removeLast();
    return fields;
}
