#pragma once

#include <QLoggingCategory>

// Diagnostics of the application shell: main window, views management ("arv.app").
Q_DECLARE_LOGGING_CATEGORY(lcApp)
