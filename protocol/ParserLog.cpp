#include "protocol/ParserLog.h"

Q_LOGGING_CATEGORY(lcParser, "arv.parser")
Q_LOGGING_CATEGORY(lcParserItems, "arv.parser.items", QtInfoMsg)
