// Not a Google Benchmark: N parse passes of k frames each, the pass of the main window (feed,
// trim the history, hand the sample vector to the slots for the time of the signal), for an
// instruction count that does not depend on the machine's load:
//   valgrind --tool=callgrind --toggle-collect='*measuredPasses*'
//       ./parser_passes [passes=20000] [frames per pass=1] [live|full]
// Instructions per frame = the collected count / (passes × frames per pass). The frame is the
// 42-byte frame of a unit sending temperature, acceleration, angular velocity and the fusion
// state ("live", the default) or one with every item kind ("full", 174 bytes). The warm-up,
// which fills the history, is not counted.
#include "protocol/FrameParser.h"
#include "tests/support/FrameBytes.h"

#include <QLoggingCategory>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using namespace FrameBytes;

volatile double g_sink;

QByteArray liveFrame(int tid)
{
    return frame(tid, item(0x01, le16(2500 + tid % 100)) + item3(0x10, 1000 + tid, -2000, 9806650) +
                          item3(0x20, tid, 2, -3) + item(0x80, QByteArray(1, char(0x44))));
}

// What a slot connected to messageReady does with the vector: reads it; the copy it got ends
// with the signal.
__attribute__((noinline)) void slot(QVector<double> samples)
{
    g_sink = samples.isEmpty() ? 0.0 : samples.constData()[0];
}

inline void pass(FrameParser &parser, const QByteArray &chunk)
{
    parser.feed(chunk.constData(), chunk.size());
    parser.trimHistory(1000);
    slot(parser.sampleVector());
}

__attribute__((noinline)) void warmUp(FrameParser &parser, const std::vector<QByteArray> &chunks)
{
    for (int i = 0; i < 2000; ++i)
        pass(parser, chunks[std::size_t(i) % chunks.size()]);
}

__attribute__((noinline)) void measuredPasses(FrameParser &parser,
                                              const std::vector<QByteArray> &chunks, int n)
{
    for (int i = 0; i < n; ++i)
        pass(parser, chunks[std::size_t(i) % chunks.size()]);
}

} // namespace

int main(int argc, char *argv[])
{
    QLoggingCategory::setFilterRules(QStringLiteral("arv.parser.items.debug=false"));
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;
    const int perPass = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    const bool full = argc > 3 && std::strcmp(argv[3], "full") == 0;
    // Chunks of perPass consecutive frames; 256 chunks cycle through the TIDs.
    std::vector<QByteArray> chunks;
    int tid = 0;
    for (int c = 0; c < 256; ++c) {
        QByteArray chunk;
        for (int k = 0; k < perPass; ++k, tid = (tid + 1) & 0xFFFF)
            chunk += full ? frame(tid, fullPayload(tid)) : liveFrame(tid);
        chunks.push_back(chunk);
    }
    FrameParser parser;
    warmUp(parser, chunks);
    measuredPasses(parser, chunks, n);
    std::printf("%d measured passes of %d %s frame(s) of %d bytes, %llu frames in all\n", n,
                perPass, full ? "full" : "live", chunks[0].size() / perPass,
                static_cast<unsigned long long>(parser.statistics().frames));
    return 0;
}
