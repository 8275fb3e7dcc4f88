#include "protocol/FrameParser.h"

#include "common/Language.h"
#include "protocol/Answer.h"
#include "protocol/Checksum.h"
#include "protocol/CommandLayout.h"
#include "protocol/OutputFrame.h"
#include "protocol/ParserLog.h"
#include "protocol/ProtocolLog.h"
#include "protocol/RateTables.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

constexpr std::uint8_t H1 = OutputFrame::Header1;
constexpr std::uint8_t H2 = OutputFrame::Header2;
// An output frame: 51 56, TID (2), LEN, LEN payload bytes, CK1, CK2.
constexpr std::size_t PayloadOffset = 5;
constexpr std::size_t FrameEnvelope = OutputFrame::EnvelopeSize;

// Appends n values to an unshared vector: one resize, one copy.
void appendValues(QVector<double> &to, const double *values, int n)
{
    if (n <= 0)
        return;
    const int at = to.size();
    to.resize(at + n);
    std::memcpy(to.data() + at, values, sizeof(double) * std::size_t(n));
}

bool checksumMatches(const std::uint8_t *b, std::size_t coveredEnd)
{
    // Covered bytes: offset 2 up to coveredEnd (exclusive); CK1, CK2 follow.
    const Checksum ck = Checksum::over(b + 2, coveredEnd - 2);
    return ck.ck1 == b[coveredEnd] && ck.ck2 == b[coveredEnd + 1];
}

} // namespace

void IdentificationFlags::clear()
{
    productId = false;
    version = false;
    frequency = false;
    algorithm = false;
    complete = false;
}

void IdentificationFlags::updateComplete()
{
    complete = productId && version && frequency && algorithm;
}

// ---------------------------------------------------------------- FrameParser

FrameParser::FrameParser()
{
    for (const ItemKind &kind : ItemKind::all())
        if (kind.series & SeriesUse::OnlyThisPass)
            for (int i = 0; i < kind.valueCount; ++i)
                m_onlyThisPass.push_back(kind.quantities[std::size_t(i)]);
    m_buf.reserve(8192);
    m_samples.reserve(1024);
    m_frameValues.reserve(1024);
}

void FrameParser::reset()
{
    m_buf.clear();
    beginPass();
    m_passHadData = false;
    m_valueCount = 0;
    m_history.clear();
    m_latestTemperature = 0;
    m_layout = nullptr;
    m_content = 0;
    m_ident.clear();
    m_model.clear();
    m_suffix.clear();
    m_stats = LinkStatistics();
    m_haveTid = false;
    m_lastTid = 0;
    m_utcDigits.clear();
    m_waiting = false;
    m_updateMode = false;
}

void FrameParser::setUpdateMode(bool on)
{
    if (on == m_updateMode)
        return;
    m_updateMode = on;
    // Bytes of one mode are never scanned by the other: what the unit sent before the
    // transfer, and what the transfer left behind, go.
    clearBuffer();
}

void FrameParser::clearBuffer()
{
    m_buf.clear();
    m_waiting = false;
}

void FrameParser::beginPass()
{
    // clear() keeps the capacity of an unshared vector; a vector handed out by value is
    // replaced by a fresh one of the same capacity instead.
    for (QVector<double> *v : {&m_samples, &m_frameValues}) {
        if (v->isDetached()) {
            v->clear();
        } else {
            const int capacity = v->capacity();
            *v = QVector<double>();
            v->reserve(capacity);
        }
    }
    m_pass.clear();
    for (Quantity q : m_onlyThisPass)
        m_history[q].clear();
    m_answers.clear();
    if (!m_utcDigits.isEmpty())
        m_utcDigits.clear(); // (clear() frees even an empty list's storage)
    m_frames.clear();
    m_utcText.clear();
    m_passChinese = Language::isChinese();
    if (m_layouts.size() > std::size_t(MaxLayouts)) {
        // Keep the last frame's layout (column names, the contents text), drop the others.
        std::unique_ptr<ItemLayout> last;
        if (m_layout)
            last = std::move(m_layouts[m_layout->ids()]);
        m_layouts.clear();
        if (last)
            m_layouts.emplace(last->ids(), std::move(last));
    }
    m_valueCount = 0;
    m_framesInPass = 0;
    m_passHasTemperature = false;
    m_passHasUtc = false;
    m_passHasFusion = false;
    m_namesChanged = false;
}

