#pragma once

#include "protocol/ItemCodec.h"
#include "protocol/ItemKind.h"
#include "protocol/SampleHistory.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <cstdint>
#include <string>
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
};

// Counters of the link since the last reset (port open).
struct LinkStatistics
{
    quint64 bytes = 0;            // bytes fed
    quint64 frames = 0;           // valid output frames published
    quint64 answers = 0;          // valid answers handled
    quint64 checksumFailures = 0; // complete frame candidates with a wrong checksum
    quint64 malformedFrames = 0;  // right checksum, but an item that does not fit
    quint64 bytesDiscarded = 0;   // bytes that could begin neither a frame nor an answer
    quint64 tidGaps = 0;          // places where the TID did not follow its predecessor
    quint64 framesLost = 0;       // TIDs missing in those gaps
};

// The byte-level receive side: turns chunks of received bytes into published frames and
// recognised answers. Each valid frame and each valid answer is handled exactly once, in
// the pass that completes it, and removed; bytes that can no longer begin either are
// dropped at once. Widget-free: the main window applies the results of each pass.
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
    // suffix, statistics (port open, close and loss).
    void reset();
    // Empties the receive buffer only.
    void clearBuffer();

    // While set, class 0xFF answers are reported as Update events.
    void setUpdateMode(bool on) { m_updateMode = on; }
    bool updateMode() const { return m_updateMode; }
    // While set, the digit text of every decoded UTC item is kept for the recorder.
    void setRecording(bool on) { m_recording = on; }

    // ---- Results of the last pass ----
    bool passHadData() const { return m_passHadData; }
    // Decoded values of every frame of the pass, frame after frame (no TID).
    const QVector<double> &sampleVector() const { return m_samples; }
    // Per frame: TID (as a double) followed by the frame's values.
    const QVector<double> &frameValues() const { return m_frameValues; }
    // 1 + the number of values of the last frame of the pass; 0 when the pass had no frame.
    int valueCount() const { return m_valueCount; }
    const PassSeries &passSeries() const { return m_pass; }
    const QStringList &utcDigits() const { return m_utcDigits; }
    const std::vector<AnswerEvent> &answers() const { return m_answers; }
    int framesInPass() const { return m_framesInPass; }

    // Texts of the last frame of the pass that carried them (empty when none did).
    bool passHasTemperature() const { return m_passHasTemperature; }
    QString temperatureCelsiusText() const;    // "25.00 °C"
    QString temperatureFahrenheitText() const; // "77.00 °F"
    bool passHasUtc() const { return m_passHasUtc; }
    QString utcText() const; // local time "yyyy-MM-dd HH:mm:ss.zzz"
    bool passHasFusion() const { return m_passHasFusion; }
    QString insText() const;
    QString gnssText() const;

    // True when the pass changed the column names / the output-contents text.
    bool namesChanged() const { return m_namesChanged; }

    // ---- State across passes ----
    SampleHistory &history() { return m_history; }
    const SampleHistory &history() const { return m_history; }
    void trimHistory(int limit) { m_history.trim(limit); }
    double latestTemperature() const { return m_latestTemperature; }
    // Record column names of the last frame (without "TID"), in the language current
    // when that frame's item set was first seen.
    const QStringList &columnNames() const { return m_columnNames; }
    // The output-contents label text of the last frame.
    const QString &contentsText() const { return m_contentsText; }
    bool content(Content c) const { return (m_content >> unsigned(c)) & 1u; }
    void clearContent() { m_content = 0; }
    IdentificationFlags &identification() { return m_ident; }
    const IdentificationFlags &identification() const { return m_ident; }
    const QString &productModel() const { return m_model; }
    const QString &versionSuffix() const { return m_suffix; }
    const LinkStatistics &statistics() const { return m_stats; }
    int bufferedBytes() const { return int(m_buf.size()); }

    // The output-contents label text for a list of group names.
    static QString contentsLabel(const QStringList &groups, bool chinese);

private:
    enum class Check
    {
        Valid,
        Invalid,   // wrong checksum
        Malformed, // right checksum, items that do not fit
        Incomplete
    };
    Check checkFrame(const std::uint8_t *b, std::size_t avail) const;
    Check checkAnswer(const std::uint8_t *b, std::size_t avail) const;
    void publishFrame(const std::uint8_t *b);
    void handleAnswer(const std::uint8_t *b, std::size_t avail);
    void beginPass();

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
    std::string m_signature;     // item IDs of the last frame + language
    std::string m_workSignature; // of the frame being published
    QStringList m_columnNames;
    QString m_contentsText;
    std::uint32_t m_content = 0;
    IdentificationFlags m_ident;
    QString m_model;
    QString m_suffix;
    LinkStatistics m_stats;
    bool m_haveTid = false;
    int m_lastTid = 0;
};
