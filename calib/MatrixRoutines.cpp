#include "calib/MatrixRoutines.h"

#include "calib/DoubleArray.h"

#include <algorithm>
#include <cmath>

namespace {

// Inverse of an n x n column-major matrix: LU factorisation with partial pivoting on a copy,
// then forward and back substitution against the permuted identity. The order of the
// operations is fixed so that results are reproducible to the bit.
template <int n> void invertLu(const double *matrix, double *inverse)
{
    double lu[n * n];
    std::copy(matrix, matrix + n * n, lu);
    std::fill(inverse, inverse + n * n, 0.0);
    auto at = [](double *m, int i, int j) -> double & { return m[i + n * j]; };

    int interchange[n];
    for (int j = 0; j < n; ++j)
        interchange[j] = j;

    for (int j = 0; j < n - 1; ++j) {
        // Pivot: the first row of the largest magnitude at or below the diagonal.
        int pivot = j;
        double largest = std::fabs(at(lu, j, j));
        for (int i = j + 1; i < n; ++i) {
            const double magnitude = std::fabs(at(lu, i, j));
            if (magnitude > largest) {
                largest = magnitude;
                pivot = i;
            }
        }
        if (at(lu, pivot, j) != 0.0) {
            if (pivot != j) {
                for (int c = 0; c < n; ++c)
                    std::swap(at(lu, j, c), at(lu, pivot, c));
                interchange[j] = pivot;
            }
            const double diagonal = at(lu, j, j);
            for (int i = j + 1; i < n; ++i)
                at(lu, i, j) /= diagonal;
        }
        // Rank-one update of the trailing block, also after a zero pivot.
        for (int c = j + 1; c < n; ++c) {
            const double factor = at(lu, j, c);
            if (factor != 0.0) {
                for (int i = j + 1; i < n; ++i)
                    at(lu, i, c) -= factor * at(lu, i, j);
            }
        }
    }

    int perm[n];
    for (int k = 0; k < n; ++k)
        perm[k] = k;
    for (int j = 0; j < n - 1; ++j)
        std::swap(perm[j], perm[interchange[j]]);

    // Forward substitution with the unit lower factor: column perm[k] of the permuted
    // identity is the unit vector e_k.
    for (int k = 0; k < n; ++k) {
        const int c = perm[k];
        at(inverse, k, c) = 1.0;
        for (int j = k; j < n; ++j) {
            const double y = at(inverse, j, c);
            if (y != 0.0) {
                for (int i = j + 1; i < n; ++i)
                    at(inverse, i, c) -= y * at(lu, i, j);
            }
        }
    }

    // Back substitution with the upper factor, every column, last row first.
    for (int c = 0; c < n; ++c) {
        for (int k = n - 1; k >= 0; --k) {
            double &y = at(inverse, k, c);
            if (y != 0.0) {
                y /= at(lu, k, k);
                for (int i = 0; i < k; ++i)
                    at(inverse, i, c) -= y * at(lu, i, k);
            }
        }
    }
}

} // namespace

void invertMatrix12(const double matrix[144], double inverse[144])
{
    invertLu<12>(matrix, inverse);
}

void invertMatrix5(const double matrix[25], double inverse[25])
{
    invertLu<5>(matrix, inverse);
}

void invertMatrix2(const double matrix[4], double inverse[4])
{
    const double a = matrix[0];
    const double b = matrix[1];
    const double c = matrix[2];
    const double d = matrix[3];
    if (std::fabs(b) > std::fabs(a)) {
        const double r = a / b;
        const double t = 1.0 / (r * d - c);
        inverse[0] = d / b * t;
        inverse[1] = -t;
        inverse[2] = -(c / b) * t;
        inverse[3] = r * t;
    } else {
        const double r = b / a;
        const double t = 1.0 / (d - r * c);
        inverse[0] = d / a * t;
        inverse[1] = -r * t;
        inverse[2] = -(c / a) * t;
        inverse[3] = t;
    }
}

double sumVector(const double *elements, std::int64_t count)
{
    if (count <= 0)
        return 0.0;
    double sum = elements[0];
    for (std::int64_t k = 1; k < count; ++k)
        sum += elements[k];
    return sum;
}

double sumVector(const DoubleArray &vector)
{
    return sumVector(vector.data(),
                     std::min<std::int64_t>(vector.elementCount(), vector.capacity()));
}
