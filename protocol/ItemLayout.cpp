#include "protocol/ItemLayout.h"

#include "protocol/ItemKind.h"

ItemLayout::ItemLayout(std::string ids) : m_ids(std::move(ids))
{
    for (char id : m_ids) {
        const ItemKind *kind = ItemKind::find(std::uint8_t(id));
        if (!kind)
            continue;
        m_valueCount += kind->valueCount;
        for (int c = 0; c < kind->valueCount; ++c) {
            m_columnsChinese.append(kind->column(c, true));
            m_columnsEnglish.append(kind->column(c, false));
        }
        m_groupsChinese.append(kind->group(true));
        m_groupsEnglish.append(kind->group(false));
    }
}
