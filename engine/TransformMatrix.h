#pragma once

#include "geometry/Point2D.h"

#include <cstddef>
#include <vector>

namespace tessaro {

// A dense matrix of doubles. The transformation uses it as 3 x 3 in homogeneous coordinates:
// an affine map of the plane is the product of the displaced corners of a triangle with the
// inverse of its undeformed corners.
class CTransformMatrix {
public:
    // A rows x cols matrix of zeros.
    CTransformMatrix(int rows = 3, int cols = 3);

    // The 3 x 3 whose columns are the points: row 0 the x values, row 1 the y values, row 2 ones.
    static CTransformMatrix FromPoints(const CPoint2D& a, const CPoint2D& b, const CPoint2D& c);
    // The same in place; a 3 x 3 keeps its storage, which keeps hot loops free of allocation.
    void SetFromPoints(const CPoint2D& a, const CPoint2D& b, const CPoint2D& c);

    int Rows() const { return RowCount; }
    int Cols() const { return ColCount; }
    double& At(int row, int col) { return Values[Index(row, col)]; }
    double At(int row, int col) const { return Values[Index(row, col)]; }

    // Determinant of a 3 x 3 by the rule of Sarrus.
    double Determinant3() const;
    // Cofactor inverse of a 3 x 3 into `inverse`; refused (false, `inverse` untouched) when the
    // absolute determinant is not above 1e-10.
    bool Inverse3(CTransformMatrix& inverse) const;
    // product = left * right; false (product untouched) when the inner dimensions differ.
    static bool Multiply(const CTransformMatrix& left, const CTransformMatrix& right, CTransformMatrix& product);
    // (m00 x + m01 y + m02, m10 x + m11 y + m12).
    CPoint2D Apply(const CPoint2D& p) const;

private:
    // Makes this a rows x cols matrix of zeros, reusing the storage when it is large enough.
    void Reshape(int rows, int cols);
    std::size_t Index(int row, int col) const
    {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(ColCount) + static_cast<std::size_t>(col);
    }

    int RowCount;
    int ColCount;
    std::vector<double> Values;
};

} // namespace tessaro
