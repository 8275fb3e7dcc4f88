// DoubleArray growth rules, the vector sum and the matrix inverses.

#include "calib/DoubleArray.h"
#include "calib/MatrixRoutines.h"

#include <QtTest>

#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

// Largest deviation of m * inverse from the identity (n x n, column-major).
double identityError(int n, const double *m, const double *inverse)
{
    double worst = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double sum = 0;
            for (int k = 0; k < n; ++k)
                sum += m[i + n * k] * inverse[k + n * j];
            worst = std::max(worst, std::fabs(sum - (i == j ? 1.0 : 0.0)));
        }
    return worst;
}

// Random entries plus a dominant entry per row in a shuffled column: pivoting has work to do.
std::vector<double> wellConditioned(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<double> m(n * n);
    for (double &v : m)
        v = u(rng);
    for (int i = 0; i < n; ++i)
        m[i + n * ((i * 7 + 3) % n)] += n;
    return m;
}

bool anyNonFinite(const double *m, int count)
{
    return std::any_of(m, m + count, [](double v) { return !std::isfinite(v); });
}

} // namespace

class TestCalibMatrix : public QObject
{
    Q_OBJECT

private slots:
    void arrayGrowth()
    {
        DoubleArray a;
        QCOMPARE(a.dimensionCount(), 2);
        QCOMPARE(a.capacity(), 0);
        QVERIFY(a.data() == nullptr && a.ownsElements() && a.elementCount() == 0);

        a.resize(1, 1);
        QCOMPARE(a.capacity(), 16);
        a(0, 0) = 5;
        a.resize(3, 6); // 18 > 16: doubled to 32, element 0 kept, the rest zero
        QCOMPARE(a.capacity(), 32);
        QVERIFY(a[0] == 5.0 &&
                std::all_of(a.data() + 1, a.data() + 32, [](double v) { return v == 0; }));
        a(2, 5) = 7; // column-major: 2 + 3 * 5
        QCOMPARE(a[17], 7.0);

        const double *block = a.data();
        a.resize(4, 8); // 32 elements fit: nothing moves
        QVERIFY(a.data() == block && a.capacity() == 32);
        a.resize(100, 3); // 300: 32 -> 64 -> 128 -> 256 -> 512
        QVERIFY(a.capacity() == 512 && a[17] == 7.0);

        QCOMPARE(DoubleArray::grownCapacity(20, 1000), 1280);
        QCOMPARE(DoubleArray::grownCapacity(0x30000000, 0x50000000), 0x60000000);
        QCOMPARE(DoubleArray::grownCapacity(0x40000000, 0x40000001), 0x7FFFFFFF);
        a.setExtent(0, 0x10000);
        a.setExtent(1, 0x10000); // 2^32 elements: refused, not wrapped around
        QVERIFY_EXCEPTION_THROWN(a.grow(0), std::length_error);
        QVERIFY_EXCEPTION_THROWN(a.setExtent(0, -1), std::length_error);
    }

    void wrapperAndMove()
    {
        double buffer[6] = {1, 2, 3, 4, 5, 6};
        {
            DoubleArray w = DoubleArray::wrap(buffer, 2, 3);
            QVERIFY(!w.ownsElements() && w.capacity() == 6);
            QCOMPARE(w(1, 2), 6.0);
            w.resize(4, 3); // grows into an owned, zero-filled copy
            QVERIFY(w.ownsElements() && w.data() != buffer);
            QVERIFY(w[5] == 6.0 && w[6] == 0.0);
            w[0] = -1;
        }
        QCOMPARE(buffer[0], 1.0); // untouched, and not freed by the wrapper

        DoubleArray owner;
        owner.resize(2, 2);
        owner[3] = 9;
        DoubleArray moved(std::move(owner));
        QCOMPARE(moved[3], 9.0);
        QVERIFY(owner.data() == nullptr && owner.elementCount() == 0);
    }

    void sumInIndexOrder()
    {
        QCOMPARE(sumVector(DoubleArray()), 0.0);
        double negZero[1] = {-0.0}; // the sum starts from the first element, not from +0
        QVERIFY(std::signbit(sumVector(DoubleArray::wrap(negZero, 1, 1))));
        double v[4] = {1e16, 1, 1, -1e16}; // in order each 1 is lost; backwards they count
        QCOMPARE(sumVector(DoubleArray::wrap(v, 4, 1)), 0.0);
    }

    void inverseByLu()
    {
        double identity[144] = {}, inverse[144];
        for (int i = 0; i < 12; ++i)
            identity[i * 13] = 1;
        invertMatrix12(identity, inverse);
        QVERIFY(std::equal(inverse, inverse + 144, identity));

        for (unsigned seed : {1u, 2u, 3u}) {
            const std::vector<double> m = wellConditioned(12, seed), copy = m;
            invertMatrix12(m.data(), inverse);
            QVERIFY(m == copy);
            QVERIFY(identityError(12, m.data(), inverse) < 1e-13 &&
                    identityError(12, inverse, m.data()) < 1e-13);
        }
        const std::vector<double> m5 = wellConditioned(5, 7);
        invertMatrix5(m5.data(), inverse);
        QVERIFY(identityError(5, m5.data(), inverse) < 1e-14);

        double anti[25] = {}; // every column needs an interchange; its own inverse
        for (int i = 0; i < 5; ++i)
            anti[i + 5 * (4 - i)] = 1;
        invertMatrix5(anti, inverse);
        QVERIFY(std::equal(anti, anti + 25, inverse));

        std::vector<double> singular = wellConditioned(12, 4);
        std::fill(singular.begin(), singular.begin() + 12, 0.0); // zero first column
        invertMatrix12(singular.data(), inverse);
        QVERIFY(anyNonFinite(inverse, 144));
    }

    void inverse2()
    {
        // [[0, 1], [1, 0]] (its own inverse), [[1, 2], [3, 4]] (|b| > |a|), [[4, 1], [2, 3]]
        // (|a| >= |b|), column-major.
        const double m[3][4] = {{0, 1, 1, 0}, {1, 3, 2, 4}, {4, 2, 1, 3}};
        double inverse[4];
        for (const auto &mk : m) {
            invertMatrix2(mk, inverse);
            QVERIFY(identityError(2, mk, inverse) < 1e-15);
        }
        invertMatrix2(m[0], inverse);
        QVERIFY(std::equal(inverse, inverse + 4, m[0]));
        const double singular[4] = {1, 2, 2, 4};
        invertMatrix2(singular, inverse);
        QVERIFY(anyNonFinite(inverse, 4));
    }
};

QTEST_APPLESS_MAIN(TestCalibMatrix)
#include "tst_calibmatrix.moc"
