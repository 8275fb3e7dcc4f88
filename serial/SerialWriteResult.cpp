#include "serial/SerialWriteResult.h"

#include "common/Language.h"

QString SerialWriteResult::text() const
{
    QString line;
    switch (status) {
    case Status::Written:
        return Language::text("已写入 %1 字节", "%1 bytes written").arg(bytesWritten);
    case Status::NotOpen:
        line = Language::text("串口未打开", "the port is not open");
        break;
    case Status::Failed:
        line = Language::text("串口写入出错", "the port reported a write error");
        break;
    case Status::TimedOut:
        line = Language::text("写入超时（已写入 %1/%2 字节）",
                              "the write timed out (%1 of %2 bytes written)")
                   .arg(bytesWritten)
                   .arg(size);
        break;
    case Status::Discarded:
        line = Language::text("串口已关闭或缓冲区已清空，数据未发出",
                              "the port was closed or its buffers cleared before the bytes left");
        break;
    }
    if (!detail.isEmpty())
        line += Language::text("：", ": ") + detail;
    return line;
}
