#pragma once

#include <QLoggingCategory>

// Diagnostics of the simulated unit ("arv.sim"): the commands it handled and a cut line. Off
// unless asked for with QT_LOGGING_RULES="arv.sim.debug=true", so that the program's own
// debug output stays as it is.
Q_DECLARE_LOGGING_CATEGORY(lcSim)
