#include "record/RecordingController.h"

#include "common/Language.h"
#include "record/RecordNaming.h"

#include <QDate>
#include <QStandardPaths>

namespace {
const QString savedPrefix = QStringLiteral("File has been saved to ");
}

RecordingController::RecordingController(QObject *parent)
    : QObject(parent),
      m_recordDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)),
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
    makeUniqueRecordName(m_recordDir, m_recordBaseName);
    m_recordFilePath = ::recordFilePath(m_recordDir, m_recordBaseName);
    m_writer.begin(m_recordDir, m_recordBaseName, Language::isChinese());
    m_recordingStarted = m_recordFileBusy = m_recordingActive = true;
    m_clock.start();
    emit recordFileChanged(m_recordFilePath);
    emit message(savedPrefix + m_recordFilePath);
    return true;
}

void RecordingController::stop()
{
    if (!m_recordingStarted)
        return;
    m_writer.end();
    m_recordingStarted = m_recordFileBusy = m_recordingActive = false;
    m_clock.invalidate();
    if (m_writer.rowsLost() > 0) {
        emit message(Language::text("本次采样有 %1 行数据未能写入记录文件 %2。",
                                    "%1 rows of this recording could not be written to the "
                                    "record file %2.")
                         .arg(m_writer.rowsLost())
                         .arg(m_recordFilePath));
    }
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
        m_recordBaseName = m_writer.baseName();
        m_recordFilePath = event.path;
        emit recordFileChanged(event.path);
        emit message(savedPrefix + event.path);
        break;
    }
}
