#pragma once

#include "record/RecordLayout.h"
#include "record/RecordUtcConverter.h"

#include <QFile>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <vector>

// One decoded output frame as the recorder takes it. Nothing is copied: the pointers need to
// live only for the call.
struct RecordFrame
{
    const std::uint8_t *itemIds = nullptr; // the frame's item IDs in frame order
    int itemCount = 0;
    std::uint32_t tid = 0;
    const double *values = nullptr; // decoded values in frame order, without the TID
    int valueCount = 0;             // must equal the values of the items' kinds
    QStringView utcDigits;          // the frame's 17 UTC digits; empty when it has none
};

// What the writer tells its owner, as it happens. A failure is told once: the next
// OpenFailed or WriteFailed comes only after a Resumed.
struct RecordEvent
{
    enum class Type
    {
        OpenFailed,  // the file cannot be opened: nothing is being written
        WriteFailed, // writing failed (disk full, device gone): nothing is being written
        Resumed,     // after a failure, rows reach the file again
        NewFile,     // the frames' item set changed: the recording goes on in `path`
    };
    Type type = Type::NewFile;
    QString path;
    QString reason;       // the system's reason (failures)
    quint64 rowsLost = 0; // Resumed: rows dropped during the failure
};

// Writes one recording into record files: the header of a file is written with its first
// row; each frame is one row; a frame whose item set differs from the file's header closes
// that file and goes on in the next free name of the same folder with its own header.
//
// Rows are formatted into the writer's buffer and reach the file when the buffer holds
// writeBytes (64 KiB), on flush() and on end(); the file is opened without Qt's buffering, so
// what was written is exactly what reached the system. The bytes are UTF-8, without a
// byte-order mark, whatever the locale; lines end in a single line feed.
//
// Failures do not stop the recording. While the file cannot be opened or written, rows stay
// in the buffer (up to holdBytes, 16 MiB: some 18 s of every item at 2000 frames/s; later rows
// are dropped and counted) and every flush() tries again. A write that fails part-way is cut
// back, so the file holds whole rows only and everything written before stays intact.
//
// Cost per frame: one comparison of the item IDs with the current layout and the formatting
// of the row into the buffer; no allocation once the buffer has grown to its working size.
// Not thread-safe: one thread (the GUI thread) calls everything.
class RecordWriter
{
public:
    using EventHandler = std::function<void(const RecordEvent &)>;
    static constexpr int DefaultWriteBytes = 64 * 1024;
    static constexpr int DefaultHoldBytes = 16 * 1024 * 1024;

    RecordWriter();
    ~RecordWriter(); // end()
    RecordWriter(const RecordWriter &) = delete;
    RecordWriter &operator=(const RecordWriter &) = delete;

    // Called synchronously from writeFrame(), flush() and end().
    void setEventHandler(EventHandler handler) { m_onEvent = std::move(handler); }
    void setBufferLimits(int writeBytes, int holdBytes);

    // Starts a recording into recordFilePath(folder, baseName). No file is touched until the
    // first frame. Column names are Chinese when `chinese`, for every file of the recording.
    // Ends a recording in progress first.
    void begin(const QString &folder, const QString &baseName, bool chinese);
    // Takes one frame. False when it is not written: no recording, a value count that does
    // not fit its items (a caller's fault; logged once), or rows dropped during a failure.
    bool writeFrame(const RecordFrame &frame);
    // Hands the buffered rows to the system; during a failure, tries again. Call it often
    // (the owner's 100 ms tick): it bounds what a crash or a pulled disk can take.
    void flush();
    // Writes what is buffered (one more try during a failure), closes the file, and ends
    // the recording. A recording without frames leaves no file.
    void end();

    bool isRecording() const { return m_recording; }
    // True from a failure until rows reach the file again.
    bool isFailing() const { return m_failing; }
    // The current file has been opened and its header line queued behind it.
    bool headerWritten() const { return m_hasLayout && m_file.isOpen(); }
    const QString &folder() const { return m_folder; }
    const QString &baseName() const { return m_baseName; }
    // The current file: the one begun, or the last one the recording rolled over to.
    const QString &filePath() const { return m_path; }
    // Rows handed to the system, and rows that never will be (this recording).
    quint64 rowsWritten() const { return m_rowsWritten; }
    quint64 rowsLost() const { return m_rowsLost; }

private:
    bool adoptLayout(const RecordFrame &frame);
    bool openFile();
    bool writeOut();
    void dropBuffer();
    void reserve(std::size_t bytes);
    void fail(RecordEvent::Type type, const QString &reason);
    void report(RecordEvent::Type type, const QString &reason = QString(), quint64 lost = 0);

    EventHandler m_onEvent;
    std::size_t m_writeBytes = DefaultWriteBytes;
    std::size_t m_holdBytes = DefaultHoldBytes;

    QString m_folder;
    QString m_baseName;
    QString m_path;
    bool m_chinese = true;
    bool m_recording = false;
    bool m_failing = false;
    bool m_warnedBadFrame = false;

    RecordLayout m_layout;
    bool m_hasLayout = false; // the current file has a header (queued or written)
    RecordUtcConverter m_utc;

    QFile m_file;
    qint64 m_goodSize = 0; // bytes of the file that hold whole lines
    std::vector<char> m_buffer;
    std::size_t m_used = 0;
    quint64 m_rowsBuffered = 0;
    quint64 m_rowsWritten = 0;
    quint64 m_rowsLost = 0;
    quint64 m_lostInFailure = 0;
};
