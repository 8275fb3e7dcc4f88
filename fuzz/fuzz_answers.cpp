// The unit's answers: Answer::readAt at every offset of the input, what AnswerReader takes
// from each answer found, and the parser's update answer scan over the same bytes as a
// received stream. Checked:
// - readAt accepts exactly the complete answers with a matching checksum (recomputed here),
//   never reads past `available`, and points its data inside the answer;
// - every reader result keeps to its contract (kinds, texts, status codes);
// - in update mode, every update event of the parser is a class 0xFF answer of the stream,
//   in order, with its operation and status.

#include "FuzzSupport.h"

#include "protocol/Answer.h"
#include "protocol/FrameParser.h"

#include <QStringList>

#include <vector>

namespace {

bool isAnswerAt(const std::uint8_t *b, std::size_t available, std::size_t &length)
{
    if (available < 7 || b[0] != 0x51 || b[1] != 0x56)
        return false;
    const std::size_t n = (unsigned(b[3]) | (unsigned(b[4]) << 8)) >> 3;
    length = n + 7;
    return available >= length && fuzz::fletcherMatches(b + 2, n + 3, b[5 + n], b[6 + n]);
}

void checkReader(const Answer &a)
{
    using namespace AnswerReader;
    const Kind kind = kindOf(a);
    const int n = a.dataLength;
    if (kind == Kind::Frequency || kind == Kind::Algorithm || kind == Kind::Update ||
        kind == Kind::ProductId || kind == Kind::Version)
        FUZZ_CHECK(n >= 1, "kind %d without data", int(kind));

    const QString id = productIdText(a);
    FUZZ_CHECK(id.size() == (n > 2 ? 3 * (n - 2) : 0),
               "product ID text of %d characters for %d "
               "data bytes",
               int(id.size()), n);
    const QString version = versionText(a);
    FUZZ_CHECK(version.size() <= std::max(n - 2, 0), "version text longer than its bytes");
    const ModelSuffix ms = splitVersion(version);
    static const QStringList known = {"U", "UH", "V", "VH", "A", "N", "R", "D"};
    FUZZ_CHECK(ms.suffix.size() <= 1 || known.contains(ms.suffix), "suffix %s",
               qPrintable(ms.suffix));
    FUZZ_CHECK(!ms.suffix.isEmpty() || ms.model.isEmpty() ||
                   version.split(QLatin1Char('-'), Qt::SkipEmptyParts).size() >= 4,
               "model without four parts");

    for (const StatusCode sc : {frequencyStatus(a), algorithmStatus(a)}) {
        const int last = a.lastDataByte();
        FUZZ_CHECK(last == (n > 0 ? int(a.data[n - 1]) : -1), "last data byte %d", last);
        const Status expected = last == 0     ? Status::Success
                                : last == 255 ? Status::Failure
                                              : Status::Value;
        FUZZ_CHECK(sc.status == expected && (sc.status != Status::Value || sc.code == last),
                   "status %d code %d for last byte %d", int(sc.status), sc.code, last);
    }
    bool success = false;
    const bool counts = contentsStatus(a, success);
    FUZZ_CHECK(counts == (n == 1) && (!counts || success == (a.data[0] != 0xFF)),
               "contents status");
    const UpdateAnswer u = updateAnswer(a);
    FUZZ_CHECK(u.op == a.op && u.op >= 0 && u.op <= 7, "update op %d", u.op);
    const int status = n >= 1 ? (a.op == 6 && a.data[0] == 0xE2 ? 0 : a.data[0]) : -1;
    FUZZ_CHECK(u.status == status, "update status %d, expected %d", u.status, status);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Every class 0xFF answer with data, in stream order: what the update scan may report.
    struct UpdateAnswerAt
    {
        std::size_t pos, end;
        int op, status;
    };
    std::vector<UpdateAnswerAt> updates;

    for (std::size_t p = 0; p < size; ++p) {
        // The input ends where `available` ends, so a read past it is caught.
        const std::uint8_t *rest = data + p;
        const std::size_t available = size - p;
        Answer a;
        const bool read = Answer::readAt(rest, int(available), a);
        std::size_t length = 0;
        const bool valid = isAnswerAt(rest, available, length);
        FUZZ_CHECK(read == valid, "readAt %d, independent check %d at offset %zu", read, valid, p);
        if (!read)
            continue;
        FUZZ_CHECK(std::size_t(a.totalLength()) == length && a.data == rest + 5 &&
                       a.cls == rest[2] && a.op == (rest[3] & 7),
                   "answer fields at offset %zu", p);
        checkReader(a);
        if (a.cls == 0xFF && a.dataLength >= 1) {
            const AnswerReader::UpdateAnswer u = AnswerReader::updateAnswer(a);
            updates.push_back({p, p + length, u.op, u.status});
        }
    }

    // The same bytes as a received stream in update mode, in chunks the input steers.
    unsigned seed = 0;
    for (std::size_t i = 0; i < std::min<std::size_t>(size, 4); ++i)
        seed = seed * 31 + data[i];
    fuzz::ChunkSizes chunks(seed);
    FrameParser parser;
    parser.setUpdateMode(true);
    std::size_t fed = 0, cursor = 0;
    while (fed < size) {
        const std::size_t chunk = std::min(size - fed, chunks.next(64));
        parser.feed(reinterpret_cast<const char *>(data + fed), int(chunk));
        fed += chunk;
        for (const AnswerEvent &e : parser.answers()) {
            if (e.type != AnswerEvent::Type::Update)
                continue;
            // The earliest-ending matching answer keeps every later match possible.
            const UpdateAnswerAt *best = nullptr;
            for (const UpdateAnswerAt &u : updates)
                if (u.pos >= cursor && u.end <= fed && u.op == e.op && u.status == e.status &&
                    (!best || u.end < best->end))
                    best = &u;
            FUZZ_CHECK(best,
                       "update event op %d status %d is no answer of the stream after "
                       "offset %zu",
                       e.op, e.status, cursor);
            cursor = best->end;
        }
    }
    return 0;
}
