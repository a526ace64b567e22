#pragma once
// Reduction of a long series to what a chart of a given pixel width can show:
// the time range is cut into equal columns and each column keeps its first,
// lowest, highest and last point, in step order. The polyline through the
// kept points covers exactly the pixels the full polyline covers (every
// column's extent and the joins between columns are kept), so a series of a
// million steps draws as fast as one of a few thousand.

#include <QList>
#include <QPointF>
#include <cstdint>

#include "analysis/series.h"

namespace qrn::analysis {

// Points first .. end-1 of a grid.
struct IndexRange {
    std::int64_t first = 0;
    std::int64_t end = 0;
    std::int64_t size() const { return end > first ? end - first : 0; }
};

// The points whose time lies in [t0, t1].
IndexRange pointsWithin(const StepGrid& grid, double t0, double t1);

// Reduces the points of `values` (one per grid point) whose time lies in
// [t0, t1] to at most four per column of `columns` equal columns over that
// range: the column's first, minimum, maximum and last point, in step order,
// each once. The nearest point before t0 and after t1 are added so the line
// runs to the chart's edges. NaN values are left out (a column of NaN only
// gives nothing). x is the point's time, y its value x `scale`.
QList<QPointF> reduceToColumns(const double* values, const StepGrid& grid, double t0, double t1,
                               int columns, double scale = 1.0);
QList<QPointF> reduceToColumns(const Series& s, double t0, double t1, int columns);

// The sum of the same points, one pass that only reads them: the floor the
// reduction is measured against.
double sumWithin(const double* values, const StepGrid& grid, double t0, double t1);

}  // namespace qrn::analysis
