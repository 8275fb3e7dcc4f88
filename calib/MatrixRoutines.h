#pragma once

#include <cstdint>

class DoubleArray;

// Small dense matrix routines of the magnetometer fits. Matrices are column-major:
// element (i, j) of an n x n matrix is at i + n * j.
//
// The inverses make no test for singularity: a singular matrix gives infinite or NaN
// entries, never an error. Input and output must not overlap.

// Inverse of a 12 x 12 matrix by LU factorisation with partial pivoting.
void invertMatrix12(const double matrix[144], double inverse[144]);
// Inverse of a 5 x 5 matrix, same algorithm.
void invertMatrix5(const double matrix[25], double inverse[25]);
// Inverse of the 2 x 2 matrix with first column (a, b) and second column (c, d), dividing by
// the larger of |a| and |b| (|b| wins only when strictly larger).
void invertMatrix2(const double matrix[4], double inverse[4]);

// The sum of all elements of a vector, added strictly in index order starting from the first
// element; an empty vector sums to 0.
double sumVector(const DoubleArray &vector);
double sumVector(const double *elements, std::int64_t count);
