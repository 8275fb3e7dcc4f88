#include "calib/calibTip2DDialog.h"

calibTip2DDialog::calibTip2DDialog(QWidget *parent)
    : calibTipDialog(QStringLiteral("ARV Magnetometer 2D Calibration"),
                     {QStringLiteral("Step: Rotation about Z axis \n")}, parent)
{
}
