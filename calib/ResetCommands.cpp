#include "calib/ResetCommands.h"

#include "calib/AttitudeInput.h"
#include "calib/CalibLog.h"
#include "common/Language.h"
#include "protocol/CommandFrame.h"
#include "serial/CommandSender.h"
#include "serial/SerialWriteResult.h"

#include <QMessageBox>

namespace {

bool portOpen(const CalibrationHost &host, const QString &noPortText)
{
    if (host.sender && host.sender->canSend())
        return true;
    QMessageBox::information(host.window, Language::text("提示框", "Information"), noPortText,
                             QMessageBox::Ok);
    return false;
}

// Sends the frame; what became of it is said in the message list (done: what was written).
void send(const CalibrationHost &host, const QByteArray &frame, const QString &done,
          const char *chineseWhat, const char *englishWhat)
{
    const QString what = Language::text(chineseWhat, englishWhat);
    auto message = host.message;
    host.sender->send(frame, host.sender, [message, what, done](const SerialWriteResult &r) {
        if (!message)
            return;
        message(r.ok() ? done
                       : Language::text("%1未写入 ARV：%2", "%1 not written to ARV: %2")
                             .arg(what, r.text()));
    });
}

} // namespace

namespace ResetCommands {

void zeroHeading(const CalibrationHost &host)
{
    if (!portOpen(host, AttitudeInput::noPortHeadingText()))
        return;
    send(host, CommandFrame::zeroHeading(),
         Language::text("航向角置零指令已写入 ARV。", "Heading zero command written to ARV."),
         "航向角置零指令", "The heading zero command");
}

void setAttitude(const CalibrationHost &host, const QString &pitchText, const QString &rollText)
{
    if (!portOpen(host, AttitudeInput::noPortAttitudeText()))
        return;
    const AttitudeInput::Result input = AttitudeInput::parse(pitchText, rollText);
    if (!input.valid()) {
        QMessageBox box(QMessageBox::Critical, Language::text("错误", "Error"),
                        AttitudeInput::invalidText(), QMessageBox::Ok, host.window);
        box.setInformativeText(input.reason());
        box.exec();
        qCDebug(lcCalib) << "输入不合法";
        return;
    }
    qCDebug(lcCalib) << "合法";
    const QString done = Language::text("姿态角设置指令已写入 ARV：俯仰 %1°，横滚 %2°。",
                                        "Attitude set command written to ARV: pitch %1°, roll %2°.")
                             .arg(input.pitch.centidegrees / 100.0)
                             .arg(input.roll.centidegrees / 100.0);
    send(host, input.frame, done, "姿态角设置指令", "The attitude set command");
    qCDebug(lcCalib).noquote() << input.debugLine();
}

} // namespace ResetCommands
