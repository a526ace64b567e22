#include "cli/sample.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>

#include "dataset/error.h"
#include "dataset/numbers.h"

namespace qrn::sample {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kRise = 4.0;        // seconds for the oscillation to build up
constexpr double kWeight = 1.6;      // conductor weight, kgf per metre
constexpr double kSubSpacing = 0.4;  // bundle spacing, metres
constexpr double kInsulator = 3.5;   // insulator string length, metres
constexpr int kValuesPerLine = 6;    // 12-character fields per history data line
constexpr int kField = 12;

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

// Fixed-point text of q / 10^decimals, right-aligned in `width` characters.
// Writes exactly `width` characters (a value too wide for the field is written
// in full and shifts the line: the model keeps every value well inside).
char* putFixed(char* out, int width, std::int64_t q, int decimals) {
    char digits[32];
    const bool neg = q < 0;
    const std::uint64_t mag =
        neg ? 0 - static_cast<std::uint64_t>(q) : static_cast<std::uint64_t>(q);
    auto r = std::to_chars(digits, digits + sizeof digits, mag);
    int nd = static_cast<int>(r.ptr - digits);
    char text[40];
    int len = 0;
    if (neg) text[len++] = '-';
    if (nd <= decimals) {
        text[len++] = '0';
        text[len++] = '.';
        for (int i = nd; i < decimals; ++i) text[len++] = '0';
        std::memcpy(text + len, digits, static_cast<std::size_t>(nd));
        len += nd;
    } else {
        std::memcpy(text + len, digits, static_cast<std::size_t>(nd - decimals));
        len += nd - decimals;
        if (decimals > 0) {
            text[len++] = '.';
            std::memcpy(text + len, digits + nd - decimals, static_cast<std::size_t>(decimals));
            len += decimals;
        }
    }
    const int pad = width - len;
    if (pad > 0) {
        std::memset(out, ' ', static_cast<std::size_t>(pad));
        out += pad;
    }
    std::memcpy(out, text, static_cast<std::size_t>(len));
    return out + len;
}

char* putInt(char* out, int width, std::int64_t v) { return putFixed(out, width, v, 0); }

char* putText(char* out, std::string_view s) {
    std::memcpy(out, s.data(), s.size());
    return out + s.size();
}

char* putCrLf(char* out) {
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

std::string intervalText(double interval) { return num::formatGeneral(interval); }

// The history header: "HISTORY" in 1-7, kind in 21-24, component digit in 40,
// node or element number in 52-60.
std::string historyHeader(const Model::Entry& e) {
    std::string h(60, ' ');
    h.replace(0, 7, "HISTORY");
    h.replace(8, 6, "OUTPUT");
    const char* kind = e.kind == Model::Entry::Disp   ? "DISP"
                       : e.kind == Model::Entry::Cabl ? "CABL"
                                                      : "BEAM";
    h.replace(20, 4, kind);
    h.replace(25, 9, "COMPONENT");
    h[39] = static_cast<char>('0' + e.digit);
    h.replace(41, e.kind == Model::Entry::Disp ? 4 : 7,
              e.kind == Model::Entry::Disp ? "NODE" : "ELEMENT");
    putInt(h.data() + 51, 9, e.number);
    return h;
}

std::string historySecondLine(const SampleOptions& opts) {
    return "      STEP      TIME   DT=" + intervalText(opts.interval) + " SEC";
}

std::int64_t dataBytes(std::int64_t n) {
    const std::int64_t full = n / kValuesPerLine;
    const std::int64_t rest = n % kValuesPerLine;
    return full * (kValuesPerLine * kField + 2) + (rest ? rest * kField + 2 : 0);
}

const char* const kTitle1 = " QUARN  DYNAMIC RESPONSE OF OVERHEAD LINE CONDUCTORS";

std::string titleLine2(const SampleOptions& opts) {
    return " SAMPLE ANALYSIS  SEED=" + std::to_string(opts.seed) +
           "  CABLES=" + std::to_string(opts.cables) + "  NODES=" + std::to_string(opts.nodes) +
           "  STEPS=" + std::to_string(opts.steps);
}

// Little-endian byte output into a buffer.
void putI32(char* p, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}
void putF64(char* p, double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, 8);
    for (int i = 0; i < 8; ++i) p[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

// Buffered block output to one or more files (the two text histories get the
// same bytes).
class BlockWriter {
  public:
    BlockWriter(std::vector<QSaveFile*> files, std::function<void(std::int64_t)> onBytes)
        : files_(std::move(files)), onBytes_(std::move(onBytes)), buf_(kSize) {}
    // Room for n more bytes (n <= kReserve); returns where to write them.
    char* reserve(std::size_t n) {
        if (used_ + n > buf_.size()) flush();
        return buf_.data() + used_;
    }
    void advance(char* end) { used_ = static_cast<std::size_t>(end - buf_.data()); }
    void flush() {
        if (used_ == 0) return;
        for (QSaveFile* f : files_) {
            if (f->write(buf_.data(), static_cast<qint64>(used_)) != static_cast<qint64>(used_))
                throw QrnError(QStringLiteral("ファイル") + f->fileName() +
                               QStringLiteral("に書き込めません。") + QChar(u'\r') +
                               f->errorString());
        }
        if (onBytes_) onBytes_(static_cast<std::int64_t>(used_));
        used_ = 0;
    }
    static constexpr std::size_t kSize = std::size_t{8} << 20;

  private:
    std::vector<QSaveFile*> files_;
    std::function<void(std::int64_t)> onBytes_;
    std::vector<char> buf_;
    std::size_t used_ = 0;
};

void openForWrite(QSaveFile& f) {
    if (!f.open(QIODevice::WriteOnly))
        throw QrnError(QStringLiteral("ファイル") + QDir::toNativeSeparators(f.fileName()) +
                       QStringLiteral("を作成できません。") + QChar(u'\r') + f.errorString());
}

void commit(QSaveFile& f) {
    if (!f.commit())
        throw QrnError(QStringLiteral("ファイル") + QDir::toNativeSeparators(f.fileName()) +
                       QStringLiteral("に書き込めません。") + QChar(u'\r') + f.errorString());
}

void writeWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile f(path);
    openForWrite(f);
    if (f.write(bytes) != bytes.size())
        throw QrnError(QStringLiteral("ファイル") + QDir::toNativeSeparators(path) +
                       QStringLiteral("に書き込めません。") + QChar(u'\r') + f.errorString());
    commit(f);
}

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

QByteArray settingsText(const Model& m) {
    std::string t;
    char buf[128];
    auto line = [&](std::string_view s) {
        t.append(s);
        t.append("\r\n");
    };
    line("# quarn input deck (qrnconv sample): " + std::to_string(m.spans()) + " spans, " +
         std::to_string(m.phases()) + " phases of " + std::to_string(m.bundle()) +
         " conductors, seed " + std::to_string(m.options().seed));
    line("*UNIT");
    line("KG        M");  // force unit in 1-2, length unit in 11
    auto element = [&](const Model::Element& e, int prop) {
        char* p = buf;
        p = putInt(p, 10, e.number);
        p = putInt(p, 10, prop);
        p = putInt(p, 10, 1);
        p = putInt(p, 10, e.node1);
        p = putInt(p, 10, e.node2);
        line(std::string_view(buf, static_cast<std::size_t>(p - buf)));
    };
    line("*ELEMENT  CABLE");
    line("#   ELEM      PROP      MATL     NODE1     NODE2");
    for (const auto& els : m.cableElements())
        for (const auto& e : els) element(e, 1);
    line("*ELEMENT  BEAM");
    line("#   ELEM      PROP      MATL     NODE1     NODE2");
    for (const auto& e : m.beamElements()) element(e, e.kind == Model::Insulator ? 2 : 3);
    line("*NODE");
    line("#   NODE         X         Y         Z");
    auto node = [&](const Model::Node& n) {
        char* p = buf;
        p = putInt(p, 10, n.number);
        p = putFixed(p, 10, std::llround(n.x * 1000.0), 3);
        p = putFixed(p, 10, std::llround(n.y * 1000.0), 3);
        p = putFixed(p, 10, std::llround(n.z * 1000.0), 3);
        line(std::string_view(buf, static_cast<std::size_t>(p - buf)));
    };
    for (const auto& chain : m.cableNodes())
        for (const auto& n : chain) node(n);
    for (const auto& n : m.beamNodes()) node(n);
    line("*END");
    return QByteArray(t.data(), static_cast<qsizetype>(t.size()));
}

QByteArray sectionText(const Model& m) {
    std::string t;
    char buf[128];
    t.append(" TIME SECTION FILE  (STATIC EQUILIBRIUM)\r\n");
    t.append(" STEP=         0   TIME=  0.000\r\n");
    for (const auto& st : m.statics()) {
        char* p = putInt(buf, 10, st.number);
        p = putCrLf(p);
        for (int i = 0; i < 4; ++i) p = putFixed(p, kField, st.q[static_cast<std::size_t>(i)], 6);
        p = putCrLf(p);
        t.append(buf, static_cast<std::size_t>(p - buf));
    }
    t.append("         0\r\n");
    return QByteArray(t.data(), static_cast<qsizetype>(t.size()));
}

QByteArray sectionBinary(const Model& m) {
    const auto& st = m.statics();
    const std::int64_t e = static_cast<std::int64_t>(st.size()) * 4;
    const std::int64_t b = 8 * e;
    QByteArray out(static_cast<qsizetype>(328 + b + 8 * e + 4), '\0');
    char* p = out.data();
    // A title record, then the entry count; the entry list and the value list
    // are records framed by their byte lengths.
    putI32(p, 264);
    std::memset(p + 4, ' ', 264);
    const char title[] = "QUARN PRO TIME SECTION (STATIC EQUILIBRIUM)";
    std::memcpy(p + 4, title, sizeof title - 1);
    putI32(p + 268, 264);
    putI32(p + 272, static_cast<std::int32_t>(e));
    putI32(p + 316, static_cast<std::int32_t>(b));
    std::int64_t i = 0;
    for (const auto& s : st) {
        for (int type = 1; type <= 4; ++type, ++i) {
            putI32(p + 320 + 8 * i, s.number);
            putI32(p + 324 + 8 * i, type);
            putF64(p + 328 + b + 8 * i,
                   static_cast<double>(s.q[static_cast<std::size_t>(type - 1)]) / 1e6);
        }
    }
    putI32(p + 320 + b, static_cast<std::int32_t>(b));
    putI32(p + 324 + b, static_cast<std::int32_t>(8 * e));
    putI32(p + 328 + b + 8 * e, static_cast<std::int32_t>(8 * e));
    return out;
}

std::int64_t textHistorySize(const Model& m) {
    const std::int64_t n = m.options().steps;
    const std::int64_t perRecord =
        62 + static_cast<std::int64_t>(historySecondLine(m.options()).size()) + 2 + 12 +
        dataBytes(n);
    return static_cast<std::int64_t>(std::strlen(kTitle1)) + 2 +
           static_cast<std::int64_t>(titleLine2(m.options()).size()) + 2 +
           perRecord * static_cast<std::int64_t>(m.entries().size());
}

std::int64_t binaryHistorySize(const Model& m) {
    const std::int64_t n = m.options().steps;
    const std::int64_t e = static_cast<std::int64_t>(m.dispCount() + m.tensionCount());
    return 12 * n + 8 * n * e + 8 * e + 328;
}

namespace {

void writeTextHistory(const Model& m, BlockWriter& w) {
    const std::int64_t n = m.options().steps;
    auto line = [&](std::string_view s) {
        char* p = w.reserve(s.size() + 2);
        p = putText(p, s);
        w.advance(putCrLf(p));
    };
    line(kTitle1);
    line(titleLine2(m.options()));
    const std::string second = historySecondLine(m.options());
    std::vector<Model::Row> rows(Model::kChunk);
    for (const auto& e : m.entries()) {
        line(historyHeader(e));
        line(second);
        char cnt[16];
        line(std::string_view(cnt, static_cast<std::size_t>(putInt(cnt, 10, n) - cnt)));
        const int dec = Model::decimals(e);
        int onLine = 0;
        for (std::int64_t first = 0; first < n; first += Model::kChunk) {
            const int count = static_cast<int>(std::min<std::int64_t>(Model::kChunk, n - first));
            m.rows(e.phase, first, count, rows.data());
            char* p = w.reserve(static_cast<std::size_t>(count) * kField +
                                2 * (count / kValuesPerLine + 2));
            for (int i = 0; i < count; ++i) {
                p = putFixed(p, kField, Model::quantValue(e, rows[static_cast<std::size_t>(i)]),
                             dec);
                if (++onLine == kValuesPerLine) {
                    p = putCrLf(p);
                    onLine = 0;
                }
            }
            w.advance(p);
        }
        if (onLine) w.advance(putCrLf(w.reserve(2)));
    }
    w.flush();
}

void writeBinaryHistory(const Model& m, BlockWriter& w) {
    const std::int64_t n = m.options().steps;
    const std::size_t d = m.dispCount(), t = m.tensionCount();
    const std::size_t e = d + t;
    const auto n32 = static_cast<std::int32_t>(n);
    const std::int32_t a = 4 * n32 + 8;
    const auto recLen = static_cast<std::int32_t>(8 * e);

    char* p = w.reserve(256);
    std::memset(p, 0, 256);
    putI32(p, 100);
    std::memset(p + 4, ' ', 100);
    const char title[] = "QUARN PRO BINARY TIME HISTORY";
    std::memcpy(p + 4, title, sizeof title - 1);
    putI32(p + 104, 100);
    putI32(p + 108, n32);
    putF64(p + 112, m.options().interval);
    putI32(p + 120, static_cast<std::int32_t>(d / 4));
    putI32(p + 124, static_cast<std::int32_t>(t));
    putI32(p + 128, static_cast<std::int32_t>(m.beamElements().size()));
    putI32(p + 252, a);
    w.advance(p + 256);
    // Step numbers, then the header words.
    for (std::int64_t s = 1; s <= n; ++s) {
        char* q = w.reserve(4);
        putI32(q, static_cast<std::int32_t>(s));
        w.advance(q + 4);
    }
    p = w.reserve(64 + 4);
    std::memset(p, 0, 64);
    putI32(p + 0, static_cast<std::int32_t>(e));
    putI32(p + 4, n32);
    putI32(p + 8, static_cast<std::int32_t>(e));
    putI32(p + 12, static_cast<std::int32_t>(d));
    putI32(p + 64, recLen);
    w.advance(p + 68);
    const auto& entries = m.entries();
    for (std::size_t i = 0; i < e; ++i) {
        char* q = w.reserve(8);
        putI32(q, entries[i].number);
        putI32(q + 4, entries[i].digit);
        w.advance(q + 8);
    }
    p = w.reserve(4);
    putI32(p, recLen);
    w.advance(p + 4);

    // Step records, each framed by its byte length, one chunk of steps at a time.
    const int phases = m.phases();
    std::vector<Model::Row> rows(static_cast<std::size_t>(phases) * Model::kChunk);
    for (std::int64_t first = 0; first < n; first += Model::kChunk) {
        const int count = static_cast<int>(std::min<std::int64_t>(Model::kChunk, n - first));
        for (int ph = 0; ph < phases; ++ph)
            m.rows(ph, first, count, rows.data() + static_cast<std::size_t>(ph) * Model::kChunk);
        for (int i = 0; i < count; ++i) {
            p = w.reserve(4);
            putI32(p, recLen);
            w.advance(p + 4);
            for (std::size_t k = 0; k < e; ++k) {
                const auto& en = entries[k];
                const auto& r = rows[static_cast<std::size_t>(en.phase) * Model::kChunk +
                                     static_cast<std::size_t>(i)];
                char* q = w.reserve(8);
                putF64(q, static_cast<double>(Model::quantValue(en, r)) / Model::scale(en));
                w.advance(q + 8);
            }
            p = w.reserve(4);
            putI32(p, recLen);
            w.advance(p + 4);
        }
    }
    w.flush();
}

}  // namespace

void writeSample(const QString& dir, const SampleOptions& opts,
                 const std::function<void(double)>& progress) {
    const QString problem = checkOptions(opts);
    if (!problem.isEmpty()) throw QrnError(problem);
    QDir d(dir);
    if (!d.mkpath(QStringLiteral("tmp")))
        throw QrnError(QStringLiteral("フォルダ") +
                       QDir::toNativeSeparators(d.absoluteFilePath(QStringLiteral("tmp"))) +
                       QStringLiteral("を作成できません。"));
    const Model m(opts);

    const QByteArray settings = settingsText(m);
    writeWhole(d.filePath(kSettingsName), settings);
    writeWhole(d.filePath(kProSettingsName), settings);
    writeWhole(d.filePath(kSectionTextName), sectionText(m));
    writeWhole(d.filePath(kSectionBinaryName), sectionBinary(m));

    const double total = static_cast<double>(textHistorySize(m) + binaryHistorySize(m));
    std::int64_t done = 0;
    auto onBytes = [&](std::int64_t b) {
        done += b;
        if (progress) progress(static_cast<double>(done) / total);
    };
    {
        QSaveFile his(d.filePath(kHistoryName)), f24(d.filePath(kProTextName));
        openForWrite(his);
        openForWrite(f24);
        BlockWriter w({&his, &f24}, onBytes);
        writeTextHistory(m, w);
        commit(his);
        commit(f24);
    }
    {
        QSaveFile f08(d.filePath(kProBinaryName));
        openForWrite(f08);
        BlockWriter w({&f08}, onBytes);
        writeBinaryHistory(m, w);
        commit(f08);
    }
}

}  // namespace qrn::sample
