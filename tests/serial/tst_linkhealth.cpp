#include "common/Language.h"
#include "serial/BaudSearch.h"
#include "serial/LinkHealth.h"

#include <QtTest>

namespace {

// A link that the test plays tick by tick (100 ms each).
struct Script
{
    quint64 bytesPerTick = 0;
    quint64 framesPerTick = 0;
    int framesFromTick = 1;
    int framesUntilTick = 1 << 30; // frames stop after this tick (bytes go on)
    int answerAtTick = -1;         // one answer at this tick
};

struct Seen
{
    QMap<int, LinkState> stateAt; // tick → state after it
    QStringList notices;          // "tick:text"
};

Seen play(const Script &s, int ticks, LinkHealth &h, quint64 startBytes = 0)
{
    Seen seen;
    LinkHealth::Counts c;
    c.bytes = startBytes;
    h.start(c, 0);
    for (int tick = 1; tick <= ticks; ++tick) {
        c.bytes += s.bytesPerTick;
        if (tick >= s.framesFromTick && tick <= s.framesUntilTick)
            c.frames += s.framesPerTick;
        if (tick == s.answerAtTick)
            ++c.answers;
        h.sample(c, tick * 100);
        seen.stateAt[tick] = h.state();
        const QString notice = h.takeNotice();
        if (!notice.isEmpty())
            seen.notices << QStringLiteral("%1:%2").arg(tick).arg(notice);
    }
    return seen;
}

// The finder's line: a unit at unitBaud sends framesPerTick valid frames each 100 ms
// when the port is at its rate.
struct FakeLine
{
    int unitBaud = 115200;
    quint64 framesPerTick = 5;
    int at = 460800;
    QSet<int> refused;
    QList<int> opened;
    int clears = 0;
    quint64 frames = 0;

    BaudSearch::Line line()
    {
        BaudSearch::Line l;
        l.reopen = [this](int baud, QString *message) {
            if (refused.contains(baud)) {
                *message = QStringLiteral("refused %1").arg(baud);
                at = 0;
                return false;
            }
            at = baud;
            opened << baud;
            return true;
        };
        l.clearBuffers = [this] { ++clears; };
        l.validFrames = [this] { return frames; };
        return l;
    }
};

const QList<int> Rates{921600, 460800, 115200, 38400, 9600};

} // namespace

class TestLinkHealth : public QObject
{
    Q_OBJECT
private slots:
    void init() { Language::setChinese(false); }

    void classifiesTheLink_data()
    {
        QTest::addColumn<int>("bytesPerTick");
        QTest::addColumn<int>("framesPerTick");
        QTest::addColumn<int>("framesFrom");
        QTest::addColumn<int>("framesUntil");
        QTest::addColumn<int>("answerAt");
        QTest::addColumn<QString>("states"); // at 1.9 s, 2 s and 6 s
        QTest::addColumn<QString>("notice"); // "tick:start of the text", or empty
        // W waiting, F flowing, G garbled, S silent
        const auto row = [](const char *name, int bytes, int frames, int from, int until,
                            int answerAt, const char *states, const char *notice) {
            QTest::newRow(name) << bytes << frames << from << until << answerAt << states << notice;
        };
        row("silence", 0, 0, 1, 0, -1, "WSS", "20:No data in 2.0 s");
        row("wrong baud rate", 400, 0, 1, 0, -1, "WGG",
            "20:8000 bytes received in 2.0 s, none of them");
        row("frames flow", 420, 10, 1, 1000, -1, "FFF", "");
        // A unit that only answers: alive, so no notice; silent once the answer is old.
        row("answers only", 0, 0, 1, 0, 3, "FFS", "");
        // Frames stop after 3 s while bytes go on: shown, but not a first-contact notice.
        row("frames stop", 420, 10, 1, 30, -1, "FFG", "");
        // The first frame late, at 1.5 s: flowing, and no notice.
        row("late first frame", 100, 1, 15, 1000, -1, "FFF", "");
    }

