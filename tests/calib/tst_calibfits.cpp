// The 3D calibration fit and the planar ellipse fit.

#include "CalibSamples.h"
#include "calib/Calib3DFit.h"
#include "calib/DoubleArray.h"
#include "calib/Ellipse2DFit.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <random>

using namespace CalibSamples;

Q_DECLARE_METATYPE(CalibSamples::Mat3)
Q_DECLARE_METATYPE(CalibSamples::Vec3)

namespace {

Calib3DParameters fit(Set &s)
{
    return fitCalib3D(DoubleArray::wrap(s.field.data(), s.n, 3),
                      DoubleArray::wrap(s.attitudes.data(), 3, s.n));
}

bool allNonFinite(const Calib3DParameters &x)
{
    for (double v : x)
        if (std::isfinite(v))
            return false;
    return true;
}

EllipseFit fitPoints(std::vector<double> &x, std::vector<double> &y)
{
    return fitEllipse2D(DoubleArray::wrap(x.data(), static_cast<int>(x.size()), 1),
                        DoubleArray::wrap(y.data(), static_cast<int>(y.size()), 1));
}

const Mat3 kGeneralR{1.2, 0.05, -0.03, 0.02, 0.9, 0.04, -0.06, 0.01, 1.1};
const Vec3 kGeneralX0{0.2, -0.1, 0.3};

} // namespace

class TestCalibFits : public QObject
{
    Q_OBJECT

private slots:
    void modelConstants()
    {
        const auto &h = Calib3DModel::earthFieldDirection();
        QCOMPARE(h[0], 0.0);
        QCOMPARE(h[1], std::sqrt(0.5));
        QCOMPARE(h[2], -std::sqrt(0.5));
        QVERIFY(std::fabs(Calib3DModel::targetDotProduct() - (-6.925121)) < 1e-6);
    }

    // True field = C^T h_n * scale, reading m with R m + X0 = field: the fit returns R / scale
    // and X0 / scale (the model field has unit magnitude).
    void recoversKnownCalibration_data()
    {
        QTest::addColumn<Mat3>("r");
        QTest::addColumn<Vec3>("x0");
        QTest::addColumn<double>("scale");
        const Mat3 identity{1, 0, 0, 0, 1, 0, 0, 0, 1};
        QTest::newRow("identity") << identity << Vec3{0, 0, 0} << 1.0;
        QTest::newRow("general") << kGeneralR << kGeneralX0 << 1.0;
        QTest::newRow("general, field x 3.7") << kGeneralR << kGeneralX0 << 3.7;
        QTest::newRow("raw counts") << Mat3{0.002, 0, 0.0001, 0, 0.0025, 0, 0.0002, 0, 0.0018}
                                    << Vec3{-0.4, 0.7, 0.1} << 0.5;
    }
    void recoversKnownCalibration()
    {
        QFETCH(Mat3, r);
        QFETCH(Vec3, x0);
        QFETCH(double, scale);
        Set s = make(r, x0, scale, 400, 11);
        const Calib3DParameters x = fit(s);
        for (int k = 0; k < 9; ++k)
            QVERIFY2(std::fabs(x[k] - r[k] / scale) < 1e-9 * (1 + std::fabs(r[k] / scale)),
                     qPrintable(QString("x%1 = %2").arg(k).arg(x[k], 0, 'g', 17)));
        for (int k = 0; k < 3; ++k)
            QVERIFY2(std::fabs(x[9 + k] - x0[k] / scale) < 1e-9,
                     qPrintable(QString("x%1 = %2").arg(9 + k).arg(x[9 + k], 0, 'g', 17)));
    }

    void yawDoesNotMatter()
    {
        Set s = make(kGeneralR, kGeneralX0, 1.0, 300, 5);
        const Calib3DParameters before = fit(s);
        std::mt19937 rng(9);
        std::uniform_real_distribution<double> yaw(-720, 720);
        for (int i = 0; i < s.n; ++i)
            s.attitudes[3 * i + 2] = yaw(rng);
        const Calib3DParameters after = fit(s);
        for (int k = 0; k < 12; ++k)
            QCOMPARE(std::memcmp(&before[k], &after[k], sizeof(double)), 0);
    }

    // Too little attitude variation: non-finite parameters, no exception.
    void degenerateSamplesGiveNonFinite()
    {
        Set s = make(kGeneralR, kGeneralX0, 1.0, 200, 3);
        for (int i = 0; i < s.n; ++i) { // one attitude, yaw turning: rounding alone would
            s.attitudes[3 * i] = 12.5;  // leave large finite numbers here
            s.attitudes[3 * i + 1] = -33;
        }
        QVERIFY(allNonFinite(fit(s)));
        for (int i = 0; i < s.n; ++i) { // level: whole columns of A are exactly zero
            s.attitudes[3 * i] = 0;
            s.attitudes[3 * i + 1] = 0;
        }
        QVERIFY(allNonFinite(fit(s)));

        Set few = make(kGeneralR, kGeneralX0, 1.0, 11, 3); // fewer samples than unknowns
        QVERIFY(allNonFinite(fit(few)));
        Set none;
        QVERIFY(allNonFinite(fit(none)));

        Set good = make(kGeneralR, kGeneralX0, 1.0, 100, 3); // shapes that do not match
        QVERIFY(allNonFinite(fitCalib3D(DoubleArray::wrap(good.field.data(), good.n, 2),
                                        DoubleArray::wrap(good.attitudes.data(), 3, good.n))));
        QVERIFY(allNonFinite(fitCalib3D(DoubleArray::wrap(good.field.data(), good.n, 3),
                                        DoubleArray::wrap(good.attitudes.data(), 3, 99))));
    }

