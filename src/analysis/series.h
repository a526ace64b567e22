#pragma once
// Time series of a CSV-window selection: what the plot draws is what the CSV
// export of the same selection writes. The steps follow the CSV time boxes
// (csvSteps), the series come in the CSV's column order (tension records,
// node entries with their axes, beam records), and every value is the number
// the CSV cell holds (metres, degrees cut to hundredths, kg, the beam record's
// integer), so formatting a value with the general number format gives the
// cell's text.

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "dataset/dataset.h"
#include "files/csvexport.h"

namespace qrn::analysis {

// What a series measures; one value axis per quantity in a chart.
enum class Quantity : std::uint8_t { Displacement, Twist, Tension, Beam, Other };

// Millimetres per metre: displacements are drawn in mm, the CSV holds metres.
inline constexpr double kMillimetresPerMetre = 1000.0;

// Factor from a series' values (the CSV's units) to the units its axis shows.
double displayScale(Quantity q);

// Stored time steps first, first + stride, ... (count of them), ascending;
// the time of point i is dt x its step, as the CSV's time column has it.
struct StepGrid {
    double dt = 0.1;
    std::int64_t first = 0;
    std::int64_t stride = 1;
    std::int64_t count = 0;

    std::int64_t step(std::int64_t i) const { return first + i * stride; }
    double time(std::int64_t i) const { return dt * static_cast<double>(step(i)); }
    // The point whose time is nearest `t` (0 .. count-1; -1 when empty).
    std::int64_t nearest(double t) const;
    friend bool operator==(const StepGrid&, const StepGrid&) = default;
};

// Where a series of the selection comes from.
struct SeriesKey {
    enum class Kind : std::uint8_t { Node, Tension, Beam };
    Kind kind = Kind::Node;
    std::int64_t index = 0;  // node-table entry, tension record or beam record
    int axis = CsvX;         // nodes: CsvX, CsvY, CsvZ or CsvTheta
    friend bool operator==(const SeriesKey&, const SeriesKey&) = default;
};

struct Series {
    QString label;      // legend and read-out: "3011 X軸", "1001 張力", "Beam 5-2"
    QString csvHeader;  // the CSV column head: "3011X軸", "1001張力(kg)", "Beam5-2"
    Quantity quantity = Quantity::Other;
    // Quantity::Other only: the axis title and the unit of the read-out.
    QString axisTitle;
    QString unit;
    StepGrid grid;
    std::vector<double> values;  // one per grid point, in the CSV's units
};

// The plot's selection: the CSV window's selection (nodes and axes, beam
// records, the time boxes, "変位ﾃﾞｰﾀに初期位置を付加") with the tension records
// chosen one by one instead of all at once. `csv.tension` and `csv.split`
// are not used.
struct PlotSelection {
    CsvSelection csv;
    std::vector<std::uint8_t> tension;  // [0..TensionMax]: 1 = plotted

    bool anyTension() const;
    bool allTension() const;
};

// As the CSV window opens: nothing selected, the whole stored time range.
PlotSelection openPlotSelection(const Dataset& data, const QString& intervalText);

// qrnconv plot's options: the csv selection options, with --tension taking
// every tension record and `elements` (comma-separated element numbers)
// narrowing them to the records of those elements. Throws QrnError for a
// node or element number the dataset does not hold.
PlotSelection plotSelectionFromOptions(const Dataset& data, const CsvCliOptions& options,
                                       const std::optional<QString>& elements,
                                       const QString& intervalText);

// A message when --elements is not a comma-separated list of whole numbers
// (bad command-line use), empty when it is fine.
QString elementsOptionError(const QString& text);

// The steps of the selection's time boxes, ascending (a count-down interval
// gives the same steps in increasing order). Throws QrnError when no stored
// step lies in the range.
StepGrid plotGrid(const Dataset& data, const PlotSelection& sel, const QString& intervalText);

// The stored steps the viewer's time bar runs over, 0 .. StepMax where the
// histories hold them (what a click in the plot may choose).
StepGrid storedSteps(const Dataset& data, const QString& intervalText);

// The selection's series in the CSV's column order (may be empty).
std::vector<SeriesKey> plotKeys(const Dataset& data, const PlotSelection& sel);

// One series over `grid`; `init` adds the initial position / twist as the
// CSV's "変位ﾃﾞｰﾀに初期位置を付加" does. Throws QrnError when the dataset does
// not hold its data.
Series extractSeries(const Dataset& data, const SeriesKey& key, const StepGrid& grid, bool init);

// Every series of the selection. Throws QrnError for an empty time range or
// missing data; an empty selection gives no series.
std::vector<Series> selectionSeries(const Dataset& data, const PlotSelection& sel,
                                    const QString& intervalText);

// The node-table entries that hold node `number` (empty when none).
std::vector<std::int64_t> nodeEntries(const Dataset& data, std::int32_t number);

// The message for an empty selection.
QString emptySelectionMessage();

}  // namespace qrn::analysis
