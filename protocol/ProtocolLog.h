#pragma once

#include <QLoggingCategory>

// Diagnostics of the unit's answers to queries and commands ("arv.protocol").
Q_DECLARE_LOGGING_CATEGORY(lcProtocol)