    // Long semi-axis `along` at `tilt` degrees; the reported tilt lies in [-45, 45], with
    // `a` the semi-axis in the reported direction.
    void ellipse_data()
    {
        QTest::addColumn<double>("along");
        QTest::addColumn<double>("across");
        QTest::addColumn<double>("tilt");
        QTest::addColumn<double>("a");
        QTest::addColumn<double>("b");
        QTest::addColumn<double>("reportedTilt");
        QTest::newRow("axis-aligned 3 x 2") << 3.0 << 2.0 << 0.0 << 3.0 << 2.0 << 0.0;
        QTest::newRow("tilted 20") << 4.0 << 1.5 << 20.0 << 4.0 << 1.5 << 20.0;
        QTest::newRow("tilted -40") << 4.0 << 1.5 << -40.0 << 4.0 << 1.5 << -40.0;
        QTest::newRow("tilted 60: reported -30") << 4.0 << 1.5 << 60.0 << 1.5 << 4.0 << -30.0;
        QTest::newRow("tilted 120: reported 30") << 4.0 << 1.5 << 120.0 << 1.5 << 4.0 << 30.0;
    }
    void ellipse()
    {
        QFETCH(double, along);
        QFETCH(double, across);
        QFETCH(double, tilt);
        QFETCH(double, a);
        QFETCH(double, b);
        QFETCH(double, reportedTilt);
        std::vector<double> x, y;
        CalibSamples::ellipse(along, across, tilt, 1, -2, 360, x, y);
        const EllipseFit f = fitPoints(x, y);
        QVERIFY2(std::fabs(f.a - a) < 1e-9 && std::fabs(f.b - b) < 1e-9,
                 qPrintable(QString("a %1 b %2").arg(f.a).arg(f.b)));
        QVERIFY(std::fabs(f.cx - 1) < 1e-9 && std::fabs(f.cy + 2) < 1e-9);
        QVERIFY2(std::fabs(f.tiltDegrees - reportedTilt) < 1e-9,
                 qPrintable(QString::number(f.tiltDegrees)));
    }

    void circle()
    {
        // Symmetric integer points around the origin: B = 0 and C = 1 exactly, the tilt is
        // 0/0, so the tilt and both semi-axes are NaN while the centre is right.
        std::vector<double> x{3, -3, 3, -3, 4, -4, 4, -4}, y{4, 4, -4, -4, 3, 3, -3, -3};
        EllipseFit f = fitPoints(x, y);
        QVERIFY(std::isnan(f.tiltDegrees) && std::isnan(f.a) && std::isnan(f.b));
        QCOMPARE(f.cx + 1, 1.0);
        QCOMPARE(f.cy + 1, 1.0);

        // Off the origin rounding decides B and 1 - C: the centre stays right, the tilt is
        // arbitrary, and finite semi-axes equal the radius.
        CalibSamples::ellipse(5, 5, 0, 1, -2, 360, x, y);
        f = fitPoints(x, y);
        QVERIFY(std::fabs(f.cx - 1) < 1e-9 && std::fabs(f.cy + 2) < 1e-9);
        QVERIFY(std::isnan(f.a) || std::fabs(f.a - 5) < 1e-9);
        QVERIFY(std::isnan(f.b) || std::fabs(f.b - 5) < 1e-9);
    }

    // Gaussian noise of 0.02 (1 % of the short semi-axis) on 2000 points.
    void noisyEllipse()
    {
        std::vector<double> x, y;
        CalibSamples::ellipse(3, 2, 25, 1, -2, 2000, x, y);
        std::mt19937 rng(21);
        std::normal_distribution<double> noise(0, 0.02);
        for (std::size_t k = 0; k < x.size(); ++k) {
            x[k] += noise(rng);
            y[k] += noise(rng);
        }
        const EllipseFit f = fitPoints(x, y);
        QVERIFY2(std::fabs(f.a - 3) < 0.01 && std::fabs(f.b - 2) < 0.01,
                 qPrintable(QString("a %1 b %2").arg(f.a).arg(f.b)));
        QVERIFY(std::fabs(f.cx - 1) < 0.01 && std::fabs(f.cy + 2) < 0.01);
        QVERIFY2(std::fabs(f.tiltDegrees - 25) < 0.5, qPrintable(QString::number(f.tiltDegrees)));
    }

    void ellipseBadInput()
    {
        std::vector<double> x{1, 2, 3}, y{1, 2};
        EllipseFit f = fitPoints(x, y); // different lengths
        QVERIFY(std::isnan(f.a) && std::isnan(f.cx) && std::isnan(f.tiltDegrees));
        x.clear();
        y.clear();
        f = fitPoints(x, y); // no samples
        QVERIFY(!std::isfinite(f.a) && !std::isfinite(f.cx));
        x = {0, 1, 2, 3, 4, 5};
        y = {1, 1.5, 2, 2.5, 3, 3.5}; // collinear
        f = fitPoints(x, y);
        QVERIFY(!std::isfinite(f.a) || !std::isfinite(f.b));
    }
};

QTEST_APPLESS_MAIN(TestCalibFits)
#include "tst_calibfits.moc"
