// The sub-commands in the process, against a unit the test plays on a pseudo-terminal: the
// simulated unit's core answers, except where a case makes it refuse or stay silent. What
// arv-unit-sim cannot be made to do: answer its identification and then not a setting.

#include "cli/ExitCode.h"
#include "cli/SetCommand.h"
#include "protocol/Answer.h"
#include "protocol/CommandFrame.h"
#include "sim/UnitCore.h"
#include "support/Pty.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

namespace {

// What the played unit does with the answer to a setting of one command class.
enum class Reply
{
    Answer, // as the unit's core answers
    Fail,   // the failure status instead
    Silent  // nothing
};

// The unit on the master side: every command goes to a UnitCore, whose answers go back,
// except the answer to a setting of class `cls` (one with data), which `reply` decides.
class PlayedUnit : public QObject
{
public:
    PlayedUnit(PtyPair &pty, std::uint8_t cls, Reply reply)
        : m_pty(pty), m_core(UnitConfig()), m_cls(cls), m_reply(reply)
    {
        m_clock.start();
        connect(&m_timer, &QTimer::timeout, this, &PlayedUnit::serve);
        m_timer.start(2);
    }
    int settingsSeen() const { return m_settings; }

private:
    void serve()
    {
        m_in += m_pty.readAll();
        int at = m_in.indexOf("QV");
        while (at >= 0) {
            Answer command;
            const auto *bytes = reinterpret_cast<const std::uint8_t *>(m_in.constData() + at);
            if (!Answer::readAt(bytes, m_in.size() - at, command))
                break; // incomplete: wait for the rest
            const QByteArray frame = m_in.mid(at, command.totalLength());
            m_in.remove(0, at + command.totalLength());
            m_core.receive(frame, m_clock.elapsed() / 1000.0);
            QByteArray answers = m_core.takeAnswers();
            if (command.cls == m_cls && command.dataLength > (m_cls == 0x4D ? 1 : 0)) {
                ++m_settings;
                answers = alter(answers);
            }
            m_pty.write(answers);
            at = m_in.indexOf("QV");
        }
    }

    QByteArray alter(const QByteArray &answers) const
    {
        if (m_reply == Reply::Silent)
            return {};
        if (m_reply == Reply::Answer)
            return answers;
        Answer a;
        if (!Answer::readAt(reinterpret_cast<const std::uint8_t *>(answers.constData()),
                            answers.size(), a) ||
            a.dataLength == 0)
            return answers;
        QByteArray data(reinterpret_cast<const char *>(a.data), a.dataLength);
        data[data.size() - 1] = char(0xFF); // the failure status of every setting
        return CommandFrame::build(a.cls, a.op, data);
    }

    PtyPair &m_pty;
    UnitCore m_core;
    std::uint8_t m_cls;
    Reply m_reply;
    QByteArray m_in;
    QTimer m_timer;
    QElapsedTimer m_clock;
    int m_settings = 0;
};

} // namespace

class TestCliCommands : public QObject
{
    Q_OBJECT

private slots:
    void setting_data()
    {
        QTest::addColumn<QStringList>("setting");
        QTest::addColumn<int>("cls");
        QTest::addColumn<int>("reply");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        const QStringList rate{"--rate", "50"}, mode{"--mode", "VRU"},
            contents{"--contents", "acc"};
        QTest::newRow("rate confirmed")
            << rate << 0x03 << int(Reply::Answer) << int(ExitCode::Success) << "";
        QTest::newRow("rate refused")
            << rate << 0x03 << int(Reply::Fail) << int(ExitCode::Refused) << "output rate 50 Hz";
        QTest::newRow("rate unanswered")
            << rate << 0x03 << int(Reply::Silent) << int(ExitCode::NoAnswer) << "within 1000 ms";
        QTest::newRow("mode refused")
            << mode << 0x4D << int(Reply::Fail) << int(ExitCode::Refused) << "algorithm mode VRU";
        QTest::newRow("mode unanswered")
            << mode << 0x4D << int(Reply::Silent) << int(ExitCode::NoAnswer) << "within 1000 ms";
        QTest::newRow("contents refused")
            << contents << 0x04 << int(Reply::Fail) << int(ExitCode::Refused) << "contents 0x0080";
        QTest::newRow("contents unanswered") << contents << 0x04 << int(Reply::Silent)
                                             << int(ExitCode::NoAnswer) << "within 1000 ms";
    }
    // A setting counts only when the unit confirmed it; the first that fails ends the run.
    void setting()
    {
        QFETCH(QStringList, setting);
        QFETCH(int, cls);
        QFETCH(int, reply);
        QFETCH(int, code);
        QFETCH(QString, says);
        PtyPair pty;
        QVERIFY(pty.isValid());
        PlayedUnit unit(pty, std::uint8_t(cls), Reply(reply));
        QString out, progress;
        QTextStream outStream(&out), progressStream(&progress);
        CliOutput io{outStream, progressStream, false, nullptr};
        // A second setting after the first: it must not be sent when the first failed.
        const QStringList args = QStringList{"arv-cli set", "--port", pty.slavePath()} + setting +
                                 QStringList{"--unit-baud", "460800"};
        QElapsedTimer clock;
        clock.start();
        const CommandResult r = runSet(args, io);
        QCOMPARE(int(r.code), code);
        QVERIFY2(r.error.contains(says), qPrintable(r.error));
        QCOMPARE(unit.settingsSeen(), 1);
        // Silence: the watch waited its second (a coarse timer: up to 5 % early).
        if (Reply(reply) == Reply::Silent)
            QVERIFY2(clock.elapsed() >= 950, qPrintable(QString::number(clock.elapsed())));
        else
            QVERIFY(clock.elapsed() < 5000);
    }
};

QTEST_GUILESS_MAIN(TestCliCommands)
#include "tst_clicommands.moc"
