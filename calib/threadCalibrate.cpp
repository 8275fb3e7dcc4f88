#include "calib/threadCalibrate.h"

#include "calib/CabFile.h"
#include "calib/CalibLog.h"
#include "calib/calibrateWidget.h"

#include <new>

using namespace QtDataVisualization;

namespace {
constexpr int kCheckEvery = 4096; // points between looks at the stop and window flags
}

threadCalibrate::threadCalibrate(const Calib3DInput &input, const QString &cabPath, QObject *parent)
    : QThread(parent), m_input(input), m_cabPath(cabPath), m_widget(new calibrateWidget)
{
    setObjectName(QStringLiteral("threadCalibrate"));
    m_widget->setAttribute(Qt::WA_DeleteOnClose);
    // The worker reads this flag, never the window.
    connect(m_widget, &calibrateWidget::closeWidget, this, [this] { m_windowOpen.store(false); });
    connect(this, &threadCalibrate::pointsBuilt, this, &threadCalibrate::handPoints,
            Qt::QueuedConnection);
}

threadCalibrate::~threadCalibrate()
{
    requestStop();
    wait();
}

void threadCalibrate::run()
{
    Calib3DResult r = Calib3DComputation::compute(m_input, m_stop);
    if (r.status == Calib3DResult::Status::OutOfMemory) {
        emit computationFailed();
        return;
    }
    if (r.status != Calib3DResult::Status::Done)
        return; // stopped (too few samples is refused before the thread starts)
    m_result = std::move(r);
    m_hasResult.store(true, std::memory_order_release);
    emit sendCalibMessage(m_result.magnitudeBefore, m_result.magnitudeAfter, m_result.sampleCount);

    // The scatter graph's array, built here so that the GUI thread only takes it over.
    const std::vector<CloudPoint> &cloud = m_result.points;
    bool complete = !cloud.empty();
    try {
        m_points.resize(int(cloud.size()));
        QScatterDataItem *out = m_points.data();
        for (std::size_t i = 0; i < cloud.size(); ++i) {
            if (i % kCheckEvery == 0 && (m_stop.load() || !m_windowOpen.load())) {
                complete = false;
                break;
            }
            out[i].setPosition(QVector3D(cloud[i].x, cloud[i].y, cloud[i].z));
        }
    } catch (const std::bad_alloc &) {
        complete = false;
    }
    if (complete)
        emit pointsBuilt();
    else
        m_points.clear();

    const QByteArray text = CabFile::format(m_input, m_stop);
    if (text.isEmpty())
        return; // stopped
    const CabFile::WriteResult written = CabFile::write(m_cabPath, text);
    if (!written.ok) {
        qCDebug(lcCalib) << "heheda";
        emit cabFileFailed(m_cabPath, written.error);
    }
}

void threadCalibrate::handPoints()
{
    if (m_widget && m_windowOpen.load())
        m_widget->setPoints(m_points);
    m_points = QScatterDataArray(); // the series shares the storage; ours goes
}
