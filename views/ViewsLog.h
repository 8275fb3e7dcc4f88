#pragma once

#include <QLoggingCategory>

// Diagnostics of the view windows ("arv.views").
Q_DECLARE_LOGGING_CATEGORY(lcViews)
