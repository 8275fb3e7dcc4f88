#pragma once

#include "update/UpdateOutcome.h"
#include "update/UpdateProgress.h"
#include "update/UpdateTimer.h"

#include <QByteArray>
#include <QObject>
#include <QVector>

#include <memory>

// One firmware transfer to the unit, without I/O: it hands out frames, takes what happened
// to them, and decides. The frames go in order: the start frame, data frames 1 to P, the
// finish frame; each is sent when the one before it was acknowledged.
//
// Inputs (call on the thread that owns the object; each is ignored unless a transfer runs):
//   frameWritten(ticket)   every byte of the frame handed out with that ticket has left;
//   writeFailed(ticket)    that frame could not be written: the transfer fails at once;
//   answerReceived(op, s)  an update answer of the unit (class 0xFF): operation code and
//                          status byte, as the parser reports them;
//   portLost()             the port went away or closed: fails at once;
//   cancel()               the user stops the transfer: fails at once;
//   the timer's callback   time passes (see UpdateTimer).
// Outputs (signals, emitted synchronously from the inputs):
//   frameReady(frame, ticket)  write this frame whole, then report frameWritten(ticket) or
//                              writeFailed(ticket); a stale ticket is ignored. Inputs may
//                              be called from within the handler: the next frame is then
//                              handed out after the handler returns, not nested in it;
//   progressChanged(p)         after the start, after each acknowledgement and each resend;
//   resending(text)            a frame went unanswered and is sent again (message item);
//   finished(outcome)          exactly once per started transfer, whatever ends it.
//
// Rules:
//   - an answer with status 0x00 acknowledges the frame waiting for one (start or data
//     frame), even before its write was reported; while the finish frame waits, only an
//     operation code 6 answer with status 0x00 or 0xE2 ends the transfer, as a success; a
//     success answer before the finish frame was sent is ignored, as is a plain
//     acknowledgement while the finish frame waits (a late answer to a resent frame);
//   - every error status of the unit ends the transfer as failed with its message
//     (UpdateOutcome::fromErrorAnswer); other statuses are ignored;
//   - each sending waits Timeouts::frameMs (finishMs for the finish frame) for its write to
//     be reported, then as long again for the answer; when either wait runs out the
//     frame is sent again, at most three times per frame (the count restarts with each
//     acknowledgement), after which the transfer fails as timed out. A frame that is never
//     answered is thus sent four times.
//
// The owner (the update dialog) sets the parser's update mode and empties the port's and the
// parser's buffers just before start(), and clears the mode and empties them again in its
// finished() handler. Destroying a running transfer reports nothing: end it first with
// cancel() or portLost().
//
// Not thread-safe: one thread (the GUI thread) calls everything; results of an I/O thread
// arrive through queued connections. Cost: start() builds every frame at once, about
// 1.05 × the image size in memory for the transfer's duration; each input is O(1) apart
// from handing out a frame (a shared copy).
class UpdateTransfer : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxResendsPerFrame = 3;
    struct Timeouts
    {
        int frameMs = 5000;
        int finishMs = 10000;
    };

    // timer: the clock and timer to use; a QtUpdateTimer when null.
    explicit UpdateTransfer(std::unique_ptr<UpdateTimer> timer = nullptr,
                            QObject *parent = nullptr);
    ~UpdateTransfer() override;

    void setTimeouts(const Timeouts &t) { m_timeouts = t; }
    Timeouts timeouts() const { return m_timeouts; }

    // Starts a transfer of image: emits progressChanged (0 %) and frameReady for the start
    // frame before it returns. Returns false, and sends nothing, while a transfer runs or
    // when UpdateImage::check refuses the image. A finished transfer may be started again.
    bool start(const QByteArray &image);
    bool isRunning() const { return m_phase == Phase::AwaitWrite || m_phase == Phase::AwaitAnswer; }
    UpdateProgress progress() const { return m_progress; }
    // The time-out of the frame being sent (finishMs for the finish frame): in a frameReady
    // handler, the time-out to give its write.
    int timeoutMs() const { return atFinishFrame() ? m_timeouts.finishMs : m_timeouts.frameMs; }

public slots:
    void frameWritten(quint64 ticket);
    void writeFailed(quint64 ticket);
    void answerReceived(int op, int status);
    void portLost();
    void cancel();

signals:
    void frameReady(const QByteArray &frame, quint64 ticket);
    void progressChanged(const UpdateProgress &progress);
    void resending(const QString &text);
    void finished(const UpdateOutcome &outcome);

private:
    enum class Phase
    {
        Idle,
        AwaitWrite,
        AwaitAnswer,
        Finished
    };

    bool atFinishFrame() const { return m_index == m_frames.size() - 1; }
    QString frameName(int index) const;
    void arm();
    void flushOutbox();
    void acknowledge();
    void timeUp();
    void end(UpdateOutcome outcome);
    void updateRate();

    std::unique_ptr<UpdateTimer> m_timer;
    Timeouts m_timeouts;
    Phase m_phase = Phase::Idle;
    QVector<QByteArray> m_frames;
    int m_index = 0;   // the frame being sent
    int m_packets = 0; // P
    int m_imageSize = 0;
    int m_resendsOfFrame = 0;
    quint64 m_ticket = 0; // of the latest sending
    qint64 m_startedMs = 0;
    UpdateProgress m_progress;

    // frameReady is emitted from one place, so that an input called by its handler hands the
    // next frame out after the handler returns instead of nesting one call per frame.
    bool m_outboxFull = false;
    bool m_flushing = false;
};
