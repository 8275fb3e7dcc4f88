#pragma once

// Waits of the tests that are not "until something happens" (QTRY_VERIFY_WITH_TIMEOUT and
// friends cover those): checking that something does NOT happen.

#include <QElapsedTimer>
#include <QTest>

namespace TestWaits {

// Runs the event loop for ms milliseconds while watching happened(); returns true, at once, the
// first time happened() is true. For absences ("no further redraw fires", "nothing of the
// closed window runs"): no condition can end such a wait early when all is well, so it lasts
// ms; choose ms as a few times the period of what must not happen.
template <typename Condition> bool happensWithin(int ms, Condition happened)
{
    QElapsedTimer clock;
    clock.start();
    do {
        if (happened())
            return true;
        QTest::qWait(qMin<qint64>(5, qMax<qint64>(1, ms - clock.elapsed())));
    } while (clock.elapsed() < ms);
    return happened();
}

} // namespace TestWaits
