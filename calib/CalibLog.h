#pragma once

#include <QLoggingCategory>

// Diagnostics of the calibration workflows ("arv.calib").
Q_DECLARE_LOGGING_CATEGORY(lcCalib)
