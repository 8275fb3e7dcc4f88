#include "calib/MagCalib2DClass.h"

MagCalib2DClass::MagCalib2DClass(const Calib2DInput &input, QObject *parent)
    : QThread(parent), m_input(input)
{
    setObjectName(QStringLiteral("MagCalib2DClass"));
}

MagCalib2DClass::~MagCalib2DClass()
{
    requestStop();
    wait();
}

void MagCalib2DClass::run()
{
    Calib2DResult r = Calib2DComputation::compute(m_input, m_stop);
    if (r.status == Calib2DResult::Status::OutOfMemory) {
        emit computationFailed();
        return;
    }
    if (r.status != Calib2DResult::Status::Done)
        return;
    m_result = std::move(r);
    m_hasResult.store(true, std::memory_order_release);
    const QVector<double> paras(m_result.parameters.begin(), m_result.parameters.end());
    emit sendCalib2DMessage(m_result.x, m_result.y, m_result.curveX, m_result.curveY,
                            Calib2DComputation::kCurvePoints, paras);
}
