#pragma once

#include <QString>

#include <functional>

class CommandSender;
class QMdiArea;
class QWidget;

// What the calibration workflows need of the main window.
struct CalibrationHost
{
    QWidget *window = nullptr;                    // parent of their dialogs
    QMdiArea *area = nullptr;                     // where the point cloud and the result window go
    CommandSender *sender = nullptr;              // writes their commands to the unit
    std::function<void(const QString &)> message; // adds a line to the message list
};
