#include "cli/samplemodel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qrn::sample {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kRise = 4.0;        // seconds for the oscillation to build up
constexpr double kWeight = 1.6;      // conductor weight, kgf per metre
constexpr double kSubSpacing = 0.4;  // bundle spacing, metres
constexpr double kInsulator = 3.5;   // insulator string length, metres

// splitmix64: small, fast and the same on every platform.
class Rng {
  public:
    explicit Rng(std::uint64_t seed) : s_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform(double lo, double hi) {
        return lo + (hi - lo) * static_cast<double>(next() >> 11) * 0x1.0p-53;
    }

  private:
    std::uint64_t s_;
};

std::int64_t quant(double v, double scale) { return std::llround(v * scale); }

}  // namespace

QString checkOptions(const SampleOptions& opts) {
    if (opts.cables < 1 || opts.cables > kMaxCables)
        return QStringLiteral("--cables は 1 から %1 の整数で指定してください。").arg(kMaxCables);
    if (opts.nodes < 2 || opts.nodes > kMaxNodes)
        return QStringLiteral("--nodes は 2 から %1 の整数で指定してください。").arg(kMaxNodes);
    if (opts.steps < 1 || opts.steps > kMaxSteps)
        return QStringLiteral("--steps は 1 から %1 の整数で指定してください。").arg(kMaxSteps);
    if (!(opts.interval > 0.0) || !std::isfinite(opts.interval) || opts.interval > 1e6)
        return QStringLiteral("--interval は正の数で指定してください。");
    return {};
}

Model::Model(const SampleOptions& opts) : options_(opts) { build(); }

