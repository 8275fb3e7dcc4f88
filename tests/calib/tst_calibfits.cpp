// The 3D calibration fit and the planar ellipse fit, alone and in two threads at once.

#include "calib/Calib3DFit.h"
#include "calib/DoubleArray.h"
#include "calib/Ellipse2DFit.h"

#include <QtTest>

#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<double, 9>; // row by row
constexpr double kPi = 3.141592653589793;
const Mat3 kR{1.2, 0.05, -0.03, 0.02, 0.9, 0.04, -0.06, 0.01, 1.1};
const Vec3 kX0{0.2, -0.1, 0.3};

struct Samples
{
    std::vector<double> field;     // N x 3, column-major
    std::vector<double> attitudes; // N triples (pitch, roll, yaw) in degrees
    int n = 0;
    Calib3DParameters fit()
    {
        return fitCalib3D(DoubleArray::wrap(field.data(), n, 3),
                          DoubleArray::wrap(attitudes.data(), 3, n));
    }
};

double det(const Mat3 &m)
{
    return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
           m[2] * (m[3] * m[7] - m[4] * m[6]);
}

// N random attitudes. The true field is scale * C^T h_n, with C = Rz(yaw) Ry(pitch) Rx(roll)
// the body-to-navigation rotation and h_n = (0, 1, -1) / sqrt(2); each reading m solves
// R m + X0 = true field (Cramer's rule).
Samples makeSamples(const Mat3 &r, const Vec3 &x0, double scale, int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> pitch(-85, 85), angle(-180, 180);
    Samples s;
    s.n = n;
    s.field.resize(3 * n);
    s.attitudes.resize(3 * n);
    for (int i = 0; i < n; ++i) {
        const double t = pitch(rng) * kPi / 180, f = angle(rng) * kPi / 180;
        const double p = angle(rng) * kPi / 180;
        const double ct = std::cos(t), st = std::sin(t), cf = std::cos(f), sf = std::sin(f);
        const double cp = std::cos(p), sp = std::sin(p);
        // Rows 2 and 3 of C, read as columns of C^T: C^T h_n = (C[1][k] - C[2][k]) / sqrt(2).
        const Vec3 c1{sp * ct, sp * st * sf + cp * cf, sp * st * cf - cp * sf};
        const Vec3 c2{-st, ct * sf, ct * cf};
        Vec3 v;
        for (int k = 0; k < 3; ++k)
            v[k] = scale * (c1[k] - c2[k]) / std::sqrt(2.0) - x0[k];
        for (int c = 0; c < 3; ++c) {
            Mat3 rc = r;
            for (int k = 0; k < 3; ++k)
                rc[3 * k + c] = v[k];
            s.field[i + n * c] = det(rc) / det(r);
        }
        s.attitudes[3 * i] = t * 180 / kPi;
        s.attitudes[3 * i + 1] = f * 180 / kPi;
        s.attitudes[3 * i + 2] = p * 180 / kPi;
    }
    return s;
}

bool allNonFinite(const Calib3DParameters &x)
{
    return std::none_of(x.begin(), x.end(), [](double v) { return std::isfinite(v); });
}

// `n` points of the ellipse with semi-axis `along` at `tiltDeg` from the x axis and `across`
// perpendicular to it, centred at (1, -2).
void ellipsePoints(double along, double across, double tiltDeg, int n, std::vector<double> &x,
                   std::vector<double> &y)
{
    const double t = tiltDeg * kPi / 180;
    x.resize(n);
    y.resize(n);
    for (int j = 0; j < n; ++j) {
        const double u = along * std::cos(2 * kPi * j / n), v = across * std::sin(2 * kPi * j / n);
        x[j] = 1 + u * std::cos(t) - v * std::sin(t);
        y[j] = -2 + u * std::sin(t) + v * std::cos(t);
    }
}

EllipseFit fitPoints(std::vector<double> &x, std::vector<double> &y)
{
    return fitEllipse2D(DoubleArray::wrap(x.data(), static_cast<int>(x.size()), 1),
                        DoubleArray::wrap(y.data(), static_cast<int>(y.size()), 1));
}

} // namespace

Q_DECLARE_METATYPE(Mat3)
Q_DECLARE_METATYPE(Vec3)

