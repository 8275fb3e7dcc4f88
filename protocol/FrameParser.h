#pragma once

#include "protocol/ItemCodec.h"
#include "protocol/ItemKind.h"
#include "protocol/ItemLayout.h"
#include "protocol/SampleHistory.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// Which kinds of content the unit has sent since the port was opened.
using Content = ContentFlag;

// Identification state, written by the parser on the GUI thread and read by the
// identification query thread.
struct IdentificationFlags
{
    std::atomic<bool> productId{false};
    std::atomic<bool> version{false};
    std::atomic<bool> frequency{false};
    std::atomic<bool> algorithm{false};
    std::atomic<bool> complete{false};
    void clear();
    void updateComplete();
};

// One recognised answer of the unit, in arrival order. The parser has already applied
// its effect on the identification flags, model and suffix; the window shows the texts
// and forwards the results.
struct AnswerEvent
{
    enum class Type
    {
        ProductId,    // text: product ID as hex
        Version,      // text: version; forbidden: the unit has a model suffix
        Frequency,    // code 1..254: text "<rate> Hz", rate
        FrequencySet, // success: result of a set-frequency command
        Contents,     // success: result of a set-contents command
        Algorithm,    // code 1..254: text = mode name (empty for unknown codes)
        AlgorithmSet, // success: result of a set-algorithm command
        Update,       // op, status: firmware-update answer (update mode only)
    };
    Type type = Type::ProductId;
    bool success = false;
    bool forbidden = false;
    int code = 0;
    int rate = 0;
    int op = 0;
    int status = 0;
    QString text;

    // A successful frequency or algorithm setting: the parser has marked that value unknown,
    // so the identification queries must run again to read it back.
    bool restartsQueries() const
    {
        return success && (type == Type::FrequencySet || type == Type::AlgorithmSet);
    }
};

// One valid frame of a pass, for writers that take frame by frame (the recorder): each frame
// with its own item layout, so frames of different item sets in one pass stay apart.
struct PassFrame
{
    int tid = 0;
    const ItemLayout *layout = nullptr; // its item IDs and names; shared, never null
    int valuesAt = 0;                   // index into frameValues() of its first value
    int valueCount = 0;                 // its decoded values (its layout's value count)
    int utcAt = -1;                     // its UTC digits (see FrameParser::utcDigits)
    int utcLength = 0;
};

// Counters of the link since the last reset (port open).
struct LinkStatistics
{
    quint64 bytes = 0;             // bytes fed
    quint64 frames = 0;            // valid output frames published
    quint64 answers = 0;           // valid answers handled
    quint64 checksumFailures = 0;  // complete frame candidates with a wrong checksum
    quint64 malformedFrames = 0;   // right checksum, but an item that does not fit
    quint64 bytesDiscarded = 0;    // bytes that could begin neither a frame nor an answer
    quint64 stalledCandidates = 0; // frame or answer starts given up after waiting too long
    quint64 tidGaps = 0;           // places where the TID did not follow its predecessor
    quint64 framesLost = 0;        // TIDs missing in those gaps
};

// The byte-level receive side: turns chunks of received bytes into published frames and
// recognised answers. Each valid frame and each valid answer is handled exactly once, in
// the pass that completes it, and removed; bytes that can no longer begin either are
// dropped at once. Widget-free: the main window applies the results of each pass.
//
// A start that announces more bytes than have arrived is waited for, but not for ever: when
// it has not completed within stallTimeoutMs() of its length while further bytes arrived,
// its length byte is taken as damaged and it is dropped by one byte like a bad checksum, so
// that a damaged length byte cannot hold back the frames behind it. An intact frame arrives
// whole within that time, so none is lost by this.
class FrameParser
{
public:
    static constexpr int BufferLimit = 50000;
    // The longest answer data the parser waits for; the unit's answers are far shorter.
    static constexpr int MaxAnswerData = 255;

    FrameParser();

    // One parse pass over a newly received chunk.
    void feed(const char *data, int size);
    void feed(const QByteArray &chunk) { feed(chunk.constData(), chunk.size()); }

    // Forget everything a port session produced: buffer, series, flags, texts, model and
    // suffix, statistics, update mode (port open, close and loss).
    void reset();

    // The line's baud rate, from which the wait for an incomplete start follows (460800 until
    // set; values <= 0 are ignored).
    void setLineBaudRate(int baud);
    int lineBaudRate() const { return m_baud; }
    // How long a start announcing `bytes` bytes in all may wait for them: the time the line
    // needs to carry them, twice, plus StallMarginMs (so never less than that).
    static constexpr int StallMarginMs = 100;
    qint64 stallTimeoutMs(int bytes) const;
    // The clock of those waits, in milliseconds (tests give a fake one; empty: the steady
    // clock).
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    // Empties the receive buffer only.
    void clearBuffer();

    // Update mode, while a firmware transfer runs: a pass then only looks for the unit's
    // update answers (class 0xFF), reported as Update events; output frames and other answers
    // are skipped like any other bytes, so no frame is decoded and nothing reaches the
    // series, the views or the record file. Outside update mode class 0xFF answers are
    // ignored. A change of mode empties the receive buffer; reset() ends update mode.
    void setUpdateMode(bool on);
    bool updateMode() const { return m_updateMode; }
    // While set, the digit text of every decoded UTC item is kept for the recorder.
    void setRecording(bool on) { m_recording = on; }

    // Distinct item layouts kept; beyond this (a line that produces ever new item sets) all
    // but the newest are dropped at the start of the next pass.
    static constexpr int MaxLayouts = 256;

