#pragma once

#include "record/RecordWriter.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class FrameParser;

// The recording life cycle that the main window drives: the record folder and name, the
// recording flags, the writer, and the texts the window shows. Widget-free; the window keeps
// the Record and Stop actions, the status-bar labels and the 100 ms timer.
//
// Contract for the owner (all on the GUI thread):
//  - start() when the user records (port open, recordFileBusy() clear); it emits message()
//    with "File has been saved to " + the path, for the message list.
//  - writePass() after every parse pass while recordingActive() is set (or writeFrame() for
//    every decoded frame, in arrival order): one row each. Cheap: no allocation per frame.
//  - flush() and elapsedText() on the 100 ms tick (flush also retries a failing file).
//  - stop() on Stop, on closing the port (user or lost device), on accepting data settings
//    and when the main window closes: the file is complete and closed, the flags cleared.
//  - message() carries every other line for the message list: a failure with the path and
//    the system's reason (once), writing starting after it, the next file after a change of
//    the unit's item set ("File has been saved to " + path), at stop what was written and
//    why the recording ended, and rows lost.
//  - The status label shows statusText(): "Recording", or that nothing reaches the file;
//    set it at start() and on every writingChanged().
class RecordingController : public QObject
{
    Q_OBJECT
public:
    // Why a recording ends; the message at stop says so.
    enum class StopCause
    {
        User,         // the Stop action
        PortClosed,   // the user closed the port
        DeviceLost,   // the port failed (cable pulled, device gone)
        DataSettings, // the unit took new data settings: its columns change
        WindowClosed, // the program closes
    };

    // recordDir: the documents folder; recordBaseName: "ARV" + today + "_001".
    explicit RecordingController(QObject *parent = nullptr);
    // The user's documents folder (it may not exist yet; start() makes it when it is the
    // record folder).
    static QString defaultRecordDir();
    ~RecordingController() override; // stop()

    // ---- Recording state ----
    const QString &recordDir() const { return m_recordDir; }
    // The folder of the next recording; a recording in progress keeps its file.
    void setRecordDir(const QString &folder) { m_recordDir = folder; }
    const QString &recordBaseName() const { return m_recordBaseName; }
    // The name of the next recording (without ".csv"); start() still moves it on to the next
    // free name. A recording in progress keeps its file.
    void setRecordBaseName(const QString &baseName) { m_recordBaseName = baseName; }
    // The file being written (after a roll-over, the newest one).
    const QString &recordFilePath() const { return m_recordFilePath; }
    bool recordingStarted() const { return m_recordingStarted; }
    bool recordFileBusy() const { return m_recordFileBusy; }
    bool recordingActive() const { return m_recordingActive; }
    bool recordHeaderWritten() const { return m_writer.headerWritten(); }
    // False while the file cannot be opened or written.
    bool isWriting() const { return !m_writer.isFailing(); }

    // ---- Texts for the status bar ----
    // "Recording", or that nothing is being written (both languages).
    QString statusText() const;
    // Time since start() as "hh:mm:ss:zzz" ("00:00:00:000" when not recording).
    QString elapsedText() const;

    // The underlying writer (statistics, buffer limits in tests).
    RecordWriter &writer() { return m_writer; }
    const RecordWriter &writer() const { return m_writer; }

    // Starts a recording: the next free name in recordDir (the documents folder made when
    // missing), the flags set, the elapsed clock started; column names in the language
    // current now. False (and nothing changes) when a recording is running.
    bool start();
    // Ends the recording: the buffered rows written, the file closed, the flags cleared; one
    // message says why it ended (cause) and what was written where. Safe to call at any time;
    // does nothing when no recording runs.
    void stop(StopCause cause = StopCause::User);

    // One row per frame; see RecordWriter::writeFrame. Ignored unless recordingActive().
    bool writeFrame(const RecordFrame &frame)
    {
        return m_recordingActive && m_writer.writeFrame(frame);
    }
    // Every frame of the parser's last pass, one row each, in order, each under the header of
    // its own item set. Returns the rows taken; 0 unless recordingActive().
    int writePass(const FrameParser &parser);
    void flush() { m_writer.flush(); }

signals:
    // One line for the message list.
    void message(const QString &text);
    // The file rows go to: at start() and when the recording rolls over to the next file.
    void recordFileChanged(const QString &path);
    // Whether rows reach the file; changes on a failure and when writing starts after it.
    void writingChanged(bool writing);

private:
    void onWriterEvent(const RecordEvent &event);
    QString stopText(StopCause cause) const;

    QString m_recordDir;
    QString m_recordBaseName;
    QString m_recordFilePath;
    bool m_recordingStarted = false;
    bool m_recordFileBusy = false;
    bool m_recordingActive = false;
    int m_files = 0; // files of this recording (more than one after a roll-over)
    RecordWriter m_writer;
    QElapsedTimer m_clock;
};
