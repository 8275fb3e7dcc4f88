#include "record/RecordingController.h"

#include "common/Language.h"
#include "protocol/FrameParser.h"
#include "record/RecordNaming.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
const QString savedPrefix = QStringLiteral("File has been saved to ");
}

QString RecordingController::defaultRecordDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

RecordingController::RecordingController(QObject *parent)
    : QObject(parent), m_recordDir(defaultRecordDir()),
      m_recordBaseName(initialRecordBaseName(QDate::currentDate()))
{
    m_writer.setEventHandler([this](const RecordEvent &e) { onWriterEvent(e); });
}

RecordingController::~RecordingController()
{
    // The file is completed and closed; nobody listens any more.
    blockSignals(true);
    stop();
}

bool RecordingController::start()
{
    if (m_recordingStarted)
        return false;
    // The documents folder may not exist yet (a new account, a minimal system): it is made.
    // Another folder is not: a missing one is said at the first row (a disk not mounted).
    if (m_recordDir == defaultRecordDir() && !QFileInfo(m_recordDir).isDir())
        QDir().mkpath(m_recordDir);
    makeUniqueRecordName(m_recordDir, m_recordBaseName);
    m_recordFilePath = ::recordFilePath(m_recordDir, m_recordBaseName);
    m_writer.begin(m_recordDir, m_recordBaseName, Language::isChinese());
    m_recordingStarted = m_recordFileBusy = m_recordingActive = true;
    m_files = 1;
    m_clock.start();
    emit recordFileChanged(m_recordFilePath);
    emit message(savedPrefix + m_recordFilePath);
    return true;
}

void RecordingController::stop(StopCause cause)
{
    if (!m_recordingStarted)
        return;
    m_writer.end();
    m_recordingStarted = m_recordFileBusy = m_recordingActive = false;
    m_clock.invalidate();
    emit message(stopText(cause));
    if (m_writer.rowsLost() > 0) {
        emit message(Language::text("本次采样有 %1 行数据未能写入记录文件 %2。",
                                    "%1 rows of this recording could not be written to the "
                                    "record file %2.")
                         .arg(m_writer.rowsLost())
                         .arg(m_recordFilePath));
    }
}

int RecordingController::writePass(const FrameParser &parser)
{
    if (!m_recordingActive)
        return 0;
    int rows = 0;
    for (const PassFrame &f : parser.frames()) {
        RecordFrame frame;
        frame.itemIds = f.layout->itemIds();
        frame.itemCount = f.layout->itemCount();
        frame.tid = std::uint32_t(f.tid);
        frame.values = parser.values(f);
        frame.valueCount = f.valueCount;
        frame.utcDigits = parser.utcDigits(f);
        rows += m_writer.writeFrame(frame) ? 1 : 0;
    }
    return rows;
}

QString RecordingController::stopText(StopCause cause) const
{
    QString why;
    switch (cause) {
    case StopCause::User:
    case StopCause::WindowClosed:
        why = Language::text("采样已结束", "Recording stopped");
        break;
    case StopCause::PortClosed:
        why = Language::text("串口已关闭，采样已结束", "The port was closed; recording stopped");
        break;
    case StopCause::DeviceLost:
        why = Language::text("设备断开，采样已结束", "The device was lost; recording stopped");
        break;
    case StopCause::DataSettings:
        why = Language::text("数据设置已更改，采样已结束",
                             "The data settings changed; recording stopped");
        break;
    }
    const quint64 rows = m_writer.rowsWritten();
    if (rows == 0 && m_writer.rowsLost() == 0)
        return why + Language::text("：没有收到数据，未创建记录文件。",
                                    ": no frame arrived, no record file was written.");
    if (rows == 0)
        return why + Language::text("：没有数据能写入 %1。", ": nothing could be written to %1.")
                         .arg(m_recordFilePath);
    if (m_files > 1)
        return why + Language::text("：%1 行写入 %2 个文件，最后一个是 %3。",
                                    ": %1 rows written to %2 files, the last one %3.")
                         .arg(rows)
                         .arg(m_files)
                         .arg(m_recordFilePath);
    return why + Language::text("：%1 行已写入 %2。", ": %1 rows written to %2.")
                     .arg(rows)
                     .arg(m_recordFilePath);
}

QString RecordingController::statusText() const
{
    return isWriting() ? QStringLiteral("Recording")
                       : Language::text("采样中：未写入任何数据", "Recording: nothing is written");
}

QString RecordingController::elapsedText() const
{
    const qint64 e = m_clock.isValid() ? m_clock.elapsed() : 0;
    const qint64 s = e / 1000;
    return QString::asprintf("%02lld:%02lld:%02lld:%03lld", s / 3600, s / 60 % 60, s % 60,
                             e % 1000);
}

void RecordingController::onWriterEvent(const RecordEvent &event)
{
    switch (event.type) {
    case RecordEvent::Type::OpenFailed:
        emit message(Language::text("无法打开记录文件 %1：%2。当前没有数据写入，程序会继续尝试。",
                                    "Cannot open the record file %1: %2. Nothing is being "
                                    "written; the program keeps trying.")
                         .arg(event.path, event.reason));
        emit writingChanged(false);
        break;
    case RecordEvent::Type::WriteFailed:
        emit message(Language::text("写入记录文件 %1 失败：%2。当前没有数据写入，程序会继续尝试。",
                                    "Writing the record file %1 failed: %2. Nothing is being "
                                    "written; the program keeps trying.")
                         .arg(event.path, event.reason));
        emit writingChanged(false);
        break;
    case RecordEvent::Type::Resumed: {
        QString text =
            Language::text("记录文件 %1 开始写入。", "The record file %1 is being written now.")
                .arg(event.path);
        if (event.rowsLost > 0)
            text += Language::text("之前有 %1 行数据未能写入。",
                                   " %1 rows before could not be written.")
                        .arg(event.rowsLost);
        emit message(text);
        emit writingChanged(true);
        break;
    }
    case RecordEvent::Type::NewFile:
        ++m_files;
        m_recordBaseName = m_writer.baseName();
        m_recordFilePath = event.path;
        emit recordFileChanged(event.path);
        emit message(savedPrefix + event.path);
        break;
    }
}
