#include "update/UpdateOutcome.h"

#include "common/Language.h"
#include "protocol/CommandLayout.h"

namespace {

// The unit's error statuses, what the user sees for each, per language. Status 0xFF means
// two things: to the finish frame, the update as a whole failed; to other frames, the frame.
enum class OpMatch
{
    Any,
    Finish,
    NotFinish
};
constexpr int OpFinish = CommandOp::UpdateFinish;

struct Side
{
    UpdateOutcome::Box box;
    const char *title;
    const char *text;
};
struct ErrorEntry
{
    int status;
    OpMatch op;
    Side zh, en;
};

using Box = UpdateOutcome::Box;
constexpr ErrorEntry Errors[] = {
    {0xA0,
     OpMatch::Any,
     {Box::Warning, "提醒", "same ver!"},
     {Box::Information, "information", "same ver!"}},
    {0xA1,
     OpMatch::Any,
     {Box::Warning, "提醒", "升级未开始!"},
     {Box::Information, "information", "update not start!"}},
    {0xE0,
     OpMatch::Any,
     {Box::Warning, "提醒", "parameter 错误!"},
     {Box::Warning, "information", "parameter error!"}},
    {0xE1,
     OpMatch::Any,
     {Box::Warning, "错误", "internal error!"},
     {Box::Warning, "error", "internal error!"}},
    {0xE2,
     OpMatch::NotFinish,
     {Box::Warning, "错误", "final check error!"},
     {Box::Warning, "error", "final check error!"}},
    {0xE3,
     OpMatch::Any,
     {Box::Warning, "错误", "校验出错!"},
     {Box::Warning, "error", "file header check error!"}},
    {0xE4,
     OpMatch::Any,
     {Box::Warning, "错误", "pack num error!"},
     {Box::Warning, "error", "pack num error!"}},
    {0xFF,
     OpMatch::Finish,
     {Box::Information, "提醒", "升级失败!"},
     {Box::Information, "information", "Upgrade failed!"}},
    {0xFF,
     OpMatch::NotFinish,
     {Box::Warning, "提醒", "Ack 错误!"},
     {Box::Information, "information", "Ack failed!"}},
};

struct EndingEntry
{
    UpdateOutcome::Ending ending;
    Side zh, en;
};
constexpr EndingEntry Endings[] = {
    {UpdateOutcome::Ending::Success,
     {Box::Information, "提醒", "升级成功!"},
     {Box::Information, "information", "Update successful!"}},
    {UpdateOutcome::Ending::TimedOut,
     {Box::Warning, "警告", "下位机响应超时"},
     {Box::Warning, "warning", "Lower computer response timeout！"}},
    {UpdateOutcome::Ending::WriteFailed,
     {Box::Warning, "警告", "写入串口失败，升级未完成，设备需要重新升级!"},
     {Box::Warning, "warning",
      "Writing to the serial port failed: the update did not complete and the unit needs a "
      "new update!"}},
    {UpdateOutcome::Ending::PortLost,
     {Box::Warning, "警告", "串口已断开，升级未完成，设备需要重新升级!"},
     {Box::Warning, "warning",
      "The serial port was lost: the update did not complete and the unit needs a new "
      "update!"}},
    {UpdateOutcome::Ending::Cancelled,
     {Box::Warning, "警告", "升级已取消，设备需要重新升级!"},
     {Box::Warning, "warning", "The update was cancelled: the unit needs a new update!"}},
};

bool opMatches(OpMatch match, int op)
{
    switch (match) {
    case OpMatch::Any:
        return true;
    case OpMatch::Finish:
        return op == OpFinish;
    case OpMatch::NotFinish:
        return op != OpFinish;
    }
    return false;
}

void apply(const Side &zh, const Side &en, UpdateOutcome *out)
{
    const Side &s = Language::isChinese() ? zh : en;
    out->box = s.box;
    out->title = QString::fromUtf8(s.title);
    out->text = QString::fromUtf8(s.text);
}

} // namespace

QString UpdateOutcome::summary() const
{
    if (resends == 0)
        return text;
    return text + Language::text("（重发 %1 次）", " (%1 resends)").arg(resends);
}

bool UpdateOutcome::fromErrorAnswer(int op, int status, UpdateOutcome *out)
{
    for (const ErrorEntry &e : Errors) {
        if (e.status != status || !opMatches(e.op, op))
            continue;
        out->ending = Ending::UnitError;
        out->op = op;
        out->status = status;
        apply(e.zh, e.en, out);
        return true;
    }
    return false;
}

UpdateOutcome UpdateOutcome::of(Ending ending)
{
    UpdateOutcome out;
    out.ending = ending;
    for (const EndingEntry &e : Endings) {
        if (e.ending == ending)
            apply(e.zh, e.en, &out);
    }
    return out;
}
