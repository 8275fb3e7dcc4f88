#include "serial/SerialLog.h"

Q_LOGGING_CATEGORY(lcSerial, "arv.serial")