    void classifiesTheLink()
    {
        QFETCH(int, bytesPerTick);
        QFETCH(int, framesPerTick);
        QFETCH(int, framesFrom);
        QFETCH(int, framesUntil);
        QFETCH(int, answerAt);
        QFETCH(QString, states);
        QFETCH(QString, notice);
        const QMap<LinkState, QString> letter{{LinkState::Waiting, "W"},
                                              {LinkState::Flowing, "F"},
                                              {LinkState::Garbled, "G"},
                                              {LinkState::Silent, "S"},
                                              {LinkState::Closed, "C"}};
        Script s;
        s.bytesPerTick = quint64(bytesPerTick);
        s.framesPerTick = quint64(framesPerTick);
        s.framesFromTick = framesFrom;
        s.framesUntilTick = framesUntil;
        s.answerAtTick = answerAt;
        LinkHealth h;
        QCOMPARE(h.state(), LinkState::Closed);
        const Seen seen = play(s, 60, h, 12345);
        QCOMPARE(letter.value(seen.stateAt[19]) + letter.value(seen.stateAt[20]) +
                     letter.value(seen.stateAt[60]),
                 states);
        if (notice.isEmpty()) {
            QCOMPARE(seen.notices, QStringList());
        } else {
            QCOMPARE(seen.notices.size(), 1); // once per session, however long it lasts
            QVERIFY2(seen.notices[0].startsWith(notice), qPrintable(seen.notices[0]));
        }
        h.stop();
        QCOMPARE(h.state(), LinkState::Closed);
        QVERIFY(!h.sample(LinkHealth::Counts{1, 1, 1}, 7000));
        QCOMPARE(h.state(), LinkState::Closed);
    }

    void aNewSessionGivesANewNoticeUnlessAsked()
    {
        LinkHealth h;
        Script silent;
        QCOMPARE(play(silent, 25, h).notices.size(), 1);
        QCOMPARE(play(silent, 25, h).notices.size(), 1);
        // The owner said it already (a baud search that found nothing).
        h.start(LinkHealth::Counts{}, 0, false);
        for (int tick = 1; tick <= 25; ++tick)
            h.sample(LinkHealth::Counts{}, tick * 100);
        QCOMPARE(h.state(), LinkState::Silent);
        QCOMPARE(h.takeNotice(), QString());
    }

    void aParserResetIsNotMistakenForSilence()
    {
        // Counters that go back (the parser was reset) while frames flow: still flowing
        // afterwards, and no notice for the data before the reset.
        LinkHealth h;
        LinkHealth::Counts c{50000, 900, 4};
        h.start(c, 0);
        c = {0, 0, 0};
        for (int tick = 1; tick <= 40; ++tick) {
            c.bytes += 420;
            c.frames += 10;
            h.sample(c, tick * 100);
            QVERIFY2(h.state() == LinkState::Flowing || tick == 1,
                     qPrintable(QString::number(tick)));
        }
        QCOMPARE(h.takeNotice(), QString());
    }

    void noticesAndLights()
    {
        QVERIFY(LinkHealth::silentNotice(2100).startsWith("No data in 2.1 s"));
        QVERIFY(LinkHealth::garbledNotice(77, 2000).contains("77"));
        // Every open state has its own light; closed shows none.
        QSet<QString> colours, labels;
        for (LinkState s : {LinkState::Waiting, LinkState::Flowing, LinkState::Garbled,
                            LinkState::Silent, LinkState::Searching}) {
            colours << linkStateLook(s).colour;
            labels << linkStateLook(s).label;
        }
        QCOMPARE(colours.size(), 5);
        QCOMPARE(labels.size(), 5);
        QVERIFY(linkStateLook(LinkState::Closed).label.isEmpty());
    }

    // ---- BaudSearch ----

