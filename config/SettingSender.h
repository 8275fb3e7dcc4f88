#pragma once

#include "serial/CommandSender.h"

#include <QMetaType>
#include <QObject>
#include <QTimer>

#include <array>

// The unit's settings that the configuration dialogs send.
enum class Setting
{
    Baudrate,       // class 0x02: no answer, in effect on the unit at once
    Frequency,      // class 0x03: answered with a status
    Contents,       // class 0x04: answered with a status
    AlgorithmMode,  // class 0x4D, 0x02: answered with a status
    OutputProtocol, // class 0x4D, 0x03: no answer
    RateRange,      // class 0x4D, 0x04: no answer
};
// True for the settings the unit answers.
bool awaitsAnswer(Setting setting);
Q_DECLARE_METATYPE(Setting)

// Sends the configuration dialogs' commands through the command sender, and watches for the
// answer of each setting that the unit answers: when none came within AnswerTimeoutMs of
// sending it, noAnswer(setting) is emitted once (a unit that talks at another baud rate, or
// does not talk at all). An answer that comes later still counts for the caller; it only
// ends no watch any more. A second command of the same setting restarts its watch, so that
// one silence gives one noAnswer.
//
// GUI thread only (the command sender's thread). Nothing blocks: results and time-outs come
// from the event loop.
class SettingSender : public QObject
{
    Q_OBJECT
public:
    static constexpr int AnswerTimeoutMs = 1000;

    explicit SettingSender(CommandSender *sender, QObject *parent = nullptr);

    // True while a port is open, so that a setting would be written.
    bool canSend() const;

    // Sends frame as this setting. Returns false, and sends, watches and reports nothing,
    // when no port is open or the frame is empty. Otherwise done(result), when given, runs
    // once on context's thread when the write ended (not at all when context is gone by then);
    // a write that failed ends the setting's watch.
    bool send(Setting setting, const QByteArray &frame, QObject *context,
              CommandSender::Handler done = {});

    // The unit answered this setting (success or failure): its watch ends. Harmless when
    // nothing is watched.
    void answered(Setting setting);
    bool isAwaitingAnswer(Setting setting) const;

    // Tests: a shorter watch.
    void setAnswerTimeoutMs(int ms);

signals:
    void noAnswer(Setting setting);

private:
    QTimer &watch(Setting setting) { return m_watches[std::size_t(setting)]; }
    const QTimer &watch(Setting setting) const { return m_watches[std::size_t(setting)]; }

    CommandSender *m_sender;
    std::array<QTimer, 6> m_watches;
};
