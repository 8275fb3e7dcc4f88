#include "serial/LinkHealth.h"

#include "common/Language.h"

#include <utility>

LinkStateLook linkStateLook(LinkState state)
{
    auto t = &Language::text;
    switch (state) {
    case LinkState::Closed:
        break;
    case LinkState::Waiting:
        return {t("● 等待数据", "● Waiting for data"),
                t("串口刚打开，尚未收到有效帧", "The port has just opened: no valid frame yet"),
                QStringLiteral("#808080")};
    case LinkState::Flowing:
        return {t("● 数据正常", "● Data flowing"), t("正在收到有效帧", "Valid frames arrive"),
                QStringLiteral("#1a9c2f")};
    case LinkState::Garbled:
        return {t("● 无有效帧", "● No valid frames"),
                t("收到字节，但没有一个有效帧：波特率可能不匹配",
                  "Bytes arrive but none forms a valid frame: the baud rate probably does not "
                  "match"),
                QStringLiteral("#d08000")};
    case LinkState::Silent:
        return {t("● 无数据", "● No data"),
                t("没有收到任何字节：请检查线缆、电源和串口",
                  "No byte arrives: check the cable, the power and the port"),
                QStringLiteral("#c00000")};
    case LinkState::Searching:
        return {t("● 正在查找波特率", "● Finding the baud rate"),
                t("正在依次以各波特率监听，不发送任何数据",
                  "Listening at each baud rate in turn; nothing is sent"),
                QStringLiteral("#2060c0")};
    }
    return {};
}

void LinkHealth::start(const Counts &counts, qint64 nowMs, bool notice)
{
    m_samples.clear();
    m_samples.push_back({nowMs, counts.bytes, counts.frames + counts.answers});
    m_startMs = nowMs;
    m_bytesSinceStart = 0;
    m_everValid = false;
    m_noticeGiven = !notice;
    m_notice.clear();
    m_state = LinkState::Waiting;
}

void LinkHealth::stop()
{
    m_samples.clear();
    m_notice.clear();
    m_state = LinkState::Closed;
}

bool LinkHealth::sample(const Counts &counts, qint64 nowMs)
{
    if (m_state == LinkState::Closed)
        return false;
    const Sample now{nowMs, counts.bytes, counts.frames + counts.answers};
    const Sample &last = m_samples.back();
    if (now.bytes < last.bytes || now.valid < last.valid) {
        // The parser started again: a new baseline, the same session.
        m_samples.clear();
        m_samples.push_back(now);
    } else {
        m_bytesSinceStart += now.bytes - last.bytes;
        m_everValid = m_everValid || now.valid > last.valid;
        m_samples.push_back(now);
    }
    // The reference is the newest sample at least a window old (or the oldest there is).
    while (m_samples.size() > 2 && m_samples[1].t <= nowMs - WindowMs)
        m_samples.pop_front();
    const Sample &ref = m_samples.front();

    LinkState state;
    if (now.valid > ref.valid)
        state = LinkState::Flowing;
    else if (nowMs - ref.t < WindowMs)
        state = m_state; // less than a window seen since the start (or a new baseline)
    else if (now.bytes > ref.bytes)
        state = LinkState::Garbled;
    else
        state = LinkState::Silent;

    if (!m_everValid && !m_noticeGiven &&
        (state == LinkState::Garbled || state == LinkState::Silent)) {
        m_noticeGiven = true;
        const qint64 ms = nowMs - m_startMs;
        m_notice =
            state == LinkState::Garbled ? garbledNotice(m_bytesSinceStart, ms) : silentNotice(ms);
    }
    const bool changed = state != m_state;
    m_state = state;
    return changed;
}

QString LinkHealth::takeNotice()
{
    return std::exchange(m_notice, QString());
}

QString LinkHealth::garbledNotice(quint64 bytes, qint64 ms)
{
    return Language::text("%1 秒内收到 %2 字节，但没有一个有效帧：波特率可能不匹配"
                          "（可用“工具 → 查找波特率”）",
                          "%2 bytes received in %1 s, none of them a valid frame: the baud rate "
                          "probably does not match (try Tool → Find Baud Rate)")
        .arg(QString::number(double(ms) / 1000.0, 'f', 1))
        .arg(bytes);
}

QString LinkHealth::silentNotice(qint64 ms)
{
    return Language::text("%1 秒内没有收到任何数据：请检查线缆、电源和串口",
                          "No data in %1 s: check the cable, the power and the port")
        .arg(QString::number(double(ms) / 1000.0, 'f', 1));
}
