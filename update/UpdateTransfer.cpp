#include "update/UpdateTransfer.h"

#include "common/Language.h"
#include "protocol/CommandLayout.h"
#include "update/QtUpdateTimer.h"
#include "update/UpdateImage.h"

#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcUpdate, "arv.update", QtInfoMsg)

constexpr int OpFinish = CommandOp::UpdateFinish;
constexpr int StatusOk = AnswerStatus::Success;
constexpr int StatusFinishOk = AnswerStatus::UpdateFinished; // a finish frame accepted

} // namespace

UpdateTransfer::UpdateTransfer(std::unique_ptr<UpdateTimer> timer, QObject *parent)
    : QObject(parent), m_timer(timer ? std::move(timer) : std::make_unique<QtUpdateTimer>())
{
    qRegisterMetaType<UpdateProgress>();
    qRegisterMetaType<UpdateOutcome>();
    m_timer->setCallback([this] { timeUp(); });
}

UpdateTransfer::~UpdateTransfer()
{
    m_timer->setCallback(nullptr);
    m_timer->stop();
}

bool UpdateTransfer::start(const QByteArray &image)
{
    if (isRunning())
        return false;
    QVector<QByteArray> frames = UpdateImage::frames(image);
    if (frames.isEmpty())
        return false;
    m_frames = std::move(frames);
    m_packets = m_frames.size() - 2;
    m_imageSize = image.size();
    m_index = 0;
    m_resendsOfFrame = 0;
    m_startedMs = m_timer->nowMs();
    m_progress = UpdateProgress();
    m_progress.frames = m_frames.size();
    m_progress.totalBytes = image.size();
    qCInfo(lcUpdate) << "transfer of" << image.size() << "bytes in" << m_packets << "data frames";
    arm();
    emit progressChanged(m_progress);
    flushOutbox();
    return true;
}

QString UpdateTransfer::frameName(int index) const
{
    if (index == 0)
        return Language::text("起始帧", "the start frame");
    if (index > m_packets)
        return Language::text("结束帧", "the finish frame");
    return Language::text("数据帧 %1/%2", "data frame %1 of %2").arg(index).arg(m_packets);
}

void UpdateTransfer::arm()
{
    m_phase = Phase::AwaitWrite;
    ++m_ticket;
    m_timer->start(timeoutMs());
    m_outboxFull = true;
}

void UpdateTransfer::flushOutbox()
{
    if (m_flushing)
        return; // the loop below hands the frame out once the handler has returned
    m_flushing = true;
    while (m_outboxFull && isRunning()) {
        m_outboxFull = false;
        const QByteArray frame = m_frames.at(m_index);
        emit frameReady(frame, m_ticket);
    }
    m_flushing = false;
}

void UpdateTransfer::frameWritten(quint64 ticket)
{
    if (m_phase != Phase::AwaitWrite || ticket != m_ticket) {
        qCDebug(lcUpdate) << "write report" << ticket << "ignored";
        return;
    }
    m_phase = Phase::AwaitAnswer;
    m_timer->start(timeoutMs());
}

void UpdateTransfer::writeFailed(quint64 ticket)
{
    if (!isRunning() || ticket != m_ticket) {
        qCDebug(lcUpdate) << "write failure" << ticket << "ignored";
        return;
    }
    end(UpdateOutcome::of(UpdateOutcome::Ending::WriteFailed));
}

void UpdateTransfer::answerReceived(int op, int status)
{
    if (!isRunning()) {
        qCDebug(lcUpdate) << "answer outside a transfer ignored: op" << op << "status" << status;
        return;
    }
    if (op == OpFinish && (status == StatusOk || status == StatusFinishOk)) {
        if (!atFinishFrame()) {
            qCWarning(lcUpdate) << "finish answer before the finish frame ignored";
            return;
        }
        UpdateOutcome success = UpdateOutcome::of(UpdateOutcome::Ending::Success);
        success.op = op;
        success.status = status;
        end(success);
        return;
    }
    if (status == StatusOk) {
        if (atFinishFrame()) {
            qCDebug(lcUpdate) << "late acknowledgement (op" << op << ") ignored";
            return;
        }
        acknowledge();
        return;
    }
    UpdateOutcome failure;
    if (UpdateOutcome::fromErrorAnswer(op, status, &failure)) {
        end(failure);
        return;
    }
    qCDebug(lcUpdate) << "unknown update status ignored: op" << op << "status" << status;
}

