// Both fits running in two threads at once, including the very first call of the 3D fit
// (which sets up its model field): results must equal those of one thread, bit for bit.

#include "CalibSamples.h"
#include "calib/Calib3DFit.h"
#include "calib/DoubleArray.h"
#include "calib/Ellipse2DFit.h"

#include <QtTest>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

struct Results
{
    std::vector<Calib3DParameters> fits3D;
    std::vector<EllipseFit> fits2D;
};

bool sameBits(const void *p, const void *q, std::size_t size)
{
    return std::memcmp(p, q, size) == 0;
}

} // namespace

class TestCalibThreads : public QObject
{
    Q_OBJECT

private slots:
    void twoThreadsMatchOneThread()
    {
        const CalibSamples::Mat3 r{1.1, 0.02, 0, -0.03, 0.95, 0.01, 0.02, 0, 1.05};
        CalibSamples::Set set = CalibSamples::make(r, {0.1, 0.2, -0.3}, 1.0, 5000, 17);
        std::vector<double> ex, ey;
        CalibSamples::ellipse(3, 2, 20, 1, -2, 5000, ex, ey);
        const DoubleArray field = DoubleArray::wrap(set.field.data(), set.n, 3);
        const DoubleArray attitudes = DoubleArray::wrap(set.attitudes.data(), 3, set.n);
        const DoubleArray x = DoubleArray::wrap(ex.data(), static_cast<int>(ex.size()), 1);
        const DoubleArray y = DoubleArray::wrap(ey.data(), static_cast<int>(ey.size()), 1);

        constexpr int rounds = 20;
        std::atomic<int> ready{0};
        auto work = [&](Results &out) {
            ready.fetch_add(1);
            while (ready.load() < 2) {
            } // start together, so that the first 3D calls overlap
            for (int k = 0; k < rounds; ++k) {
                out.fits3D.push_back(fitCalib3D(field, attitudes));
                out.fits2D.push_back(fitEllipse2D(x, y));
            }
        };
        Results first, second;
        std::thread a(work, std::ref(first));
        std::thread b(work, std::ref(second));
        a.join();
        b.join();
        Results mixed; // one thread on each fit
        std::thread c([&] {
            for (int k = 0; k < rounds; ++k)
                mixed.fits3D.push_back(fitCalib3D(field, attitudes));
        });
        std::thread d([&] {
            for (int k = 0; k < rounds; ++k)
                mixed.fits2D.push_back(fitEllipse2D(x, y));
        });
        c.join();
        d.join();

        const Calib3DParameters reference3D = fitCalib3D(field, attitudes);
        const EllipseFit reference2D = fitEllipse2D(x, y);
        QVERIFY(std::fabs(reference3D[0] - 1.1) < 1e-9);
        QVERIFY(std::fabs(reference2D.tiltDegrees - 20) < 1e-9);
        for (const Results *results : {&first, &second, &mixed}) {
            QCOMPARE(int(results->fits3D.size()), rounds);
            QCOMPARE(int(results->fits2D.size()), rounds);
            for (const Calib3DParameters &p : results->fits3D)
                QVERIFY(sameBits(p.data(), reference3D.data(), sizeof(double) * 12));
            for (const EllipseFit &e : results->fits2D) {
                const double got[5] = {e.a, e.b, e.cx, e.cy, e.tiltDegrees};
                const double want[5] = {reference2D.a, reference2D.b, reference2D.cx,
                                        reference2D.cy, reference2D.tiltDegrees};
                QVERIFY(sameBits(got, want, sizeof got));
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestCalibThreads)
#include "tst_calibthreads.moc"