void FrameParser::feed(const char *data, int size)
{
    beginPass();
    m_passHadData = size > 0 || !m_buf.empty();
    if (size > 0) {
        m_buf.insert(m_buf.end(), reinterpret_cast<const std::uint8_t *>(data),
                     reinterpret_cast<const std::uint8_t *>(data) + size);
        m_stats.bytes += quint64(size);
    }

    const std::uint8_t *base = m_buf.data();
    const std::size_t n = m_buf.size();
    std::size_t p = 0;
    bool waiting = false;
    while (p < n) {
        const std::uint8_t *b = base + p;
        const std::size_t avail = n - p;
        if (b[0] != H1) {
            const void *next = std::memchr(b, H1, avail);
            const std::size_t skip =
                next ? std::size_t(static_cast<const std::uint8_t *>(next) - b) : avail;
            m_stats.bytesDiscarded += skip;
            p += skip;
            continue;
        }
        if (avail < 2)
            break; // a lone first header byte: wait
        if (b[1] != H2) {
            ++m_stats.bytesDiscarded;
            ++p;
            continue;
        }
        if (avail < PayloadOffset)
            break; // both kinds need five bytes before their length is known

        // In update mode only the unit's update answers are looked for: output frames (the
        // tail of the stream before the unit stopped it) are skipped, not decoded.
        const Check frame = m_updateMode ? Check::Skipped : checkFrame(b, avail);
        if (frame == Check::Valid) {
            publishFrame(b);
            p += std::size_t(b[4]) + FrameEnvelope;
            continue;
        }
        const Check answer =
            m_updateMode && b[2] != CommandClass::Update ? Check::Skipped : checkAnswer(b, avail);
        if (answer == Check::Valid) {
            const std::size_t length =
                std::size_t(CommandLayout::dataLengthOf(CommandLayout::lengthWordAt(b))) +
                CommandLayout::EnvelopeSize;
            handleAnswer(b, avail);
            p += length;
            continue;
        }
        if (frame == Check::Incomplete || answer == Check::Incomplete) {
            // May still become a frame or an answer, unless it has waited too long.
            const int frameBytes = frame == Check::Incomplete ? int(b[4] + FrameEnvelope) : 0;
            const int answerBytes =
                answer == Check::Incomplete
                    ? int(CommandLayout::dataLengthOf(CommandLayout::lengthWordAt(b))) +
                          CommandLayout::EnvelopeSize
                    : 0;
            if (!waitedTooLong(p, std::max(frameBytes, answerBytes), size > 0)) {
                waiting = true;
                break;
            }
            ++m_stats.stalledCandidates;
            ++m_stats.bytesDiscarded;
            ++p;
            continue;
        }
        if (frame == Check::Invalid)
            ++m_stats.checksumFailures;
        else if (frame == Check::Malformed)
            ++m_stats.malformedFrames;
        ++m_stats.bytesDiscarded;
        ++p;
    }
    // Only a start the scan stopped at just now keeps waiting (the front of the buffer).
    m_waiting = waiting;
    if (p > 0)
        m_buf.erase(m_buf.begin(), m_buf.begin() + std::ptrdiff_t(p));

    // Last safeguard; the scan never keeps more than one unfinished frame or answer.
    if (m_buf.size() > std::size_t(BufferLimit)) {
        qCDebug(lcParser) << "缓冲区满了";
        m_stats.bytesDiscarded += m_buf.size();
        m_buf.clear();
        m_waiting = false;
    }
}