void Model::build() {
    const int cables = options_.cables;
    const int nodes = options_.nodes;
    bundle_ = (cables >= 12 && cables % 4 == 0) ? 4 : (cables % 2 == 0 ? 2 : 1);
    phases_ = cables / bundle_;
    spans_ = std::clamp((nodes - 1) / 2, 1, 3);
    base_ = 1000;
    while (base_ <= nodes) base_ *= 10;

    Rng rng(options_.seed);
    phase_.resize(static_cast<std::size_t>(phases_));
    for (int p = 0; p < phases_; ++p) {
        Phase& ph = phase_[static_cast<std::size_t>(p)];
        ph.amp = rng.uniform(1.0, 2.5);
        ph.omega = 2 * kPi * rng.uniform(0.22, 0.42);
        ph.phi0 = rng.uniform(0, 2 * kPi);
        ph.ellipse = rng.uniform(0.2, 0.45);
        ph.twist = rng.uniform(0.12, 0.3);
        ph.lag = rng.uniform(0.3, 1.1);
        ph.a2 = rng.uniform(0.03, 0.08);
        ph.f2 = 2.7;
        ph.p2 = rng.uniform(0, 2 * kPi);
        ph.a3 = rng.uniform(0.01, 0.04);
        ph.f3 = 4.1;
        ph.p3 = rng.uniform(0, 2 * kPi);
        ph.tension = rng.uniform(2200, 2800);
        // Vertical double-circuit arrangement, circuits side by side.
        const int circuit = p / 3, level = p % 3;
        const double side = (circuit % 2) ? 1.0 : -1.0;
        ph.y = side * (7.0 + 1.5 * level + 12.0 * (circuit / 2));
        ph.z = 34.0 - 7.0 * level;
    }

    // Towers at evenly spread node indices; spans of 300, 280, 320 m.
    std::vector<int> tower(static_cast<std::size_t>(spans_ + 1));
    std::vector<double> towerX(static_cast<std::size_t>(spans_ + 1)),
        span(static_cast<std::size_t>(spans_));
    for (int i = 0; i <= spans_; ++i)
        tower[static_cast<std::size_t>(i)] = (i * (nodes - 1) + spans_ / 2) / spans_;
    static const double kSpanLen[3] = {300.0, 280.0, 320.0};
    towerX[0] = 0;
    for (int i = 0; i < spans_; ++i) {
        span[static_cast<std::size_t>(i)] = kSpanLen[i % 3];
        towerX[static_cast<std::size_t>(i + 1)] =
            towerX[static_cast<std::size_t>(i)] + kSpanLen[i % 3];
    }
    auto towerFactor = [&](int i) { return (i == 0 || i == spans_) ? 0.0 : 1.0; };
    auto mm = [](double v) { return static_cast<double>(std::llround(v * 1000.0)) / 1000.0; };

    struct Place {
        double x, zSag, u, shape, swing;
        int span;
    };
    auto place = [&](int k) {
        int i = 0;
        while (i < spans_ - 1 && k >= tower[static_cast<std::size_t>(i + 1)]) ++i;
        const int k0 = tower[static_cast<std::size_t>(i)],
                  k1 = tower[static_cast<std::size_t>(i + 1)];
        const double u = static_cast<double>(k - k0) / static_cast<double>(k1 - k0);
        const double L = span[static_cast<std::size_t>(i)];
        Place pl;
        pl.span = i;
        pl.u = u;
        pl.x = towerX[static_cast<std::size_t>(i)] + u * L;
        pl.zSag = -4.0 * 0.032 * L * u * (1.0 - u);
        const bool atTower = (k == k0 || k == k1);
        pl.shape = atTower ? 0.0 : std::sin(kPi * u) * ((i % 2) ? -1.0 : 1.0);
        pl.swing = (1 - u) * towerFactor(i) + u * towerFactor(i + 1);
        return pl;
    };

    std::vector<std::array<double, 2>> subOffset;
    if (bundle_ == 1)
        subOffset = {{0.0, 0.0}};
    else if (bundle_ == 2)
        subOffset = {{-kSubSpacing / 2, 0.0}, {kSubSpacing / 2, 0.0}};
    else {
        const double h = kSubSpacing / 2;
        subOffset = {{-h, h}, {h, h}, {h, -h}, {-h, -h}};
    }

    cableNodes_.assign(static_cast<std::size_t>(cables), {});
    cableElements_.assign(static_cast<std::size_t>(cables), {});
    for (int c = 0; c < cables; ++c) {
        const int p = c / bundle_, j = c % bundle_;
        const Phase& ph = phase_[static_cast<std::size_t>(p)];
        auto& chain = cableNodes_[static_cast<std::size_t>(c)];
        chain.reserve(static_cast<std::size_t>(nodes));
        for (int k = 0; k < nodes; ++k) {
            const Place pl = place(k);
            Node n;
            n.number = (c + 1) * base_ + k + 1;
            n.oy = subOffset[static_cast<std::size_t>(j)][0];
            n.oz = subOffset[static_cast<std::size_t>(j)][1];
            n.x = mm(pl.x);
            n.y = mm(ph.y + n.oy);
            n.z = mm(ph.z + pl.zSag + n.oz);
            n.phase = p;
            n.shape = pl.shape;
            n.swing = pl.swing;
            n.moving = true;
            chain.push_back(n);
        }
        auto& els = cableElements_[static_cast<std::size_t>(c)];
        els.reserve(static_cast<std::size_t>(nodes - 1));
        for (int k = 0; k + 1 < nodes; ++k) {
            const Node& a = chain[static_cast<std::size_t>(k)];
            const Node& b = chain[static_cast<std::size_t>(k + 1)];
            const Place pl = place(k);
            const double sag = 0.032 * span[static_cast<std::size_t>(pl.span)];
            Element e;
            e.number = (c + 1) * base_ + k + 1;
            e.node1 = a.number;
            e.node2 = b.number;
            e.phase = p;
            e.kind = Cable;
            e.shape = 0.5 * (a.shape + b.shape);
            // Tension rises with height above the lowest point of the span.
            const double zMid =
                0.5 * (a.z + b.z) - (ph.z + subOffset[static_cast<std::size_t>(j)][1]);
            e.base = ph.tension + kWeight * (zMid + sag);
            els.push_back(e);
        }
    }

    // Beam section: insulator strings at every tower, then spacers in the spans.
    const std::int32_t beamBase = (cables + 1) * base_;
    std::int32_t nextBeamNode = beamBase + 1;
    std::int32_t nextBeamElem = beamBase + 1;
    for (int i = 0; i <= spans_; ++i) {
        const int k = tower[static_cast<std::size_t>(i)];
        const double load = kWeight * 0.5 *
                                ((i > 0 ? span[static_cast<std::size_t>(i - 1)] : 0.0) +
                                 (i < spans_ ? span[static_cast<std::size_t>(i)] : 0.0)) +
                            45.0;
        for (int p = 0; p < phases_; ++p) {
            const Phase& ph = phase_[static_cast<std::size_t>(p)];
            Node a;
            a.number = nextBeamNode++;
            a.x = mm(towerX[static_cast<std::size_t>(i)]);
            a.y = mm(ph.y);
            a.z = mm(ph.z + kInsulator);
            a.phase = p;
            beamNodes_.push_back(a);
            for (int j = 0; j < bundle_; ++j) {
                Element e;
                e.number = nextBeamElem++;
                e.node1 = a.number;
                e.node2 = cableNodes_[static_cast<std::size_t>(p * bundle_ + j)]
                                     [static_cast<std::size_t>(k)]
                                         .number;
                e.phase = p;
                e.kind = Insulator;
                e.base = load;
                beamElements_.push_back(e);
            }
        }
    }
    std::vector<std::size_t> centres;
    if (bundle_ > 1) {
        for (int i = 0; i < spans_; ++i) {
            const int k0 = tower[static_cast<std::size_t>(i)];
            const int m = tower[static_cast<std::size_t>(i + 1)] - k0;
            const int q = std::min(4, m - 1);
            for (int s = 1; s <= q; ++s) {
                const int k = k0 + (s * m + (q + 1) / 2) / (q + 1);
                const Place pl = place(k);
                for (int p = 0; p < phases_; ++p) {
                    const Phase& ph = phase_[static_cast<std::size_t>(p)];
                    Node cn;
                    cn.number = nextBeamNode++;
                    cn.x = mm(pl.x);
                    cn.y = mm(ph.y);
                    cn.z = mm(ph.z + pl.zSag);
                    cn.phase = p;
                    cn.shape = pl.shape;
                    cn.swing = pl.swing;
                    cn.moving = true;
                    centres.push_back(beamNodes_.size());
                    beamNodes_.push_back(cn);
                    for (int j = 0; j < bundle_; ++j) {
                        Element e;
                        e.number = nextBeamElem++;
                        e.node1 = cn.number;
                        e.node2 = cableNodes_[static_cast<std::size_t>(p * bundle_ + j)]
                                             [static_cast<std::size_t>(k)]
                                                 .number;
                        e.phase = p;
                        e.kind = SpacerArm;
                        e.shape = pl.shape;
                        e.sign = (j % 2) ? -1.0 : 1.0;
                        beamElements_.push_back(e);
                    }
                }
            }
        }
    }

    // History entries and static offsets.
    auto addDisp = [&](const Node& n) {
        const Phase& ph = phase_[static_cast<std::size_t>(n.phase)];
        const double tA = ph.twist * n.shape * std::cos(ph.lag);
        const double tB = ph.twist * n.shape * std::sin(ph.lag);
        for (int d = 1; d <= 4; ++d) {
            Entry e;
            e.kind = Entry::Disp;
            e.digit = d;
            e.form = static_cast<Entry::Form>(Entry::DispX + (d - 1));
            e.number = n.number;
            e.phase = n.phase;
            e.b = tA;
            e.c = tB;
            e.oy = n.oy;
            e.oz = n.oz;
            if (d == 1) e.a = 0.08 * ph.amp * n.swing;
            if (d == 2) e.a = -ph.ellipse * ph.amp * n.shape;
            if (d == 3) e.a = ph.amp * n.shape;
            entries_.push_back(e);
        }
        const double s = std::fabs(n.shape);
        const double sy = n.oy > 0 ? 1.0 : (n.oy < 0 ? -1.0 : 0.0);
        const double sz = n.oz > 0 ? 1.0 : (n.oz < 0 ? -1.0 : 0.0);
        // Spacers pull the sub-conductors together, the bundle sags a little
        // more and twists under the spacers' eccentric weight.
        Static st;
        st.number = n.number;
        st.q = {quant(0.01 * n.swing, 1e6), quant(-0.003 * sy * s, 1e6),
                quant(-0.15 * s - 0.002 * sz * s, 1e6), quant(0.012 * n.shape, 1e6)};
        statics_.push_back(st);
    };
    for (const auto& chain : cableNodes_)
        for (const Node& n : chain) addDisp(n);
    for (std::size_t i : centres) addDisp(beamNodes_[i]);
    dispCount_ = entries_.size();
    for (const auto& els : cableElements_) {
        for (const Element& el : els) {
            Entry e;
            e.kind = Entry::Cabl;
            e.form = Entry::Tension;
            e.digit = 1;
            e.number = el.number;
            e.phase = el.phase;
            e.a = el.base;
            e.b = 0.12 * el.shape;
            entries_.push_back(e);
        }
    }
    tensionCount_ = entries_.size() - dispCount_;
    for (const Element& el : beamElements_) {
        const Phase& ph = phase_[static_cast<std::size_t>(el.phase)];
        Entry e;
        e.kind = Entry::Beam;
        e.number = el.number;
        e.phase = el.phase;
        if (el.kind == Insulator) {
            e.digit = 1;
            e.form = Entry::InsulatorForce;
            e.a = el.base;
            entries_.push_back(e);
        } else {
            e.digit = 1;  // axial force from the bundle's twist
            e.form = Entry::ArmAxial;
            e.a = 150.0 * el.sign;
            e.b = ph.twist * el.shape * std::cos(ph.lag);
            e.c = ph.twist * el.shape * std::sin(ph.lag);
            entries_.push_back(e);
            e.digit = 2;  // shear from the vertical motion
            e.form = Entry::ArmShear;
            e.a = 18.0 * el.shape * el.sign;
            e.b = e.c = 0;
            entries_.push_back(e);
        }
    }
}

