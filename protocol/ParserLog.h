#pragma once

#include <QLoggingCategory>

// Diagnostics of the frame parser ("arv.parser"): damaged or unknown items, a full buffer.
Q_DECLARE_LOGGING_CATEGORY(lcParser)
// Per-frame diagnostics ("arv.parser.items": high-precision location, fusion state): written
// for every such item, thousands of lines a second at full rate, so they are off unless asked
// for with QT_LOGGING_RULES="arv.parser.items.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcParserItems)
