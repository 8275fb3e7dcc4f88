#pragma once

#include "record/RecordColumnFormat.h"

#include <QByteArray>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <string>
#include <vector>

class RecordUtcConverter;

// The columns of a record file for one item set: "TID", then the record column names of the
// frame's items in frame order, each with its format, and the header line they give.
// Built once per item set (allocates); writing a row allocates nothing.
class RecordLayout
{
public:
    // No columns, not even "TID": a place holder until the first frame.
    RecordLayout() = default;
    // The layout of a frame whose items have these IDs, in this order; names in Chinese
    // when `chinese`. IDs that are no item kind add no column.
    RecordLayout(const std::uint8_t *itemIds, int itemCount, bool chinese);

    // Whether a frame with these ordered item IDs has exactly this layout's columns.
    bool matches(const std::uint8_t *itemIds, int itemCount) const
    {
        return m_ids.size() == std::size_t(itemCount) &&
               (itemCount == 0 ||
                m_ids.compare(0, m_ids.size(), reinterpret_cast<const char *>(itemIds),
                              std::size_t(itemCount)) == 0);
    }

    // Column names, "TID" first.
    const QStringList &names() const { return m_names; }
    // Formats, one per column, "TID" first.
    const std::vector<RecordColumnFormat> &formats() const { return m_formats; }
    // Decoded values a frame of this layout carries (every column but "TID").
    int valueCount() const { return m_formats.empty() ? 0 : int(m_formats.size()) - 1; }
    // Each name right-aligned to 5 characters and followed by ", ", then a line feed; UTF-8.
    const QByteArray &headerLine() const { return m_header; }
    // Upper bound of the bytes of one row.
    int maxRowBytes() const { return m_maxRowBytes; }

    // Writes one row at out (room for maxRowBytes()): the TID, then valueCount() values,
    // each by its column's format and followed by ", ", then a line feed. Every UTC column
    // shows utcDigits through the converter (empty when they are empty or unreadable).
    // Returns the end.
    char *writeRow(char *out, std::uint32_t tid, const double *values, QStringView utcDigits,
                   RecordUtcConverter &utc) const;

private:
    std::string m_ids;
    QStringList m_names;
    std::vector<RecordColumnFormat> m_formats;
    QByteArray m_header;
    int m_maxRowBytes = 1;
};
