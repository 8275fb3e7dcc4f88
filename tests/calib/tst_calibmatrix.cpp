// DoubleArray growth rules, the vector sum and the matrix inverses.

#include "calib/DoubleArray.h"
#include "calib/MatrixRoutines.h"

#include <QtTest>

#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

template <int n> std::vector<double> product(const double *p, const double *q)
{
    std::vector<double> r(n * n, 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k)
                r[i + n * j] += p[i + n * k] * q[k + n * j];
    return r;
}

template <int n> double distanceToIdentity(const std::vector<double> &m)
{
    double worst = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            worst = std::max(worst, std::fabs(m[i + n * j] - (i == j ? 1.0 : 0.0)));
    return worst;
}

// A random matrix with a dominant diagonal, rows shuffled so that pivoting has work to do.
template <int n> std::vector<double> wellConditioned(unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<double> m(n * n);
    for (double &v : m)
        v = u(rng);
    for (int i = 0; i < n; ++i)
        m[i + n * ((i * 7 + 3) % n)] += n; // a permuted dominant "diagonal"
    return m;
}

bool anyNonFinite(const double *m, int count)
{
    for (int k = 0; k < count; ++k)
        if (!std::isfinite(m[k]))
            return true;
    return false;
}

} // namespace

class TestCalibMatrix : public QObject
{
    Q_OBJECT

private slots:
    void arrayStartsEmptyAndGrowsByDoubling()
    {
        DoubleArray a;
        QCOMPARE(a.dimensionCount(), 2);
        QCOMPARE(a.elementCount(), std::int64_t(0));
        QCOMPARE(a.capacity(), 0);
        QVERIFY(a.data() == nullptr);
        QVERIFY(a.ownsElements());

        a.resize(1, 1);
        QCOMPARE(a.capacity(), 16);
        a(0, 0) = 5;
        a.resize(3, 6); // 18 > 16: doubled to 32, element 0 kept, the rest zero
        QCOMPARE(a.capacity(), 32);
        QCOMPARE(a[0], 5.0);
        for (int k = 1; k < 32; ++k)
            QCOMPARE(a[k], 0.0);
        a(2, 5) = 7; // column-major: position 2 + 3 * 5
        QCOMPARE(a[17], 7.0);

        const double *block = a.data();
        a.resize(4, 8); // 32 elements fit: nothing moves
        QCOMPARE(a.capacity(), 32);
        QVERIFY(a.data() == block);
        QCOMPARE(a[17], 7.0);

        a.resize(100, 3); // 300: 32 -> 64 -> 128 -> 256 -> 512
        QCOMPARE(a.capacity(), 512);
        QCOMPARE(a[17], 7.0);
    }

    void capacityRule()
    {
        QCOMPARE(DoubleArray::grownCapacity(0, 1), 16);
        QCOMPARE(DoubleArray::grownCapacity(0, 16), 16);
        QCOMPARE(DoubleArray::grownCapacity(16, 17), 32);
        QCOMPARE(DoubleArray::grownCapacity(20, 1000), 1280);
        QCOMPARE(DoubleArray::grownCapacity(0x30000000, 0x50000000), 0x60000000);
        QCOMPARE(DoubleArray::grownCapacity(0x40000000, 0x40000001), 0x7FFFFFFF);
        QCOMPARE(DoubleArray::grownCapacity(0x3FFFFFFF, 0x7FFFFFFF), 0x7FFFFFFF);

        DoubleArray a;
        a.setExtent(0, 0x10000);
        a.setExtent(1, 0x10000); // 2^32 elements: refused, not wrapped around
        QVERIFY_EXCEPTION_THROWN(a.grow(0), std::length_error);
        QVERIFY_EXCEPTION_THROWN(a.setExtent(0, -1), std::length_error);
    }

    void wrapperLeavesCallerBuffer()
    {
        double buffer[6] = {1, 2, 3, 4, 5, 6};
        {
            DoubleArray w = DoubleArray::wrap(buffer, 2, 3);
            QVERIFY(!w.ownsElements());
            QCOMPARE(w.capacity(), 6);
            QCOMPARE(w(1, 2), 6.0);
            w.resize(4, 3); // grows into an owned copy
            QVERIFY(w.ownsElements());
            QVERIFY(w.data() != buffer);
            QCOMPARE(w[5], 6.0);
            QCOMPARE(w[6], 0.0);
            w[0] = -1;
        }
        QCOMPARE(buffer[0], 1.0); // untouched, and not freed by the wrapper

        DoubleArray owner;
        owner.resize(2, 2);
        owner[3] = 9;
        DoubleArray moved(std::move(owner));
        QCOMPARE(moved[3], 9.0);
        QVERIFY(owner.data() == nullptr);
        QCOMPARE(owner.elementCount(), std::int64_t(0));
    }