class TestCalibFits : public QObject
{
    Q_OBJECT

private slots:
    // First, so that the two threads make the very first calls of the 3D fit (which set up
    // its model field) together. Results must equal one thread's exactly.
    void twoThreadsMatchOneThread()
    {
        Samples s = makeSamples(kR, kX0, 1.0, 5000, 17);
        std::vector<double> ex, ey;
        ellipsePoints(3, 2, 20, 5000, ex, ey);
        Calib3DParameters fits3D[2][10];
        EllipseFit fits2D[2][10];
        std::atomic<int> ready{0};
        auto work = [&](int t) {
            for (ready.fetch_add(1); ready.load() < 2;) {
            }
            for (int k = 0; k < 10; ++k) {
                fits3D[t][k] = s.fit();
                fits2D[t][k] = fitPoints(ex, ey);
            }
        };
        std::thread a(work, 0), b(work, 1);
        a.join();
        b.join();
        const Calib3DParameters one3D = s.fit();
        const EllipseFit one2D = fitPoints(ex, ey);
        QVERIFY(std::fabs(one3D[0] - 1.2) < 1e-9 && std::fabs(one2D.tiltDegrees - 20) < 1e-9);
        for (int k = 0; k < 20; ++k)
            QVERIFY(fits3D[k / 10][k % 10] == one3D &&
                    std::memcmp(&fits2D[k / 10][k % 10], &one2D, sizeof one2D) == 0);
    }

    // Readings made with R and X0 against a true field scaled by c: the fit returns R / c and
    // X0 / c (the model field has unit magnitude).
    void recoversKnownCalibration_data()
    {
        QTest::addColumn<Mat3>("r");
        QTest::addColumn<Vec3>("x0");
        QTest::addColumn<double>("scale");
        QTest::newRow("general") << kR << kX0 << 1.0;
        QTest::newRow("general, field x 3.7") << kR << kX0 << 3.7;
        QTest::newRow("raw counts") << Mat3{0.002, 0, 0.0001, 0, 0.0025, 0, 0.0002, 0, 0.0018}
                                    << Vec3{-0.4, 0.7, 0.1} << 0.5;
    }
    void recoversKnownCalibration()
    {
        QFETCH(Mat3, r);
        QFETCH(Vec3, x0);
        QFETCH(double, scale);
        const Calib3DParameters x = makeSamples(r, x0, scale, 400, 11).fit();
        for (int k = 0; k < 12; ++k) {
            const double want = (k < 9 ? r[k] : x0[k - 9]) / scale;
            QVERIFY2(std::fabs(x[k] - want) < 1e-9 * (1 + std::fabs(want)),
                     qPrintable(QString("x%1 = %2").arg(k).arg(x[k], 0, 'g', 17)));
        }
    }

    void yawDoesNotMatter()
    {
        Samples s = makeSamples(kR, kX0, 1.0, 300, 5);
        const Calib3DParameters before = s.fit();
        std::mt19937 rng(9);
        std::uniform_real_distribution<double> yaw(-720, 720);
        for (int i = 0; i < s.n; ++i)
            s.attitudes[3 * i + 2] = yaw(rng);
        QVERIFY(s.fit() == before); // the same values, not only close ones
    }

    // Too little attitude variation: non-finite parameters, no exception.
    void degenerateSamplesGiveNonFinite()
    {
        Samples s = makeSamples(kR, kX0, 1.0, 200, 3);
        for (int i = 0; i < s.n; ++i) { // one attitude, yaw turning: rounding alone would
            s.attitudes[3 * i] = 12.5;  // leave large finite numbers here
            s.attitudes[3 * i + 1] = -33;
        }
        QVERIFY(allNonFinite(s.fit()));
        for (int i = 0; i < s.n; ++i) // level: whole columns of A are exactly zero
            s.attitudes[3 * i] = s.attitudes[3 * i + 1] = 0;
        QVERIFY(allNonFinite(s.fit()));
        QVERIFY(allNonFinite(makeSamples(kR, kX0, 1.0, 11, 3).fit())); // fewer than 12
        QVERIFY(allNonFinite(Samples().fit()));

        s = makeSamples(kR, kX0, 1.0, 100, 3); // shapes that do not match
        auto fit = [&](int columns, int count) {
            return fitCalib3D(DoubleArray::wrap(s.field.data(), 100, columns),
                              DoubleArray::wrap(s.attitudes.data(), 3, count));
        };
        QVERIFY(allNonFinite(fit(2, 100)) && allNonFinite(fit(3, 99)));
    }

