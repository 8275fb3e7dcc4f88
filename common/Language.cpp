#include "common/Language.h"

#include <atomic>

namespace {
std::atomic<bool> g_chinese{true};
}

namespace Language {

bool isChinese()
{
    return g_chinese.load(std::memory_order_relaxed);
}

void setChinese(bool chinese)
{
    g_chinese.store(chinese, std::memory_order_relaxed);
}

QString text(const char *chinese, const char *english)
{
    return QString::fromUtf8(isChinese() ? chinese : english);
}

} // namespace Language
