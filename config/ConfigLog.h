#pragma once

#include <QLoggingCategory>

// The configuration commands, their results and the unit's answers to them ("arv.config").
Q_DECLARE_LOGGING_CATEGORY(lcConfig)
