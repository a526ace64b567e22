// Writes a settings file "st.dat" and a text history "run1.his" of a given size
// for reader benchmarks: cables of equal length, every node in four components,
// every cable element's tension, values in the analysis program's E12.5 fields.
//   qrn_hisgen DIR CABLES NODES STEPS

#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

std::string right(const std::string& s, std::size_t w) {
    return s.size() >= w ? s : std::string(w - s.size(), ' ') + s;
}

// " -0.12345E+01" style, 12 characters, from a pseudo-random state.
void field(char* out, std::uint64_t r) {
    out[0] = (r & 1) ? '-' : ' ';
    out[1] = '0';
    out[2] = '.';
    std::uint64_t m = 10000 + (r >> 8) % 90000;
    for (int i = 7; i >= 3; --i) {
        out[i] = static_cast<char>('0' + m % 10);
        m /= 10;
    }
    out[8] = 'E';
    const int e = static_cast<int>((r >> 40) % 7) - 3;
    out[9] = e < 0 ? '-' : '+';
    out[10] = '0';
    out[11] = static_cast<char>('0' + (e < 0 ? -e : e));
}

bool writeAll(QFile& f, const std::string& s) {
    return f.write(s.data(), static_cast<qint64>(s.size())) == static_cast<qint64>(s.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fputs("usage: qrn_hisgen DIR CABLES NODES STEPS\n", stderr);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const int cables = std::stoi(argv[2]);
    const int nodes = std::stoi(argv[3]);
    const int steps = std::stoi(argv[4]);
    QDir().mkpath(dir);

    std::string st = "*UNIT\r\nKG        M\r\n*ELEMENT  CABLE\r\n";
    int element = 1;
    auto nodeNo = [&](int c, int k) { return c * 100000 + k + 1; };
    for (int c = 0; c < cables; ++c)
        for (int k = 0; k + 1 < nodes; ++k, ++element)
            st += right(std::to_string(element), 10) + std::string(20, ' ') +
                  right(std::to_string(nodeNo(c, k)), 10) +
                  right(std::to_string(nodeNo(c, k + 1)), 10) + "\r\n";
    st += "*NODE\r\n";
    for (int c = 0; c < cables; ++c)
        for (int k = 0; k < nodes; ++k) {
            st += ' ';
            st += right(std::to_string(nodeNo(c, k)), 9);
            st += right(std::to_string(k * 5), 10);
            st += right(std::to_string(c), 10);
            st += right("20", 10);
            st += "\r\n";
        }
    QFile sf(dir + QStringLiteral("/st.dat"));
    if (!sf.open(QIODevice::WriteOnly) || !writeAll(sf, st)) return 1;

    QFile hf(dir + QStringLiteral("/run1.his"));
    if (!hf.open(QIODevice::WriteOnly)) return 1;
    std::uint64_t state = 88172645463325252ull;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    std::string buf;
    auto record = [&](const char* kind, int digit, int number) {
        std::string h = "HISTORY  OF RESPONSE";
        h += kind;
        h.resize(39, ' ');
        h += static_cast<char>('0' + digit);
        h.resize(51, ' ');
        h += right(std::to_string(number), 9);
        buf +=
            h + "\r\n  TIME HISTORY OF " + kind + "\r\n" + right(std::to_string(steps), 8) + "\r\n";
        char line[6 * 12];
        for (int j = 0; j < steps;) {
            int f = 0;
            for (; f < 6 && j < steps; ++f, ++j) field(line + 12 * f, next());
            buf.append(line, static_cast<std::size_t>(12 * f));
            buf += "\r\n";
        }
        if (buf.size() > (8u << 20)) {
            if (!writeAll(hf, buf)) std::exit(1);
            buf.clear();
        }
    };
    for (int c = 0; c < cables; ++c)
        for (int k = 0; k < nodes; ++k)
            for (int d = 1; d <= 4; ++d) record("DISP", d, nodeNo(c, k));
    for (int e = 1; e < element; ++e) record("CABL", 1, e);
    if (!writeAll(hf, buf)) return 1;
    return 0;
}