void Model::rows(int phase, std::int64_t first, int count, Row* out) const {
    const Phase& ph = phase_[static_cast<std::size_t>(phase)];
    const double dt = options_.interval;
    const double t0 = static_cast<double>(first) * dt;
    // Exact values at the chunk start, then rotation by one step: the result
    // depends only on the step, not on the order in which files ask for it.
    double a1 = ph.omega * t0 + ph.phi0, a2 = ph.f2 * ph.omega * t0 + ph.p2,
           a3 = ph.f3 * ph.omega * t0 + ph.p3;
    double s1 = std::sin(a1), c1 = std::cos(a1);
    double s2 = std::sin(a2), c2 = std::cos(a2);
    double s3 = std::sin(a3), c3 = std::cos(a3);
    const double ds1 = std::sin(ph.omega * dt), dc1 = std::cos(ph.omega * dt);
    const double ds2 = std::sin(ph.f2 * ph.omega * dt), dc2 = std::cos(ph.f2 * ph.omega * dt);
    const double ds3 = std::sin(ph.f3 * ph.omega * dt), dc3 = std::cos(ph.f3 * ph.omega * dt);
    double decay = std::exp(-t0 / kRise);
    const double dd = std::exp(-dt / kRise);
    for (int i = 0; i < count; ++i) {
        const double env = 1.0 - decay;
        out[i].s = env * s1;
        out[i].c = env * c1;
        out[i].n = env * (ph.a2 * s2 + ph.a3 * s3);
        out[i].s2 = env * 2.0 * s1 * c1;
        double t = s1 * dc1 + c1 * ds1;
        c1 = c1 * dc1 - s1 * ds1;
        s1 = t;
        t = s2 * dc2 + c2 * ds2;
        c2 = c2 * dc2 - s2 * ds2;
        s2 = t;
        t = s3 * dc3 + c3 * ds3;
        c3 = c3 * dc3 - s3 * ds3;
        s3 = t;
        decay *= dd;
    }
}

std::int64_t Model::quantValue(const Entry& e, const Row& r) {
    const double tw = e.b * r.s + e.c * r.c;  // bundle twist, rad
    switch (e.form) {
        case Entry::DispX:
            return quant(e.a * r.c, 1e6);
        case Entry::DispY:
            return quant(e.a * r.c - e.oz * tw - 0.5 * e.oy * tw * tw, 1e6);
        case Entry::DispZ:
            return quant(e.a * (r.s + r.n) + e.oy * tw - 0.5 * e.oz * tw * tw, 1e6);
        case Entry::Twist:
            return quant(tw, 1e6);
        case Entry::Tension:
            return quant(e.a * (1.0 + 0.09 * r.s2 + e.b * r.s), 1e3);
        case Entry::InsulatorForce:
            return quant(e.a * (1.0 + 0.3 * r.s + 0.1 * r.n), 1e3);
        case Entry::ArmAxial:
            return quant(e.a * tw + 4.0 * r.n, 1e3);
        case Entry::ArmShear:
            return quant(e.a * (r.s + r.n), 1e3);
    }
    return 0;
}

}  // namespace qrn::sample
