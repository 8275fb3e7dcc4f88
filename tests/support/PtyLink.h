#pragma once

// A serial link and its command sender on a pseudo-terminal whose master side the test reads,
// without the identification queries.

#include "serial/CommandSender.h"
#include "serial/SerialLink.h"
#include "tests/support/Pty.h"

#include <QElapsedTimer>
#include <QTest>

struct PtyLink
{
    PtyPair pty;
    IdentificationFlags flags;
    SerialLink link{&flags};
    CommandSender sender{&link};

    bool open()
    {
        QString message;
        if (!pty.isValid() || !link.open(pty.slavePath(), 115200, &message))
            return false;
        link.stopQueries();
        QTest::qWait(20); // a query handed over before the stop may still be on its way
        pty.readAll();
        return true;
    }
    // What the program wrote: read until `size` bytes arrived (or `ms` passed), then what
    // followed within 50 ms, so that a byte too many shows.
    QByteArray written(int size, int ms = 2000)
    {
        QByteArray line;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms && line.size() < size) {
            line += pty.readAll();
            QTest::qWait(5);
        }
        QTest::qWait(50);
        return line + pty.readAll();
    }
};
