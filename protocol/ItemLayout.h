#pragma once

#include <QStringList>

#include <cstdint>
#include <string>

// The item layout of an output frame: its item IDs in frame order and what follows from them,
// the number of values and the names. The frame parser keeps one layout per item set it has
// seen and hands out pointers to it, so that frames of the same item set share one layout and
// nothing is allocated per frame. Immutable once built.
class ItemLayout
{
public:
    // ids: the frame's item IDs in order, one byte each (IDs that are no item kind add nothing).
    // Builds the names of both languages (allocates).
    explicit ItemLayout(std::string ids);

    // The item IDs, one byte each, in frame order.
    const std::string &ids() const { return m_ids; }
    const std::uint8_t *itemIds() const
    {
        return reinterpret_cast<const std::uint8_t *>(m_ids.data());
    }
    int itemCount() const { return int(m_ids.size()); }
    // Decoded values of a frame of this layout (without its TID).
    int valueCount() const { return m_valueCount; }
    // The record column names, one per value, in frame order (without "TID").
    const QStringList &columnNames(bool chinese) const
    {
        return chinese ? m_columnsChinese : m_columnsEnglish;
    }
    // The group names of the items, in frame order (the output-contents text).
    const QStringList &groupNames(bool chinese) const
    {
        return chinese ? m_groupsChinese : m_groupsEnglish;
    }

private:
    std::string m_ids;
    int m_valueCount = 0;
    QStringList m_columnsChinese, m_columnsEnglish;
    QStringList m_groupsChinese, m_groupsEnglish;
};
