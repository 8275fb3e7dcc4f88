#pragma once

#include <QMetaType>
#include <QString>
#include <QtGlobal>

// What became of one write handed to the serial link.
struct SerialWriteResult
{
    enum class Status
    {
        Written,   // every byte was handed to the system's driver
        NotOpen,   // no port was open when the write reached the I/O thread
        Failed,    // the port refused the bytes or reported an error while writing
        TimedOut,  // not every byte left within the time-out; the rest may still leave later
        Discarded, // the port was closed or reopened, or its buffers cleared, first
    };

    Status status = Status::NotOpen;
    qint64 size = 0;         // bytes handed in
    qint64 bytesWritten = 0; // of those, bytes that left before the result
    QString detail;          // the system's reason, when it gave one

    bool ok() const { return status == Status::Written; }
    // One line for the message list, in the current interface language (call it where the
    // text is shown, not on the I/O thread).
    QString text() const;
};

Q_DECLARE_METATYPE(SerialWriteResult)