    void findsTheRateOfTheFrames_data()
    {
        QTest::addColumn<int>("unitBaud");
        QTest::addColumn<int>("framesPerTick");
        QTest::addColumn<QList<int>>("refused");
        QTest::addColumn<int>("found");
        QTest::addColumn<QList<int>>("opened"); // every reopen, in order
        QTest::addColumn<int>("endsAt");
        QTest::addColumn<bool>("portOk");
        const QList<int> none;
        // The original rate (460800) last: it has already shown no frame.
        QTest::newRow("unit at 115200")
            << 115200 << 5 << none << 115200 << QList<int>{921600, 115200} << 115200 << true;
        QTest::newRow("unit at the original rate")
            << 460800 << 5 << none << 460800 << QList<int>{921600, 115200, 38400, 9600, 460800}
            << 460800 << true;
        QTest::newRow("no unit: back at the original rate")
            << 0 << 0 << none << 0 << QList<int>{921600, 115200, 38400, 9600, 460800} << 460800
            << true;
        QTest::newRow("a rate the port refuses is passed over")
            << 38400 << 5 << QList<int>{921600, 115200} << 38400 << QList<int>{38400} << 38400
            << true;
        // One frame a second: never EnoughFrames within a listen; the best rate wins and the
        // port goes back to it at the end.
        QTest::newRow("slow unit")
            << 115200 << -1 << none << 115200
            << QList<int>{921600, 115200, 38400, 9600, 460800, 115200} << 115200 << true;
        QTest::newRow("the original rate cannot be restored")
            << 0 << 0 << QList<int>{460800} << 0 << QList<int>{921600, 115200, 38400, 9600} << 0
            << false;
    }

    void findsTheRateOfTheFrames()
    {
        QFETCH(int, unitBaud);
        QFETCH(int, framesPerTick);
        QFETCH(QList<int>, refused);
        QFETCH(int, found);
        QFETCH(QList<int>, opened);
        QFETCH(int, endsAt);
        QFETCH(bool, portOk);
        FakeLine line;
        line.unitBaud = unitBaud;
        line.refused = QSet<int>(refused.begin(), refused.end());
        BaudSearch search(line.line());
        QVERIFY(search.start(Rates, 460800, 0));
        QVERIFY(search.isRunning());
        qint64 now = 0;
        while (search.poll(now)) {
            QVERIFY(now < 20000);
            QCOMPARE(search.listeningBaud(), line.at);
            now += 100;
            if (line.at == line.unitBaud && line.unitBaud != 0) {
                // framesPerTick -1: one frame a second
                if (framesPerTick >= 0)
                    line.frames += quint64(framesPerTick);
                else if ((now / 100) % 10 == 5)
                    line.frames += 1;
            }
        }
        QVERIFY(!search.isRunning());
        QCOMPARE(search.listeningBaud(), 0);
        QCOMPARE(line.opened, opened);
        QCOMPARE(line.at, endsAt);
        QCOMPARE(search.result().foundBaud, found);
        QCOMPARE(search.result().originalBaud, 460800);
        QCOMPARE(search.result().portOk, portOk);
        if (!portOk)
            QCOMPARE(search.result().failure, QStringLiteral("refused 460800"));
        // Each rate listened to starts empty, so that the previous rate's bytes do not count.
        QVERIFY(line.clears >= opened.size());
        // A wrong rate is heard for ListenMs, no longer; the whole search stays short.
        QVERIFY(now <= (Rates.size() + 1) * BaudSearch::ListenMs);
    }

    void framesBeforeTheListenDoNotCount()
    {
        // Frames counted before the search (at the original rate) or while the port was at
        // another rate are not the listened rate's.
        FakeLine line;
        line.frames = 1000;
        BaudSearch search(line.line());
        QVERIFY(search.start(Rates, 460800, 0));
        QVERIFY(search.poll(100));
        QCOMPARE(search.listeningBaud(), 921600);
        // A search runs once at a time; cancel leaves the port where it is.
        QVERIFY(!search.start(Rates, 460800, 100));
        search.cancel();
        QVERIFY(!search.poll(200));
        QCOMPARE(line.at, 921600);
        QVERIFY(!BaudSearch(line.line()).start({}, 460800, 0));
    }
};

QTEST_GUILESS_MAIN(TestLinkHealth)
#include "tst_linkhealth.moc"
