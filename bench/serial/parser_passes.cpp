// Not a Google Benchmark: N parse passes of exactly one frame each (every item kind), the pass
// of bench_parser (feed, trim the history, hand out the sample vector), for an instruction
// count that does not depend on the machine's load:
//   valgrind --tool=callgrind --toggle-collect='*measuredPasses*' ./parser_passes 20000
// Instructions per pass = the collected count / 20000 (the warm-up, which fills the history,
// is not counted).
#include "protocol/FrameParser.h"
#include "tests/support/FrameBytes.h"

#include <QLoggingCategory>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

volatile double g_sink;

inline void pass(FrameParser &parser, const QByteArray &frame, QVector<double> &emitted)
{
    parser.feed(frame.constData(), frame.size());
    parser.trimHistory(1000);
    emitted = parser.sampleVector(); // what messageReady hands out
    g_sink = emitted.constData()[0];
}

__attribute__((noinline)) void warmUp(FrameParser &parser, const std::vector<QByteArray> &frames,
                                      QVector<double> &emitted)
{
    for (int i = 0; i < 2000; ++i)
        pass(parser, frames[std::size_t(i) % frames.size()], emitted);
}

__attribute__((noinline)) void measuredPasses(FrameParser &parser,
                                              const std::vector<QByteArray> &frames,
                                              QVector<double> &emitted, int n)
{
    for (int i = 0; i < n; ++i)
        pass(parser, frames[std::size_t(i) % frames.size()], emitted);
}

} // namespace

int main(int argc, char *argv[])
{
    QLoggingCategory::setFilterRules(QStringLiteral("arv.parser.items.debug=false"));
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;
    std::vector<QByteArray> frames;
    for (int tid = 0; tid < 256; ++tid)
        frames.push_back(FrameBytes::frame(tid, FrameBytes::fullPayload(tid)));
    FrameParser parser;
    QVector<double> emitted;
    warmUp(parser, frames, emitted);
    measuredPasses(parser, frames, emitted, n);
    std::printf("%d measured passes, %llu frames\n", n,
                static_cast<unsigned long long>(parser.statistics().frames));
    return 0;
}
