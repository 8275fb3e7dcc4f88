#include "config/ConfigTexts.h"

#include "common/Language.h"

namespace ConfigTexts {

QString result(Result which, bool success)
{
    struct Texts
    {
        const char *zhOk;
        const char *enOk;
        const char *zhFailed;
        const char *enFailed;
    };
    static const Texts texts[] = {
        {"修改波特率指令成功写入设备！", "Modified baudrate instruction write device successfully!",
         "修改波特率指令写入失败！", "Modified baudrate instruction write device failed!"},
        {"修改输出频率指令成功写入设备！",
         "Modified frequency instruction write device successfully!", "修改输出频率指令写入失败！",
         "Modified frequency instruction write device failed!"},
        {"修改算法模式指令成功写入设备！",
         "Modified Algorithm instruction write device successfully!", "修改算法模式指令写入失败！",
         "Modified Algorithm instruction write device failed!"},
        {"修改输出内容指令成功写入设备！", "Modified Output instruction write device successfully!",
         "修改输出内容指令写入失败！", "Modified Output instruction write device failed!"},
        {"AHRS/VRU 模式切换成功！", "AHRS/VRU model has been switched successfully！",
         "AHRS/VRU 模式切换指令写入失败！",
         "AHRS/VRU model switch instruction write device failed!"},
        {"模式切换成功！", "The agreement has been switched successfully！",
         "输出协议切换指令写入失败！", "The agreement switch instruction write device failed!"},
        {"高低频模式切换成功！", "High/Low Frequency has been switched successfully！",
         "高低频模式切换指令写入失败！",
         "High/Low Frequency switch instruction write device failed!"},
    };
    const Texts &t = texts[int(which)];
    return success ? Language::text(t.zhOk, t.enOk) : Language::text(t.zhFailed, t.enFailed);
}

QString noAnswer(Setting setting, int timeoutMs)
{
    QString what;
    switch (setting) {
    case Setting::Frequency:
        what = Language::text("修改输出频率", "frequency");
        break;
    case Setting::Contents:
        what = Language::text("修改输出内容", "output contents");
        break;
    case Setting::AlgorithmMode:
        what = Language::text("修改算法模式", "algorithm mode");
        break;
    default:
        what = Language::text("配置", "configuration");
        break;
    }
    const QString seconds = QString::number(timeoutMs / 1000.0, 'g', 3);
    return Language::text("设备在 %1 秒内没有应答%2指令：串口波特率可能与设备不一致。",
                          "The unit did not answer the %2 command within %1 s: the baud rate "
                          "may not match the unit's.")
        .arg(seconds, what);
}

QString baudAdvice(int unitBaud)
{
    return Language::text("设备现在以 %1 波特率通信：请在“波特率”框中选择 %1，关闭并重新打开串口，"
                          "才能继续与设备通信。",
                          "The unit now talks at %1 baud: choose %1 in the Baudrate box, then "
                          "close and open the port again to keep talking to it.")
        .arg(unitBaud);
}

QString dataSettingsDone()
{
    return Language::text("数据配置成功！", "Data configuration successfully！");
}

QString notConnected()
{
    return Language::text("设备未连接！请先连接设备！",
                          "Data configuration failed, Please connect to the device first!");
}

QString restartSoon()
{
    return Language::text("串口即将被重启", "The serial port will be restarted soon");
}

} // namespace ConfigTexts