    // ---- Results of the last pass ----
    bool passHadData() const { return m_passHadData; }
    // Decoded values of every frame of the pass, frame after frame (no TID).
    const QVector<double> &sampleVector() const { return m_samples; }
    // Per frame: TID (as a double) followed by the frame's values.
    const QVector<double> &frameValues() const { return m_frameValues; }
    // 1 + the number of values of the last frame of the pass; 0 when the pass had no frame.
    int valueCount() const { return m_valueCount; }
    const PassSeries &passSeries() const { return m_pass; }
    // While recording: the digit text of every UTC item of the pass, in order. A UTC item
    // decoded while not recording empties the list.
    const QStringList &utcDigits() const { return m_utcDigits; }
    // Every valid frame of the pass, in order. The layouts stay valid at least until the next
    // feed() (they are kept for the parser's life unless MaxLayouts is exceeded); compare
    // layouts of different passes by their ids().
    const std::vector<PassFrame> &frames() const { return m_frames; }
    // A frame's decoded values: frame.valueCount of them (its TID stands just before).
    const double *values(const PassFrame &frame) const
    {
        return m_frameValues.constData() + frame.valuesAt;
    }
    // The digits of the frame's first UTC item ("yyyyMMddHHmmss" + "zzz"); empty when it has
    // none or the parser was not recording. Valid until the next feed().
    QStringView utcDigits(const PassFrame &frame) const
    {
        return frame.utcAt < 0 ? QStringView()
                               : QStringView(m_utcText.data() + frame.utcAt, frame.utcLength);
    }
    const std::vector<AnswerEvent> &answers() const { return m_answers; }
    int framesInPass() const { return m_framesInPass; }

    // What the read-outs show, from the last frame of the pass that carried it: its
    // temperature, its UTC item, its fusion state (only a state whose two nibbles have names).
    bool passHasTemperature() const { return m_passHasTemperature; }
    double passTemperature() const { return m_passTemperature; }
    bool passHasUtc() const { return m_passHasUtc; }
    const UtcFields &passUtc() const { return m_passUtc; }
    bool passHasFusion() const { return m_passHasFusion; }
    FusionState passFusion() const { return FusionState{m_passFusion}; }

    // True when the pass changed the last frame's layout or the language of its names (the
    // column names and the output contents).
    bool namesChanged() const { return m_namesChanged; }

    // ---- State across passes ----
    SampleHistory &history() { return m_history; }
    const SampleHistory &history() const { return m_history; }
    void trimHistory(int limit) { m_history.trim(limit); }
    double latestTemperature() const { return m_latestTemperature; }
    // The item layout of the last frame (nullptr before the first frame after a reset).
    const ItemLayout *lastLayout() const { return m_layout; }
    // Record column names of the last frame (without "TID"), in the language current in the
    // pass that brought it.
    const QStringList &columnNames() const;
    bool content(Content c) const { return (m_content >> unsigned(c)) & 1u; }
    void clearContent() { m_content = 0; }
    IdentificationFlags &identification() { return m_ident; }
    const IdentificationFlags &identification() const { return m_ident; }
    const QString &productModel() const { return m_model; }
    const QString &versionSuffix() const { return m_suffix; }
    const LinkStatistics &statistics() const { return m_stats; }
    int bufferedBytes() const { return int(m_buf.size()); }

private:
    enum class Check
    {
        Valid,
        Invalid,   // wrong checksum
        Malformed, // right checksum, items that do not fit
        Incomplete,
        Skipped // not looked at in this mode
    };
    Check checkFrame(const std::uint8_t *b, std::size_t avail) const;
    Check checkAnswer(const std::uint8_t *b, std::size_t avail) const;
    void publishFrame(const std::uint8_t *b);
    void handleAnswer(const std::uint8_t *b, std::size_t avail);
    void beginPass();
    const ItemLayout *layoutFor(const std::string &ids);
    bool waitedTooLong(std::size_t p, int bytes, bool newBytes);
    qint64 nowMs() const;

    std::vector<std::uint8_t> m_buf;
    bool m_updateMode = false;
    bool m_recording = false;

    // pass results
    bool m_passHadData = false;
    QVector<double> m_samples;
    QVector<double> m_frameValues;
    int m_valueCount = 0;
    int m_framesInPass = 0;
    PassSeries m_pass;
    QStringList m_utcDigits;
    std::vector<PassFrame> m_frames;
    std::vector<char16_t> m_utcText; // the frames' UTC digits, one after the other
    bool m_passChinese = true;       // the language of the pass
    std::vector<AnswerEvent> m_answers;
    bool m_passHasTemperature = false;
    double m_passTemperature = 0;
    bool m_passHasUtc = false;
    UtcFields m_passUtc;
    bool m_passHasFusion = false;
    std::uint8_t m_passFusion = 0;
    bool m_namesChanged = false;

    // across passes
    SampleHistory m_history;
    std::vector<Quantity> m_onlyThisPass; // history series emptied at the start of every pass
    double m_latestTemperature = 0;
    std::unordered_map<std::string, std::unique_ptr<ItemLayout>> m_layouts;
    const ItemLayout *m_layout = nullptr; // of the last frame
    bool m_layoutChinese = true;          // the language its names were taken in
    std::uint32_t m_content = 0;
    IdentificationFlags m_ident;
    QString m_model;
    QString m_suffix;
    LinkStatistics m_stats;
    bool m_haveTid = false;
    int m_lastTid = 0;

    // The incomplete start at the front of the buffer, and since when it waits.
    int m_baud = 460800;
    std::function<qint64()> m_clock;
    bool m_waiting = false;
    qint64 m_waitingSinceMs = 0;
};
