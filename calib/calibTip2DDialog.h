#pragma once

#include "calib/calibTipDialog.h"

// The instruction dialog of the planar (2D) magnetometer calibration: one step, the turn
// about Z, otherwise as calibTipDialog.
class calibTip2DDialog : public calibTipDialog
{
    Q_OBJECT
public:
    explicit calibTip2DDialog(QWidget *parent = nullptr);
};
