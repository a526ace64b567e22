#pragma once
// The results an engineer runs the analysis for: phase-to-phase clearances,
// peak tensions and beam results, and the motion envelope of every cable node,
// over a range of stored steps. One pass over the history, on every core.
// qrnconv report prints it; the results window shows it as it is.

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/groups.h"
#include "dataset/dataset.h"
#include "dataset/progress.h"

namespace qrn {

inline const QString kReportTitle = QStringLiteral("結果集計");

// What the user chose: the time boxes, the groups, the threshold.
struct ReportRequest {
    QString intervalText = QStringLiteral("0.05");  // the main window's interval box after the read
    std::optional<QString> fromText;                // start time (s); empty: the first stored step
    std::optional<QString> toText;                  // end time (s); empty: the last stored step
    std::optional<QString> groupsText;              // "0,1;2,3"; empty: defaultCableGroups
    double bundleGap = kDefaultBundleGap;           // metres, for the default groups
    std::optional<double> threshold;                // clearance threshold, metres
    int threads = 0;                                // 0: one per core
};

// Stored steps first .. last, both included.
struct StepRange {
    std::int64_t first = 0;
    std::int64_t last = -1;
    std::int64_t count() const { return last >= first ? last - first + 1 : 0; }
};

// The time boxes' texts when the window opens: "0" and the last stored step's time.
QString reportDefaultFromText();
QString reportDefaultToText(const Dataset& data, const QString& intervalText);

// The steps the time boxes select, with the CSV window's rules (times rounded
// to steps, the end capped by its correction rule, both clamped to the stored
// steps 0 .. StepMax). Throws QrnError when no step remains.
StepRange reportSteps(const Dataset& data, const QString& intervalText,
                      const std::optional<QString>& fromText, const std::optional<QString>& toText);

// A request checked against the dataset: everything the computation needs.
struct ReportSetup {
    StepRange steps;
    double stepSeconds = 0.05;  // time of step t is t x stepSeconds
    CableGroups groups;
    bool defaultGroups = true;
    double bundleGap = kDefaultBundleGap;
    std::optional<double> threshold;
    int threads = 0;
    // The time the CSV export writes for a step (15 significant digits), as a number.
    double timeOf(std::int64_t step) const;
};

// Checks the request (groups, steps, the dataset's arrays) and resolves it;
// throws QrnError with the message to show. Nothing heavy runs here.
ReportSetup prepareReport(const Dataset& data, const ReportRequest& request);

// One end of a clearance: a point on segment `segment` (nodes segment and
// segment + 1) of cable `slot`, at parameter u along it. A point on a node is
// given as the start of the segment that begins there (u = 0), except the
// cable's last node.
struct ClearancePoint {
    int slot = 0;
    int segment = 0;
    double u = 0.0;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// Clearance of groups groupA < groupB: the minimum over the steps, the earliest
// step that attains it and the two closest points (a on groupA, b on groupB).
struct Clearance {
    int groupA = 0;
    int groupB = 0;
    double distance = 0.0;  // metres
    std::int64_t step = 0;
    double time = 0.0;
    ClearancePoint a;
    ClearancePoint b;
    // With a threshold: steps whose clearance is below it, their total time,
    // the first such step, and whether the minimum stays at or above it.
    std::int64_t stepsBelow = 0;
    double belowTime = 0.0;
    std::optional<std::int64_t> firstBelowStep;
    bool pass = true;
};

// Max and min over the steps, each with the earliest step that attains it.
struct Peak {
    std::int32_t max = 0;
    std::int64_t maxStep = 0;
    std::int32_t min = 0;
    std::int64_t minStep = 0;
};

struct TensionPeak {
    int record = 0;
    std::int32_t element = 0;  // TensionElem
    Peak peak;                 // kgf
};

struct BeamPeak {
    int record = 0;
    std::int32_t element = 0;    // BeamRecInfo(0, r)
    std::int32_t component = 0;  // BeamRecInfo(1, r)
    Peak peak;
};

// Envelope of a node-table entry on a cable: per component x, y, z (mm) and
// θ (rad x 1000), as stored.
enum EnvelopeComponent : int { EnvX = 0, EnvY = 1, EnvZ = 2, EnvTheta = 3 };
struct NodeEnvelope {
    int entry = 0;  // node-table entry
    std::int32_t node = 0;
    int slot = 0;
    int index = 0;
    std::array<Peak, 4> component;
    // Peak-to-peak of y and z, mm: the swing of a galloping ellipse.
    std::int64_t swingY() const { return std::int64_t{component[EnvY].max} - component[EnvY].min; }
    std::int64_t swingZ() const { return std::int64_t{component[EnvZ].max} - component[EnvZ].min; }
};

struct Report {
    ReportSetup setup;
    std::vector<Clearance> clearances;    // by distance, smallest first
    QString clearanceNote;                // why the list is empty, when it is
    std::vector<TensionPeak> tensions;    // by record
    std::vector<BeamPeak> beams;          // by record
    std::vector<NodeEnvelope> envelopes;  // by node-table entry
};

// The whole report. Progress through `progress` (stage kReportStage); throws
// Cancelled when it asks to stop, QrnError for a request prepareReport refuses.
inline const QString kReportStage = QStringLiteral("結果集計中");
Report computeReport(const Dataset& data, const ReportSetup& setup, Progress& progress);
Report computeReport(const Dataset& data, const ReportRequest& request, Progress& progress);

// Clearance of groups groupA and groupB at every step of the setup's range
// (distance[i] for step first + i), for a curve over time.
struct ClearanceSeries {
    StepRange steps;
    std::vector<double> distance;  // metres
};
ClearanceSeries clearanceSeries(const Dataset& data, const ReportSetup& setup, int groupA,
                                int groupB, Progress& progress);

// θ of an envelope in degrees, as the CSV export writes θ.
double envelopeDegrees(std::int32_t storedTwist);

// Writes the envelopes, one row per entry, Shift_JIS with CR LF, through a
// temporary that replaces `path` only when complete. Throws QrnError naming
// the file; an existing file is then left as it was.
void writeEnvelopeCsv(const Report& report, const QString& path);

}  // namespace qrn
