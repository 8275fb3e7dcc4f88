#pragma once

#include <QString>

// The interface language of the whole process. Chinese at start.
// Every window asks for its texts at the moment it builds them:
//     label->setText(Language::text("序列号:", "Serial Number:"));
// A window keeps the language it was built in; nothing is retranslated behind its back.
namespace Language {

bool isChinese();
void setChinese(bool chinese);

// The Chinese or the English literal (both UTF-8), by the current flag.
QString text(const char *chinese, const char *english);

} // namespace Language