void FrameParser::setLineBaudRate(int baud)
{
    if (baud > 0)
        m_baud = baud;
}

qint64 FrameParser::stallTimeoutMs(int bytes) const
{
    // 10 bits a byte on the line (start, 8 data, stop), rounded up.
    const qint64 lineMs = (qint64(std::max(bytes, 0)) * 10 * 1000 + m_baud - 1) / m_baud;
    return 2 * lineMs + StallMarginMs;
}

qint64 FrameParser::nowMs() const
{
    if (m_clock)
        return m_clock();
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The scan stopped at an incomplete start at p, which announces `bytes` bytes in all. True
// when it is the start that already waited at the front of the buffer, further bytes came in
// this pass, and it has waited longer than the line needs for it. Otherwise it waits on (a
// start further on begins its wait now).
bool FrameParser::waitedTooLong(std::size_t p, int bytes, bool newBytes)
{
    if (p > 0 || !m_waiting) {
        m_waitingSinceMs = nowMs();
        return false;
    }
    return newBytes && nowMs() - m_waitingSinceMs > stallTimeoutMs(bytes);
}

FrameParser::Check FrameParser::checkFrame(const std::uint8_t *b, std::size_t avail) const
{
    const std::size_t len = b[4];
    if (avail < len + FrameEnvelope)
        return Check::Incomplete;
    if (!checksumMatches(b, PayloadOffset + len))
        return Check::Invalid;
    // Structure: every known item must have its length, and every item must fit.
    std::size_t q = PayloadOffset;
    const std::size_t end = PayloadOffset + len;
    while (q < end) {
        if (q + 2 > end)
            return Check::Malformed;
        const ItemKind *kind = ItemKind::find(b[q]);
        const std::size_t itemLen = b[q + 1];
        if (kind && itemLen != kind->length)
            return Check::Malformed;
        if (q + 2 + itemLen > end)
            return Check::Malformed;
        q += 2 + itemLen;
    }
    return Check::Valid;
}

FrameParser::Check FrameParser::checkAnswer(const std::uint8_t *b, std::size_t avail) const
{
    // Only answers that can have an effect are waited for: the classes the program acts
    // on, with the data they carry. Anything else at a header is dropped like any other
    // byte, so that a damaged frame never holds back the frames behind it for long.
    using namespace CommandLayout;
    const std::size_t dataLen = std::size_t(dataLengthOf(lengthWordAt(b)));
    if (dataLen > std::size_t(MaxAnswerData))
        return Check::Invalid;
    switch (b[2]) {
    case CommandClass::Identity: // product ID or version
        if (dataLen < 1 ||
            (avail > std::size_t(DataOffset) && b[DataOffset] != CommandSub::ProductId &&
             b[DataOffset] != CommandSub::Version))
            return Check::Invalid;
        break;
    case CommandClass::Frequency:
    case CommandClass::Algorithm:
    case CommandClass::Update:
        if (dataLen < 1)
            return Check::Invalid;
        break;
    case CommandClass::Contents: // one status byte
        if (dataLen != 1)
            return Check::Invalid;
        break;
    default:
        return Check::Invalid;
    }
    if (avail < dataLen + EnvelopeSize)
        return Check::Incomplete;
    return checksumMatches(b, dataLen + DataOffset) ? Check::Valid : Check::Invalid;
}

void FrameParser::publishFrame(const std::uint8_t *b)
{
    const int tid = b[2] | (b[3] << 8);
    ++m_stats.frames;
    if (m_haveTid && tid != ((m_lastTid + 1) & 0xFFFF)) {
        ++m_stats.tidGaps;
        m_stats.framesLost += quint64((tid - m_lastTid - 1) & 0xFFFF);
    }
    m_haveTid = true;
    m_lastTid = tid;
    ++m_framesInPass;

    m_content |= 1u << unsigned(ContentFlag::AnyFrame);
    m_pass.tids.append(tid);
    // The frame's item IDs, for its layout: at most one per two payload bytes.
    char ids[128];
    std::size_t idCount = 0;
    int utcAt = -1;
    int utcLength = 0;

    // The frame's values are decoded into one buffer and appended to the pass results at the
    // end: every item takes at least two payload bytes and gives at most four values.
    double values[2 * 255];
    int n = 0;
    const std::size_t end = PayloadOffset + std::size_t(b[4]);
    std::size_t q = PayloadOffset;
    while (q < end) {
        const std::uint8_t id = b[q];
        const std::size_t itemLen = b[q + 1];
        const std::uint8_t *d = b + q + 2;
        q += 2 + itemLen;
        const ItemKind *kind = ItemKind::find(id);
        if (!kind) {
            qCDebug(lcParser) << "出现了错误的帧数" << int(id);
            continue;
        }
        double *v = values + n;
        const int count = ItemCodec::decode(*kind, d, v);
        n += count;
        ids[idCount++] = char(id);
        m_content |= 1u << unsigned(kind->flag);

        // Into the series the item table names.
        if (const std::uint8_t use = kind->series) {
            for (int i = 0; i < count; ++i) {
                const Quantity quantity = kind->quantities[std::size_t(i)];
                if (use & SeriesUse::History)
                    m_history[quantity].append(v[i]);
                if (use & SeriesUse::PerPass)
                    m_pass.append(quantity, v[i]);
            }
        }

        // What only some items do besides.
        switch (id) {
        case ItemId::Temperature:
            m_latestTemperature = v[0];
            m_passTemperature = v[0];
            m_passHasTemperature = true;
            break;
        case ItemId::Acceleration:
            if (v[0] > 1000.0 || v[1] > 1000.0 || v[2] > 1000.0)
                qCDebug(lcParser) << "加速度出现问题";
            break;
        case ItemId::Utc:
            m_passUtc = UtcFields::read(d);
            m_passHasUtc = true;
            if (m_recording) {
                m_utcDigits.append(m_passUtc.digitText());
                if (utcAt < 0) {
                    utcAt = int(m_utcText.size());
                    m_utcText.resize(m_utcText.size() + UtcFields::MaxDigits);
                    utcLength = m_passUtc.writeDigits(m_utcText.data() + utcAt);
                    m_utcText.resize(std::size_t(utcAt + utcLength));
                }
            } else {
                m_utcDigits.clear();
            }
            break;
        case ItemId::PreciseLocation:
            qCDebug(lcParserItems) << "纬度:" << v[0] << "经度：" << v[1];
            break;
        case ItemId::FusionState: {
            FusionState fs;
            fs.byte = *d;
            if (fs.named()) {
                m_passFusion = fs.byte;
                m_passHasFusion = true;
                if (lcParserItems().isDebugEnabled())
                    qCDebug(lcParserItems)
                        << QString::fromUtf8(fs.insName()) << QString::fromUtf8(fs.gnssName());
            }
            break;
        }
        default:
            break;
        }
    }
    appendValues(m_samples, values, n);
    m_frameValues.append(double(tid));
    const int valuesAt = m_frameValues.size();
    appendValues(m_frameValues, values, n);
    m_valueCount = 1 + n;

    // The frame's layout: the previous frame's as a rule, found or built once otherwise. The
    // names follow the layout and the language.
    const bool sameLayout = m_layout && m_layout->ids().size() == idCount &&
                            std::memcmp(m_layout->ids().data(), ids, idCount) == 0;
    const ItemLayout *layout = sameLayout ? m_layout : layoutFor(std::string(ids, idCount));
    m_frames.push_back(PassFrame{tid, layout, valuesAt, n, utcAt, utcLength});
    if (layout != m_layout || m_passChinese != m_layoutChinese) {
        m_layout = layout;
        m_layoutChinese = m_passChinese;
        m_namesChanged = true;
    }
}

const ItemLayout *FrameParser::layoutFor(const std::string &ids)
{
    auto it = m_layouts.find(ids);
    if (it == m_layouts.end())
        it = m_layouts.emplace(ids, std::make_unique<ItemLayout>(ids)).first;
    return it->second.get();
}

const QStringList &FrameParser::columnNames() const
{
    static const QStringList none;
    return m_layout ? m_layout->columnNames(m_layoutChinese) : none;
}

void FrameParser::handleAnswer(const std::uint8_t *b, std::size_t avail)
{
    Answer a;
    if (!Answer::readAt(b, int(std::min<std::size_t>(avail, 1u << 20)), a))
        return;
    ++m_stats.answers;
    AnswerEvent e;
    switch (AnswerReader::kindOf(a)) {
    case AnswerReader::Kind::ProductId:
        e.type = AnswerEvent::Type::ProductId;
        e.text = AnswerReader::productIdText(a);
        qCDebug(lcProtocol) << "当前产品ID号：" << e.text;
        m_ident.productId = true;
        break;
    case AnswerReader::Kind::Version: {
        e.type = AnswerEvent::Type::Version;
        e.text = AnswerReader::versionText(a);
        qCDebug(lcProtocol) << "当前软件版本号：" << e.text;
        const AnswerReader::ModelSuffix ms = AnswerReader::splitVersion(e.text);
        m_model = ms.model;
        m_suffix = ms.suffix;
        e.forbidden = !m_suffix.isEmpty();
        m_ident.version = true;
        break;
    }
    case AnswerReader::Kind::Frequency: {
        const AnswerReader::StatusCode st = AnswerReader::frequencyStatus(a);
        if (st.status == AnswerReader::Status::Success) {
            qCDebug(lcProtocol) << "输出频率配置成功";
            e.type = AnswerEvent::Type::FrequencySet;
            e.success = true;
            m_ident.frequency = false;
        } else if (st.status == AnswerReader::Status::Failure) {
            qCDebug(lcProtocol) << "输出频率配置失败";
            e.type = AnswerEvent::Type::FrequencySet;
            e.success = false;
        } else {
            e.type = AnswerEvent::Type::Frequency;
            e.code = st.code;
            e.rate = RateTables::rateForCode(st.code, m_model, m_suffix);
            e.text = QString::number(e.rate) + QStringLiteral(" Hz");
            qCDebug(lcProtocol) << "输出频率为" << e.rate;
            m_ident.frequency = true;
        }
        break;
    }
    case AnswerReader::Kind::Contents: {
        bool ok = false;
        if (!AnswerReader::contentsStatus(a, ok))
            return; // removed without effect
        qCDebug(lcProtocol) << (ok ? "输出内容配置成功" : "输出内容配置失败");
        e.type = AnswerEvent::Type::Contents;
        e.success = ok;
        break;
    }
    case AnswerReader::Kind::Algorithm: {
        const AnswerReader::StatusCode st = AnswerReader::algorithmStatus(a);
        if (st.status == AnswerReader::Status::Success) {
            qCDebug(lcProtocol) << "算法模式配置成功";
            e.type = AnswerEvent::Type::AlgorithmSet;
            e.success = true;
            m_ident.algorithm = false;
        } else if (st.status == AnswerReader::Status::Failure) {
            qCDebug(lcProtocol) << "算法模式配置失败";
            e.type = AnswerEvent::Type::AlgorithmSet;
            e.success = false;
        } else {
            e.type = AnswerEvent::Type::Algorithm;
            e.code = st.code;
            e.text = RateTables::modeName(st.code);
            qCDebug(lcProtocol) << "算法模式为：" << e.text;
            m_ident.algorithm = true;
        }
        break;
    }
    case AnswerReader::Kind::Update: {
        if (!m_updateMode)
            return;
        const AnswerReader::UpdateAnswer u = AnswerReader::updateAnswer(a);
        e.type = AnswerEvent::Type::Update;
        e.op = u.op;
        e.status = u.status;
        break;
    }
    case AnswerReader::Kind::Other:
        return;
    }
    m_ident.updateComplete();
    m_answers.push_back(std::move(e));
}