void UpdateTransfer::acknowledge()
{
    const int acked = m_index;
    m_progress.framesAcknowledged = acked + 1;
    m_progress.bytesSent += UpdateImage::imageBytesOf(m_imageSize, acked);
    m_progress.percent = UpdateProgress::percentAfter(acked, m_packets);
    updateRate();
    m_resendsOfFrame = 0;
    ++m_index;
    arm();
    emit progressChanged(m_progress);
    flushOutbox();
}

void UpdateTransfer::timeUp()
{
    if (!isRunning())
        return;
    if (m_resendsOfFrame >= MaxResendsPerFrame) {
        qCWarning(lcUpdate) << "no answer to frame" << m_index << "after" << MaxResendsPerFrame
                            << "resends";
        end(UpdateOutcome::of(UpdateOutcome::Ending::TimedOut));
        return;
    }
    ++m_resendsOfFrame;
    ++m_progress.resends;
    const QString text = m_phase == Phase::AwaitWrite
                             ? Language::text("%1写入超时，第 %2 次重发（最多 %3 次）",
                                              "%1 was not written in time: resend %2 of %3")
                             : Language::text("%1无应答，第 %2 次重发（最多 %3 次）",
                                              "No answer to %1: resend %2 of %3");
    const QString message =
        text.arg(frameName(m_index)).arg(m_resendsOfFrame).arg(MaxResendsPerFrame);
    qCInfo(lcUpdate) << "frame" << m_index << "resend" << m_resendsOfFrame;
    arm();
    emit resending(message);
    if (isRunning())
        emit progressChanged(m_progress);
    flushOutbox();
}

void UpdateTransfer::portLost()
{
    if (isRunning())
        end(UpdateOutcome::of(UpdateOutcome::Ending::PortLost));
}

void UpdateTransfer::cancel()
{
    if (isRunning())
        end(UpdateOutcome::of(UpdateOutcome::Ending::Cancelled));
}

void UpdateTransfer::updateRate()
{
    const qint64 elapsed = m_timer->nowMs() - m_startedMs;
    if (elapsed <= 0 || m_progress.bytesSent <= 0)
        return;
    m_progress.bytesPerSecond = double(m_progress.bytesSent) * 1000.0 / double(elapsed);
    m_progress.secondsLeft =
        double(m_progress.totalBytes - m_progress.bytesSent) / m_progress.bytesPerSecond;
}

void UpdateTransfer::end(UpdateOutcome outcome)
{
    m_phase = Phase::Finished;
    m_timer->stop();
    m_outboxFull = false;
    m_frames.clear();
    if (outcome.success()) {
        m_progress.framesAcknowledged = m_progress.frames;
        m_progress.bytesSent = m_progress.totalBytes;
        m_progress.percent = 100;
        updateRate();
        m_progress.secondsLeft = 0;
    }
    outcome.framesAcknowledged = m_progress.framesAcknowledged;
    outcome.frames = m_progress.frames;
    outcome.resends = m_progress.resends;
    outcome.elapsedMs = m_timer->nowMs() - m_startedMs;
    if (outcome.success()) {
        qCInfo(lcUpdate) << "update successful in" << outcome.elapsedMs << "ms with"
                         << outcome.resends << "resends";
        emit progressChanged(m_progress);
    } else {
        qCWarning(lcUpdate) << "update failed:" << outcome.text << "op" << outcome.op << "status"
                            << outcome.status << "after" << outcome.framesAcknowledged << "of"
                            << outcome.frames << "frames";
    }
    emit finished(outcome);
}
