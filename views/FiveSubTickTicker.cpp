#include "views/FiveSubTickTicker.h"

int FiveSubTickTicker::getSubTickCount(double)
{
    return 5;
}