    void sumInIndexOrder()
    {
        DoubleArray empty;
        QCOMPARE(sumVector(empty), 0.0);
        double negZero[1] = {-0.0}; // the sum starts from the first element, not from +0
        QVERIFY(std::signbit(sumVector(DoubleArray::wrap(negZero, 1, 1))));
        double v[4] = {1e16, 1, 1, -1e16}; // in order each 1 is lost; summed backwards: 2
        QCOMPARE(sumVector(DoubleArray::wrap(v, 4, 1)), 0.0);
        QCOMPARE(sumVector(v, 3), 1e16);
    }

    void inverse12()
    {
        double identity[144] = {};
        for (int i = 0; i < 12; ++i)
            identity[i * 13] = 1;
        double inverse[144];
        invertMatrix12(identity, inverse);
        for (int k = 0; k < 144; ++k)
            QCOMPARE(inverse[k], identity[k]);

        for (unsigned seed : {1u, 2u, 3u}) {
            const std::vector<double> m = wellConditioned<12>(seed);
            const std::vector<double> copy = m;
            invertMatrix12(m.data(), inverse);
            QVERIFY(m == copy); // input unchanged
            QVERIFY(distanceToIdentity<12>(product<12>(m.data(), inverse)) < 1e-13);
            QVERIFY(distanceToIdentity<12>(product<12>(inverse, m.data())) < 1e-13);
        }

        std::vector<double> singular = wellConditioned<12>(4);
        for (int i = 0; i < 12; ++i)
            singular[i] = 0; // zero first column
        invertMatrix12(singular.data(), inverse);
        QVERIFY(anyNonFinite(inverse, 144));
    }

    void inverse5()
    {
        double inverse[25];
        const std::vector<double> m = wellConditioned<5>(7);
        invertMatrix5(m.data(), inverse);
        QVERIFY(distanceToIdentity<5>(product<5>(m.data(), inverse)) < 1e-14);

        // The anti-diagonal: every column needs a row interchange; its inverse is itself.
        double anti[25] = {};
        for (int i = 0; i < 5; ++i)
            anti[i + 5 * (4 - i)] = 1;
        invertMatrix5(anti, inverse);
        for (int k = 0; k < 25; ++k)
            QCOMPARE(inverse[k] + 0.0, anti[k]);

        // Equal magnitudes in the pivot column (a tie) still give the exact inverse.
        const double tie[25] = {1, -1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 0, 1,
                                0, 0,  0, 0, 0, 1, 0, 0, 0, 0, 0, 1};
        invertMatrix5(tie, inverse);
        QVERIFY(distanceToIdentity<5>(product<5>(tie, inverse)) < 1e-15);
    }

    void inverse2Branches()
    {
        double inverse[4];
        const double swap[4] = {0, 1, 1, 0}; // a = 0, b = 1: the |b| > |a| branch
        invertMatrix2(swap, inverse);
        for (int k = 0; k < 4; ++k)
            QCOMPARE(inverse[k] + 0.0, swap[k]);

        // [[1, 2], [3, 4]] (|b| > |a|) and [[4, 1], [2, 3]] (|a| >= |b|), column-major.
        const double first[4] = {1, 3, 2, 4}, second[4] = {4, 2, 1, 3};
        invertMatrix2(first, inverse);
        QCOMPARE(inverse[0], -2.0);
        QCOMPARE(inverse[1], 1.5);
        QCOMPARE(inverse[2], 1.0);
        QCOMPARE(inverse[3], -0.5);
        invertMatrix2(second, inverse);
        QCOMPARE(inverse[0], 0.3);
        QCOMPARE(inverse[1], -0.2);
        QCOMPARE(inverse[2], -0.1);
        QCOMPARE(inverse[3], 0.4);

        const double singular[4] = {1, 2, 2, 4};
        invertMatrix2(singular, inverse);
        QVERIFY(anyNonFinite(inverse, 4));
    }
};

QTEST_APPLESS_MAIN(TestCalibMatrix)
#include "tst_calibmatrix.moc"
