#include "calib/Ellipse2DFit.h"

#include "calib/CalibConstants.h"
#include "calib/DoubleArray.h"
#include "calib/MatrixRoutines.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

namespace {

EllipseFit allNaN()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return {nan, nan, nan, nan, nan};
}

std::int64_t heldCount(const DoubleArray &v)
{
    return std::min<std::int64_t>(v.elementCount(), v.capacity());
}

// The mean of x^px * y^py over the samples: the element-wise product in a work vector,
// summed by sumVector and divided by N. One pass over the samples per mean.
double meanOfPowers(const DoubleArray &x, const DoubleArray &y, std::int64_t n, int px, int py,
                    DoubleArray &work)
{
    for (std::int64_t k = 0; k < n; ++k) {
        double product = 1.0;
        for (int p = 0; p < px; ++p)
            product *= x[k];
        for (int p = 0; p < py; ++p)
            product *= y[k];
        work[k] = product;
    }
    return sumVector(work) / static_cast<double>(n);
}

EllipseFit solve(const DoubleArray &x, const DoubleArray &y, std::int64_t n)
{
    DoubleArray work(1);
    work.setExtent(0, static_cast<std::int32_t>(n));
    work.grow(0);

    const double mx = meanOfPowers(x, y, n, 1, 0, work);
    const double my = meanOfPowers(x, y, n, 0, 1, work);
    const double mxx = meanOfPowers(x, y, n, 2, 0, work);
    const double mxy = meanOfPowers(x, y, n, 1, 1, work);
    const double myy = meanOfPowers(x, y, n, 0, 2, work);
    const double mxxx = meanOfPowers(x, y, n, 3, 0, work);
    const double mxxy = meanOfPowers(x, y, n, 2, 1, work);
    const double mxyy = meanOfPowers(x, y, n, 1, 2, work);
    const double myyy = meanOfPowers(x, y, n, 0, 3, work);
    const double mxxxy = meanOfPowers(x, y, n, 3, 1, work);
    const double mxxyy = meanOfPowers(x, y, n, 2, 2, work);
    const double mxyyy = meanOfPowers(x, y, n, 1, 3, work);
    const double myyyy = meanOfPowers(x, y, n, 0, 4, work);

    // Normal equations S * p = t for p = (B, C, D, E, F), design row (xy, y^2, x, y, 1).
    // S is symmetric, so its column-major and row-major forms are the same.
    const double s[25] = {
        mxxyy, mxyyy, mxxy, mxyy, mxy, //
        mxyyy, myyyy, mxyy, myyy, myy, //
        mxxy,  mxyy,  mxx,  mxy,  mx,  //
        mxyy,  myyy,  mxy,  myy,  my,  //
        mxy,   myy,   mx,   my,   1.0,
    };
    const double t[5] = {-mxxxy, -mxxyy, -mxxx, -mxxy, -mxx};
    double sInverse[25];
    invertMatrix5(s, sInverse);
    double p[5];
    for (int i = 0; i < 5; ++i) {
        double sum = 0.0;
        for (int j = 0; j < 5; ++j)
            sum += sInverse[i + 5 * j] * t[j];
        p[i] = sum;
    }
    const double cB = p[0], cC = p[1], cD = p[2], cE = p[3], cF = p[4];

    // Centre: where the gradient of the conic vanishes.
    const double centreMatrix[4] = {-2.0, -cB, -cB, -2.0 * cC};
    double centreInverse[4];
    invertMatrix2(centreMatrix, centreInverse);
    const double cx = centreInverse[0] * cD + centreInverse[2] * cE;
    const double cy = centreInverse[1] * cD + centreInverse[3] * cE;

    // Around the centre the conic reads k*u^2 + B*k*u*v + C*k*v^2 = 1.
    const double k = 1.0 / (cx * cx + cB * cx * cy + cC * cy * cy - cF);
    const double theta = 0.5 * std::atan(cB * k / (k - cC * k));

    // Eigenvalues along the tilted axes: solve [[cos^2, sin^2], [sin^2, cos^2]] * l = (k, C*k).
    const double c2 = std::cos(theta) * std::cos(theta);
    const double s2 = std::sin(theta) * std::sin(theta);
    const double axesMatrix[4] = {c2, s2, s2, c2};
    double axesInverse[4];
    invertMatrix2(axesMatrix, axesInverse);
    const double lambda1 = axesInverse[0] * k + axesInverse[2] * (cC * k);
    const double lambda2 = axesInverse[1] * k + axesInverse[3] * (cC * k);

    EllipseFit fit;
    fit.a = std::sqrt(1.0 / lambda1);
    fit.b = std::sqrt(1.0 / lambda2);
    fit.cx = cx;
    fit.cy = cy;
    fit.tiltDegrees = theta / CalibConstants::kPi * 180.0;
    return fit;
}

} // namespace

EllipseFit fitEllipse2D(const DoubleArray &x, const DoubleArray &y) noexcept
{
    const std::int64_t n = heldCount(x);
    if (heldCount(y) != n || x.elementCount() != y.elementCount())
        return allNaN();
    try {
        return solve(x, y, n);
    } catch (const std::exception &) { // memory ran out: std::bad_alloc, std::length_error
        return allNaN();
    }
}
