// The frame parser fed a received stream in chunks of random sizes. Checked after every pass:
// - every published frame is a valid output frame of the stream (checksum recomputed here,
//   every item fitting, known items of their length), completely received by then, after the
//   frames published before it, with exactly its TID and decoded values;
// - the pass's results agree with each other (frames, TIDs, values, value count), and the
//   statistics count what was fed and published;
// - the receive buffer never holds more than one unfinished frame or answer.
// Input: two bytes that seed the chunk sizes (bit 0 also sets update mode), then the stream.

#include "FuzzSupport.h"

#include "protocol/FrameParser.h"
#include "protocol/ItemCodec.h"
#include "protocol/ItemKind.h"

#include <algorithm>
#include <map>
#include <vector>

namespace {

// The longest unfinished candidate: a frame or an answer with 255 data bytes, less one byte.
constexpr int kMaxHeld = 7 + std::max(255, FrameParser::MaxAnswerData) - 1;

struct Candidate
{
    std::size_t pos = 0;
    std::size_t end = 0;
    int tid = 0;
    std::vector<double> values;
};

// Every valid, well-formed output frame of the stream, whatever the bytes around it.
std::vector<Candidate> validFrames(const std::uint8_t *s, std::size_t n)
{
    std::vector<Candidate> out;
    for (std::size_t p = 0; p + 7 <= n; ++p) {
        if (s[p] != 0x51 || s[p + 1] != 0x56)
            continue;
        const std::size_t len = s[p + 4];
        if (p + 7 + len > n ||
            !fuzz::fletcherMatches(s + p + 2, len + 3, s[p + 5 + len], s[p + 6 + len]))
            continue;
        Candidate c;
        c.pos = p;
        c.end = p + 7 + len;
        c.tid = s[p + 2] | (s[p + 3] << 8);
        bool wellFormed = true;
        for (std::size_t q = p + 5, end = p + 5 + len; q < end && wellFormed;) {
            if (q + 2 > end) {
                wellFormed = false;
                break;
            }
            const ItemKind *kind = ItemKind::find(s[q]);
            const std::size_t itemLen = s[q + 1];
            if ((kind && itemLen != kind->length) || q + 2 + itemLen > end) {
                wellFormed = false;
                break;
            }
            if (kind) {
                double v[4];
                const int count = ItemCodec::decode(*kind, s + q + 2, v);
                FUZZ_CHECK(count == kind->valueCount, "decode gave %d values", count);
                c.values.insert(c.values.end(), v, v + count);
            }
            q += 2 + itemLen;
        }
        if (wellFormed)
            out.push_back(std::move(c));
    }
    return out;
}

// Matches each pass's frames, in order, to valid frames of the stream at increasing,
// non-overlapping positions. The values of a pass are not split per frame, so every way of
// splitting them is followed (in practice one), keeping for each the earliest stream position.
class FrameMatcher
{
public:
    explicit FrameMatcher(std::vector<Candidate> candidates) : m_candidates(std::move(candidates))
    {
        for (std::size_t i = 0; i < m_candidates.size(); ++i)
            m_byTid[m_candidates[i].tid].push_back(i);
    }

    // Returns the value count of the pass's last frame.
    int matchPass(const QVector<int> &tids, const QVector<double> &values, std::size_t received)
    {
        struct State
        {
            std::size_t cursor;
            int lastCount;
        };
        std::map<int, State> states{{0, {m_cursor, 0}}}; // value index -> state
        for (int k = 0; k < tids.size(); ++k) {
            std::map<int, State> next;
            for (const auto &[idx, st] : states) {
                if (idx >= values.size() || values[idx] != double(tids[k]))
                    continue; // another split of the values
                for (std::size_t ci : m_byTid[tids[k]]) {
                    const Candidate &c = m_candidates[ci];
                    const int count = int(c.values.size());
                    if (c.pos < st.cursor || c.end > received || idx + 1 + count > values.size() ||
                        !std::equal(c.values.begin(), c.values.end(), values.begin() + idx + 1))
                        continue;
                    const int after = idx + 1 + count;
                    auto it = next.find(after);
                    if (it == next.end() || c.end < it->second.cursor)
                        next[after] = {c.end, count};
                }
            }
            FUZZ_CHECK(!next.empty(),
                       "frame %d of the pass (TID %d) is no valid frame received after the "
                       "frames before it",
                       k, tids[k]);
            states.swap(next);
        }
        const auto done = states.find(values.size());
        FUZZ_CHECK(done != states.end(), "the pass's values hold more than its frames");
        m_cursor = done->second.cursor;
        return done->second.lastCount;
    }

private:
    std::vector<Candidate> m_candidates;
    std::map<int, std::vector<std::size_t>> m_byTid;
    std::size_t m_cursor = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::uint32_t seed = data[0] | (data[1] << 8);
    const std::uint8_t *stream = data + 2;
    const std::size_t n = size - 2;

    FrameMatcher matcher(validFrames(stream, n));
    fuzz::ChunkSizes chunks(seed);
    FrameParser parser;
    parser.setUpdateMode(seed & 1);
    std::size_t fed = 0;
    quint64 framesPublished = 0;
    while (fed < n) {
        const std::size_t chunk = std::min(n - fed, chunks.next(300));
        parser.feed(reinterpret_cast<const char *>(stream + fed), int(chunk));
        fed += chunk;

        const LinkStatistics &st = parser.statistics();
        FUZZ_CHECK(st.bytes == fed, "%llu bytes counted, %zu fed", (unsigned long long)st.bytes,
                   fed);
        FUZZ_CHECK(parser.bufferedBytes() >= 0 && parser.bufferedBytes() <= kMaxHeld,
                   "%d bytes held", parser.bufferedBytes());
        FUZZ_CHECK(st.bytesDiscarded + std::size_t(parser.bufferedBytes()) <= fed,
                   "more bytes discarded and held than fed");

        const QVector<int> &tids = parser.passSeries().tids;
        const int frames = parser.framesInPass();
        FUZZ_CHECK(tids.size() == frames, "%d TIDs for %d frames", int(tids.size()), frames);
        FUZZ_CHECK(parser.frameValues().size() == parser.sampleVector().size() + frames,
                   "%d frame values, %d samples, %d frames", int(parser.frameValues().size()),
                   int(parser.sampleVector().size()), frames);
        const int lastCount = matcher.matchPass(tids, parser.frameValues(), fed);
        FUZZ_CHECK(parser.valueCount() == (frames > 0 ? 1 + lastCount : 0),
                   "value count %d, last frame's values %d", parser.valueCount(), lastCount);
        framesPublished += quint64(frames);
        FUZZ_CHECK(st.frames == framesPublished, "%llu frames counted, %llu published",
                   (unsigned long long)st.frames, (unsigned long long)framesPublished);
        for (const AnswerEvent &e : parser.answers())
            FUZZ_CHECK(e.type != AnswerEvent::Type::Update || parser.updateMode(),
                       "update answer outside update mode");
    }
    return 0;
}
