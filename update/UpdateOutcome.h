#pragma once

#include <QMetaType>
#include <QString>

// How an update transfer ended: exactly one of these per transfer. The texts are in the
// language current when the transfer ended.
struct UpdateOutcome
{
    enum class Ending
    {
        Success,     // the unit accepted the finish frame
        UnitError,   // the unit answered with an error status
        TimedOut,    // a frame went unanswered after its three resends
        WriteFailed, // the port refused a frame
        PortLost,    // the port went away
        Cancelled    // the user stopped the transfer
    };
    enum class Box
    {
        Information,
        Warning
    };

    Ending ending = Ending::Cancelled;
    int op = -1;     // the answer that ended the transfer (Success, UnitError); else -1
    int status = -1; // its status byte as received (0xE2 stays 0xE2); else -1
    Box box = Box::Warning;
    QString title; // message box title
    QString text;  // message box text
    int framesAcknowledged = 0;
    int frames = 0; // in the transfer: P + 2
    int resends = 0;
    qint64 elapsedMs = 0;

    bool success() const { return ending == Ending::Success; }
    // One line for the message list: the text and, when there were any, the resends.
    QString summary() const;

    // The failure an update answer with this status brings, when the status is one of the
    // unit's error statuses (0xA0, 0xA1, 0xE0 to 0xE4, 0xFF; 0xE2 to the finish frame is
    // not an error). Returns false for 0x00 and for statuses the unit does not send.
    static bool fromErrorAnswer(int op, int status, UpdateOutcome *out);
    // The box of an ending that no error answer caused.
    static UpdateOutcome of(Ending ending);
};

Q_DECLARE_METATYPE(UpdateOutcome)