    // Long semi-axis `along` at `tilt`; the reported tilt lies in [-45, 45] degrees, with `a`
    // the semi-axis in the reported direction.
    void ellipse_data()
    {
        QTest::addColumn<double>("along");
        QTest::addColumn<double>("across");
        QTest::addColumn<double>("tilt");
        QTest::addColumn<double>("a");
        QTest::addColumn<double>("b");
        QTest::addColumn<double>("reportedTilt");
        QTest::addColumn<double>("noise"); // Gaussian, on 2000 points
        auto row = [](const char *name, double along, double across, double tilt, double a,
                      double b, double reported, double noise = 0) {
            QTest::newRow(name) << along << across << tilt << a << b << reported << noise;
        };
        row("axis-aligned 3 x 2", 3, 2, 0, 3, 2, 0);
        row("tilted -40", 4, 1.5, -40, 4, 1.5, -40);
        row("tilted 60: reported -30", 4, 1.5, 60, 1.5, 4, -30);
        row("tilted 120: reported 30", 4, 1.5, 120, 1.5, 4, 30);
        row("1 % noise: within 0.01, tilt within 0.5", 3, 2, 25, 3, 2, 25, 0.02);
    }
    void ellipse()
    {
        QFETCH(double, along);
        QFETCH(double, across);
        QFETCH(double, tilt);
        QFETCH(double, a);
        QFETCH(double, b);
        QFETCH(double, reportedTilt);
        QFETCH(double, noise);
        const double tolerance = noise > 0 ? 0.01 : 1e-9;
        std::vector<double> x, y;
        ellipsePoints(along, across, tilt, 2000, x, y);
        std::mt19937 rng(21);
        std::normal_distribution<double> gauss(0, 1);
        for (std::size_t k = 0; k < x.size(); ++k) {
            x[k] += noise * gauss(rng);
            y[k] += noise * gauss(rng);
        }
        const EllipseFit f = fitPoints(x, y);
        QVERIFY2(std::fabs(f.a - a) < tolerance && std::fabs(f.b - b) < tolerance,
                 qPrintable(QString("a %1 b %2").arg(f.a).arg(f.b)));
        QVERIFY(std::fabs(f.cx - 1) < tolerance && std::fabs(f.cy + 2) < tolerance);
        QVERIFY2(std::fabs(f.tiltDegrees - reportedTilt) < 50 * tolerance,
                 qPrintable(QString::number(f.tiltDegrees)));
    }

    void circleAndBadInput()
    {
        // Symmetric integer points around the origin: B = 0 and C = 1 exactly, the tilt is
        // 0/0, so the tilt and both semi-axes are NaN while the centre is right.
        std::vector<double> x{3, -3, 3, -3, 4, -4, 4, -4}, y{4, 4, -4, -4, 3, 3, -3, -3};
        EllipseFit f = fitPoints(x, y);
        QVERIFY(std::isnan(f.tiltDegrees) && std::isnan(f.a) && std::isnan(f.b));
        QVERIFY(f.cx == 0 && f.cy == 0);

        std::vector<double> none;
        x = {1, 2, 3};
        y = {1, 2};
        f = fitPoints(x, y); // different lengths
        QVERIFY(std::isnan(f.a) && std::isnan(f.cx) && std::isnan(f.tiltDegrees));
        f = fitPoints(none, none);
        QVERIFY(!std::isfinite(f.a) && !std::isfinite(f.cx));
        x = {0, 1, 2, 3, 4, 5};
        y = {1, 1.5, 2, 2.5, 3, 3.5}; // collinear
        f = fitPoints(x, y);
        QVERIFY(!std::isfinite(f.a) || !std::isfinite(f.b));
    }
};

QTEST_APPLESS_MAIN(TestCalibFits)
#include "tst_calibfits.moc"
