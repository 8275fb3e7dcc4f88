#pragma once

#include <QLoggingCategory>

// The logging category of the calibration workflows ("arv.calib").
Q_DECLARE_LOGGING_CATEGORY(lcCalib)
