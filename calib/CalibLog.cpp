#include "calib/CalibLog.h"

Q_LOGGING_CATEGORY(lcCalib, "arv.calib", QtInfoMsg)
