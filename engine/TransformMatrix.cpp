#include "engine/TransformMatrix.h"

#include <algorithm>
#include <cmath>

namespace tessaro {

namespace {

// Below this the undeformed triangle is taken as collinear.
constexpr double SingularDeterminant = 1e-10;

} // namespace

CTransformMatrix::CTransformMatrix(int rows, int cols)
    : RowCount(std::max(rows, 0)), ColCount(std::max(cols, 0)),
      Values(static_cast<size_t>(RowCount) * static_cast<size_t>(ColCount), 0.0)
{
}

void CTransformMatrix::Reshape(int rows, int cols)
{
    RowCount = std::max(rows, 0);
    ColCount = std::max(cols, 0);
    Values.assign(static_cast<size_t>(RowCount) * static_cast<size_t>(ColCount), 0.0);
}

CTransformMatrix CTransformMatrix::FromPoints(const CPoint2D& a, const CPoint2D& b, const CPoint2D& c)
{
    CTransformMatrix m(3, 3);
    m.SetFromPoints(a, b, c);
    return m;
}

void CTransformMatrix::SetFromPoints(const CPoint2D& a, const CPoint2D& b, const CPoint2D& c)
{
    Reshape(3, 3);
    const CPoint2D columns[3] = {a, b, c};
    for (int col = 0; col < 3; ++col) {
        At(0, col) = columns[col].X;
        At(1, col) = columns[col].Y;
        At(2, col) = 1.0;
    }
}

double CTransformMatrix::Determinant3() const
{
    const CTransformMatrix& m = *this;
    return m.At(0, 0) * m.At(1, 1) * m.At(2, 2) + m.At(0, 1) * m.At(1, 2) * m.At(2, 0) +
           m.At(0, 2) * m.At(1, 0) * m.At(2, 1) - m.At(0, 2) * m.At(1, 1) * m.At(2, 0) -
           m.At(0, 0) * m.At(1, 2) * m.At(2, 1) - m.At(0, 1) * m.At(1, 0) * m.At(2, 2);
}

bool CTransformMatrix::Inverse3(CTransformMatrix& inverse) const
{
    if (RowCount != 3 || ColCount != 3)
        return false;
    const double det = Determinant3();
    if (!(std::abs(det) > SingularDeterminant))
        return false;
    const CTransformMatrix& m = *this;
    // The adjugate is the transposed cofactor matrix: entry (r, c) is the cofactor of (c, r).
    const auto cofactor = [&m](int row, int col) {
        const int r0 = (row + 1) % 3, r1 = (row + 2) % 3;
        const int c0 = (col + 1) % 3, c1 = (col + 2) % 3;
        return m.At(r0, c0) * m.At(r1, c1) - m.At(r0, c1) * m.At(r1, c0);
    };
    double result[3][3];
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            result[row][col] = cofactor(col, row) / det;
    inverse.Reshape(3, 3); // only now: `inverse` may be this matrix
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            inverse.At(row, col) = result[row][col];
    return true;
}

bool CTransformMatrix::Multiply(const CTransformMatrix& left, const CTransformMatrix& right, CTransformMatrix& product)
{
    if (left.ColCount != right.RowCount)
        return false;
    if (&product == &left || &product == &right) {
        CTransformMatrix result;
        Multiply(left, right, result);
        product = result;
        return true;
    }
    product.Reshape(left.RowCount, right.ColCount);
    for (int row = 0; row < left.RowCount; ++row)
        for (int col = 0; col < right.ColCount; ++col) {
            double sum = 0.0;
            for (int k = 0; k < left.ColCount; ++k)
                sum += left.At(row, k) * right.At(k, col);
            product.At(row, col) = sum;
        }
    return true;
}

CPoint2D CTransformMatrix::Apply(const CPoint2D& p) const
{
    return {At(0, 0) * p.X + At(0, 1) * p.Y + At(0, 2), At(1, 0) * p.X + At(1, 1) * p.Y + At(1, 2)};
}

} // namespace tessaro
