#pragma once
// The sample analysis as a model: a few spans of an overhead line along x,
// phases of bundled conductors with sag, insulator strings and spacers as beam
// elements, and a galloping-like motion with torsion, tension and beam forces.
// Deterministic for a seed; its value functions give every file the same
// double for a value (cli/sample.h writes the files).

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace qrn::sample {

struct SampleOptions {
    int cables = 6;            // sub-conductors; bundles of 4 (from 12 on, multiples of 4) or 2
    int nodes = 61;            // nodes per cable
    std::int64_t steps = 400;  // time steps in the histories
    double interval = 0.05;    // seconds per time step
    std::uint64_t seed = 1;
};

// Limits of the options: the node and element numbers must fit the settings
// file's columns and the counts the reader's 32-bit offsets.
inline constexpr int kMaxCables = 999;
inline constexpr int kMaxNodes = 32767;
inline constexpr std::int64_t kMaxSteps = 100'000'000;

// Empty when the options are usable, else a Japanese description of the problem.
QString checkOptions(const SampleOptions& opts);

// The analysis model: geometry, numbering, history entries and value functions.
class Model {
  public:
    explicit Model(const SampleOptions& opts);

    struct Node {
        std::int32_t number = 0;
        double x = 0, y = 0, z = 0;  // set-up coordinates, metres (rounded to mm)
        int phase = 0;
        double oy = 0, oz = 0;  // offset from the bundle centre
        double shape = 0;       // vertical mode shape, -1..1 (0 at the towers)
        double swing = 0;       // longitudinal swing factor (insulator swing), 0..1
        bool moving = false;    // has displacement records
    };
    struct Element {
        std::int32_t number = 0;
        std::int32_t node1 = 0, node2 = 0;
        int phase = 0;
        int kind = 0;      // cable, insulator or spacer arm
        double shape = 0;  // mode shape at the element's middle
        double base = 0;   // static axial force, kgf
        double sign = 1;   // spacer arm orientation
    };
    enum ElementKind { Cable = 0, Insulator = 1, SpacerArm = 2 };

    // One history record: a node component, a cable tension or a beam result.
    struct Entry {
        enum Kind { Disp, Cabl, Beam } kind = Disp;
        // The value function of the entry.
        enum Form { DispX, DispY, DispZ, Twist, Tension, InsulatorForce, ArmAxial, ArmShear };
        Form form = DispX;
        int digit = 1;  // component digit
        std::int32_t number = 0;
        int phase = 0;
        // coefficients of the value function: a main amplitude, b and c the
        // twist (or the tension's shape term), oy and oz the offset from the
        // bundle centre
        double a = 0, b = 0, c = 0, oy = 0, oz = 0;
    };

    // One time step of a phase's motion: env*sin, env*cos of the main
    // oscillation, the small higher harmonics and env*sin of twice the angle.
    struct Row {
        double s = 0, c = 0, n = 0, s2 = 0;
    };
    static constexpr int kChunk = 256;  // rows are recomputed exactly at chunk starts

    const SampleOptions& options() const { return options_; }
    int bundle() const { return bundle_; }
    int phases() const { return phases_; }
    int spans() const { return spans_; }

    // cableNodes[c] is cable c's chain; beamNodes the nodes on no cable in order
    // of first appearance in the beam section.
    const std::vector<std::vector<Node>>& cableNodes() const { return cableNodes_; }
    const std::vector<Node>& beamNodes() const { return beamNodes_; }
    const std::vector<std::vector<Element>>& cableElements() const { return cableElements_; }
    const std::vector<Element>& beamElements() const { return beamElements_; }

    // History entries: displacements (node x, y, z, torsion), then tensions,
    // then beam results (the binary history carries the first two groups).
    const std::vector<Entry>& entries() const { return entries_; }
    std::size_t dispCount() const { return dispCount_; }
    std::size_t tensionCount() const { return tensionCount_; }

    // Rows of `phase` for steps first..first+count-1; `first` must be a
    // multiple of kChunk and count <= kChunk.
    void rows(int phase, std::int64_t first, int count, Row* out) const;

    // Value of an entry at a row, in units of 1e-6 (displacements, torsion)
    // or 1e-3 (forces): what the text files print and the binary files hold.
    static std::int64_t quantValue(const Entry& e, const Row& r);
    static int decimals(const Entry& e) { return e.kind == Entry::Disp ? 6 : 3; }
    static double scale(const Entry& e) { return e.kind == Entry::Disp ? 1e6 : 1e3; }

    // Static-equilibrium offsets of a moving node (metres, radians), in 1e-6.
    struct Static {
        std::int32_t number;
        std::array<std::int64_t, 4> q;
    };
    const std::vector<Static>& statics() const { return statics_; }

  private:
    struct Phase {
        double amp, omega, phi0, ellipse, twist, lag, a2, f2, p2, a3, f3, p3, tension;
        double y, z;
    };
    void build();

    SampleOptions options_;
    int bundle_ = 1;
    int phases_ = 1;
    int spans_ = 1;
    std::int32_t base_ = 1000;
    std::vector<Phase> phase_;
    std::vector<std::vector<Node>> cableNodes_;
    std::vector<Node> beamNodes_;
    std::vector<std::vector<Element>> cableElements_;
    std::vector<Element> beamElements_;
    std::vector<Entry> entries_;
    std::size_t dispCount_ = 0;
    std::size_t tensionCount_ = 0;
    std::vector<Static> statics_;
};

}  // namespace qrn::sample
