#include "sim/SimLog.h"

Q_LOGGING_CATEGORY(lcSim, "arv.sim", QtInfoMsg)
