#include "record/RecordWriter.h"

#include "record/RecordNaming.h"

#include <QLoggingCategory>

#include <cstring>

namespace {
Q_LOGGING_CATEGORY(lcRecord, "arv.record", QtInfoMsg)
}

RecordWriter::RecordWriter() = default;

RecordWriter::~RecordWriter()
{
    end();
}

void RecordWriter::setBufferLimits(int writeBytes, int holdBytes)
{
    m_writeBytes = std::size_t(qMax(1, writeBytes));
    m_holdBytes = std::size_t(qMax(writeBytes, holdBytes));
}

void RecordWriter::begin(const QString &folder, const QString &baseName, bool chinese)
{
    end();
    m_folder = folder;
    m_baseName = baseName;
    m_path = recordFilePath(folder, baseName);
    m_chinese = chinese;
    m_recording = true;
    m_failing = false;
    m_warnedBadFrame = false;
    m_layout = RecordLayout();
    m_hasLayout = false;
    m_utc.reset();
    m_goodSize = 0;
    m_used = 0;
    m_rowsBuffered = m_rowsWritten = m_rowsLost = m_lostInFailure = 0;
}

bool RecordWriter::writeFrame(const RecordFrame &frame)
{
    if (!m_recording)
        return false;
    if (!m_hasLayout || !m_layout.matches(frame.itemIds, frame.itemCount)) {
        if (!adoptLayout(frame))
            return false;
    } else if (frame.valueCount != m_layout.valueCount()) {
        if (!m_warnedBadFrame)
            qCWarning(lcRecord) << "frame with" << frame.valueCount << "values for"
                                << m_layout.valueCount() << "columns not recorded";
        m_warnedBadFrame = true;
        return false;
    }

    const std::size_t need = std::size_t(m_layout.maxRowBytes());
    if (m_failing && m_used + need > m_holdBytes) {
        ++m_rowsLost;
        ++m_lostInFailure;
        return false;
    }
    reserve(m_used + need);
    char *end = m_layout.writeRow(m_buffer.data() + m_used, frame.tid, frame.values,
                                  frame.utcDigits, m_utc);
    m_used = std::size_t(end - m_buffer.data());
    ++m_rowsBuffered;
    if (!m_failing && m_used >= m_writeBytes)
        writeOut();
    return true;
}

bool RecordWriter::adoptLayout(const RecordFrame &frame)
{
    RecordLayout layout(frame.itemIds, frame.itemCount, m_chinese);
    if (layout.valueCount() != frame.valueCount) {
        if (!m_warnedBadFrame)
            qCWarning(lcRecord) << "frame with" << frame.valueCount << "values for"
                                << layout.valueCount() << "columns not recorded";
        m_warnedBadFrame = true;
        return false;
    }
    if (m_hasLayout) {
        if (m_file.isOpen()) {
            // The file keeps its header and its rows; the new item set gets a file of its own.
            writeOut();
            dropBuffer();
            m_file.close();
            makeUniqueRecordName(m_folder, m_baseName);
            m_path = recordFilePath(m_folder, m_baseName);
            qCInfo(lcRecord) << "item set changed, recording goes on in" << m_path;
            report(RecordEvent::Type::NewFile);
        } else {
            // The file was never opened: nothing stands under the old header, and the rows
            // held for it would be misaligned under the new one.
            dropBuffer();
        }
    }
    m_layout = std::move(layout);
    m_hasLayout = true;
    m_goodSize = 0;
    const QByteArray &header = m_layout.headerLine();
    reserve(m_used + std::size_t(header.size()) + m_writeBytes);
    std::memcpy(m_buffer.data() + m_used, header.constData(), std::size_t(header.size()));
    m_used += std::size_t(header.size());
    if (!m_failing)
        openFile();
    return true;
}

bool RecordWriter::openFile()
{
    m_file.setFileName(m_path);
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        m_goodSize = m_file.size();
        return true;
    }
    fail(RecordEvent::Type::OpenFailed, m_file.errorString());
    return false;
}

bool RecordWriter::writeOut()
{
    if (!m_hasLayout)
        return true;
    if (!m_file.isOpen() && !openFile())
        return false;
    const char *p = m_buffer.data();
    qint64 left = qint64(m_used);
    while (left > 0) {
        const qint64 n = m_file.write(p, left);
        if (n <= 0) {
            const QString reason = m_file.errorString();
            // A part of a row may have gone out: cut the file back to its last whole line.
            if (!m_file.isSequential())
                m_file.resize(m_goodSize);
            fail(RecordEvent::Type::WriteFailed, reason);
            return false;
        }
        p += n;
        left -= n;
    }
    m_goodSize += qint64(m_used);
    m_used = 0;
    m_rowsWritten += m_rowsBuffered;
    m_rowsBuffered = 0;
    if (m_failing) {
        m_failing = false;
        report(RecordEvent::Type::Resumed, QString(), m_lostInFailure);
    }
    return true;
}

void RecordWriter::flush()
{
    if (m_recording && (m_used > 0 || (m_hasLayout && !m_file.isOpen())))
        writeOut();
}

void RecordWriter::end()
{
    if (!m_recording)
        return;
    flush();
    dropBuffer();
    m_file.close();
    m_recording = false;
    // A failure may have grown the buffer far beyond its working size.
    if (m_buffer.size() > 4 * m_writeBytes)
        std::vector<char>().swap(m_buffer);
    if (m_rowsLost > 0)
        qCWarning(lcRecord) << m_rowsLost << "rows not written to" << m_path;
}

void RecordWriter::dropBuffer()
{
    m_rowsLost += m_rowsBuffered;
    m_lostInFailure += m_rowsBuffered;
    m_rowsBuffered = 0;
    m_used = 0;
}

void RecordWriter::reserve(std::size_t bytes)
{
    if (m_buffer.size() < bytes)
        m_buffer.resize(bytes);
}

void RecordWriter::fail(RecordEvent::Type type, const QString &reason)
{
    if (m_failing)
        return;
    m_failing = true;
    m_lostInFailure = 0;
    qCWarning(lcRecord) << (type == RecordEvent::Type::OpenFailed ? "cannot open" : "cannot write")
                        << m_path << reason;
    report(type, reason);
}

void RecordWriter::report(RecordEvent::Type type, const QString &reason, quint64 lost)
{
    if (!m_onEvent)
        return;
    RecordEvent event;
    event.type = type;
    event.path = m_path;
    event.reason = reason;
    event.rowsLost = lost;
    m_onEvent(event);
}
