#include "calib/Calib3DFit.h"

#include "calib/CalibConstants.h"
#include "calib/DoubleArray.h"
#include "calib/MatrixRoutines.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <exception>
#include <limits>
#include <memory>

namespace Calib3DModel {

const std::array<double, 3> &earthFieldDirection()
{
    // A function-local static: its initialisation runs exactly once, and concurrent first
    // callers wait for it to finish.
    static const std::array<double, 3> direction = [] {
        const double root2 = std::sqrt(2.0);
        return std::array<double, 3>{0.0, 1.0 / root2, -1.0 / root2};
    }();
    return direction;
}

std::array<double, 3> gravityVector()
{
    return {0.0, 0.0, CalibConstants::kGravity};
}

double targetDotProduct()
{
    const std::array<double, 3> g = gravityVector();
    const std::array<double, 3> &h = earthFieldDirection();
    return g[0] * h[0] + g[1] * h[1] + g[2] * h[2];
}

} // namespace Calib3DModel

namespace {

constexpr std::size_t kUnknowns = 12;

Calib3DParameters allNaN()
{
    Calib3DParameters result;
    result.fill(std::numeric_limits<double>::quiet_NaN());
    return result;
}

// True when the normal matrix is singular to within the rounding of its sums. Samples that
// cannot determine the fit (all at one attitude, for instance) make A^T A singular in exact
// arithmetic, but rounding leaves tiny non-zero pivots, and the inverse would then turn them
// into large, plausible-looking finite parameters. The test scales the matrix to a unit
// diagonal and runs a Cholesky factorisation: a pivot at or below the rounding level of the
// sums (100 * sqrt(N) * epsilon) means singular. Well-posed data lie many orders above it.
bool isNumericallySingular(const double normal[kUnknowns * kUnknowns], std::size_t n)
{
    constexpr std::size_t m = kUnknowns;
    double scale[m];
    for (std::size_t k = 0; k < m; ++k) {
        const double d = normal[k + m * k];
        if (!(d > 0.0))
            return !std::isnan(d); // a zero column; NaN samples give NaN results anyway
        scale[k] = 1.0 / std::sqrt(d);
    }
    const double tolerance =
        100.0 * std::sqrt(static_cast<double>(n)) * std::numeric_limits<double>::epsilon();
    double lower[m * m] = {};
    for (std::size_t k = 0; k < m; ++k) {
        double pivot = normal[k + m * k] * scale[k] * scale[k];
        for (std::size_t j = 0; j < k; ++j)
            pivot -= lower[k + m * j] * lower[k + m * j];
        if (pivot <= tolerance)
            return true;
        lower[k + m * k] = std::sqrt(pivot);
        for (std::size_t i = k + 1; i < m; ++i) {
            double sum = normal[i + m * k] * scale[i] * scale[k];
            for (std::size_t j = 0; j < k; ++j)
                sum -= lower[i + m * j] * lower[k + m * j];
            lower[i + m * k] = sum / lower[k + m * k];
        }
    }
    return false;
}

double toRadians(double degrees)
{
    return degrees * CalibConstants::kPi / 180.0;
}

Calib3DParameters solve(const DoubleArray &field, const DoubleArray &attitudes, std::size_t n)
{
    const double s = Calib3DModel::targetDotProduct();
    const double g = CalibConstants::kGravity;
    const double *att = attitudes.data();

    // Design matrix A (n x 12), stored row by row: row i is [r (x) m, r] with r the gravity
    // vector predicted in the body frame by the sample's pitch and roll. The normal matrix
    // A^T A (12 x 12, symmetric: each pair of columns once) is summed along, sample by sample.
    const std::unique_ptr<double[]> a(new double[n * kUnknowns]);
    double normal[kUnknowns * kUnknowns] = {};
    for (std::size_t i = 0; i < n; ++i) {
        const double pitch = toRadians(att[3 * i]);
        const double roll = toRadians(att[3 * i + 1]);
        const double r[3] = {-g * std::sin(pitch), g * std::sin(roll) * std::cos(pitch),
                             g * std::cos(roll) * std::cos(pitch)};
        const double m[3] = {field(static_cast<std::int32_t>(i), 0),
                             field(static_cast<std::int32_t>(i), 1),
                             field(static_cast<std::int32_t>(i), 2)};
        double *row = a.get() + kUnknowns * i;
        for (std::size_t p = 0; p < 3; ++p) {
            for (std::size_t q = 0; q < 3; ++q)
                row[3 * p + q] = r[p] * m[q];
            row[9 + p] = r[p];
        }
        for (std::size_t c = 0; c < kUnknowns; ++c)
            for (std::size_t k = 0; k <= c; ++k)
                normal[k + kUnknowns * c] += row[k] * row[c];
    }
    for (std::size_t c = 0; c < kUnknowns; ++c)
        for (std::size_t k = 0; k < c; ++k)
            normal[c + kUnknowns * k] = normal[k + kUnknowns * c];

    if (isNumericallySingular(normal, n))
        return allNaN();
    double inverse[kUnknowns * kUnknowns];
    invertMatrix12(normal, inverse);

    // x = s * (A^T A)^-1 * A^T * 1: with B = A * inverse^T (n x 12), the column sums of B,
    // times s. Row i of B is inverse * (row i of A); it is added to the column sums at once
    // (in row order, starting from row 0, as sumVector would add a stored B) instead of
    // being stored.
    double columnSums[kUnknowns] = {};
    for (std::size_t i = 0; i < n; ++i) {
        const double *row = a.get() + kUnknowns * i;
        double bRow[kUnknowns] = {}; // twelve independent sums, each in the order of l
        for (std::size_t l = 0; l < kUnknowns; ++l)
            for (std::size_t k = 0; k < kUnknowns; ++k)
                bRow[k] += inverse[k + kUnknowns * l] * row[l];
        for (std::size_t k = 0; k < kUnknowns; ++k)
            columnSums[k] = i == 0 ? bRow[k] : columnSums[k] + bRow[k];
    }

    Calib3DParameters x;
    for (std::size_t k = 0; k < kUnknowns; ++k)
        x[k] = s * columnSums[k];
    return x;
}

} // namespace

Calib3DParameters fitCalib3D(const DoubleArray &field, const DoubleArray &attitudes) noexcept
{
    const std::int64_t n = field.rows();
    const std::int64_t available = std::min<std::int64_t>(field.elementCount(), field.capacity());
    const std::int64_t attitudeCount =
        std::min<std::int64_t>(attitudes.elementCount(), attitudes.capacity());
    if (field.dimensionCount() < 2 || field.cols() < 3 || available < 3 * n ||
        attitudeCount < 3 * n)
        return allNaN();
    // Fewer rows than unknowns can never determine the fit. Said explicitly, because rounding
    // could otherwise turn such a singular normal matrix into large finite numbers, and no
    // samples at all would sum to a plausible-looking zero result.
    if (n < static_cast<std::int64_t>(kUnknowns))
        return allNaN();
    try {
        return solve(field, attitudes, static_cast<std::size_t>(n));
    } catch (const std::exception &) { // memory ran out: std::bad_alloc, std::length_error
        return allNaN();
    }
}
