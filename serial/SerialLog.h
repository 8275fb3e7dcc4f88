#pragma once

#include <QLoggingCategory>

// Diagnostics of the serial link: opening, loss and errors of the port ("arv.serial").
Q_DECLARE_LOGGING_CATEGORY(lcSerial)
