#include "high/High.h"
#include "high/HighPrivate.h"
#include "mid/Mid.h"
