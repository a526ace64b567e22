#include "cli/readinput.h"

#include <utility>
#include <vector>

#include "cli/cliargs.h"
#include "dataset/numbers.h"

namespace qrn::cli {

ReadResult readInput(Dataset& data, const ReadRequest& request, TerminalHost& host) {
    ReadResult r = request.mode == LoadBinary ? loadDatasetFile(data, request, host)
                                              : ReadAnalysis(data, request, host);
    host.endProgress();
    host.show(r.outcome.notices);
    // The core hands back the interval it wrote; the box then applies its rule.
    r.intervalText = intervalBoxText(r.intervalText);
    return r;
}

QByteArray jsonString(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    static const char hex[] = "0123456789abcdef";
                    out += "\\u00";
                    out += hex[c >> 4];
                    out += hex[c & 15];
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
    return out;
}

QByteArray infoText(const Dataset& d, const ReadResult& r, bool json) {
    const std::vector<std::pair<const char*, std::int64_t>> counts = {
        {"CableMax", d.CableMax},         {"NodeTblMax", d.NodeTblMax},
        {"NodeMax", d.NodeMax},           {"BeamElemMax", d.BeamElemMax},
        {"BeamNodeMax", d.BeamNodeMax},   {"StepCount", d.StepCount},
        {"StepMax", d.StepMax},           {"TensionMax", d.TensionMax},
        {"BeamRecCount", d.BeamRecCount}, {"thinning", r.thinning},
    };
    const QByteArray force = QByteArray::fromStdString(num::formatGeneral(r.forceFactor));
    const QByteArray length = QByteArray::fromStdString(num::formatGeneral(r.lengthFactor));
    QByteArray out;
    if (json) {
        out += '{';
        for (const auto& [name, v] : counts) {
            out += '"';
            out += name;
            out += "\":";
            out += QByteArray::number(static_cast<qlonglong>(v));
            out += ',';
        }
        out += "\"interval\":" + jsonString(r.intervalText);
        out += ",\"forceFactor\":" + force;
        out += ",\"lengthFactor\":" + length;
        out += ",\"files\":[";
        for (qsizetype i = 0; i < r.filesRead.size(); ++i) {
            if (i) out += ',';
            out += jsonString(r.filesRead[i]);
        }
        out += "]}\n";
        return out;
    }
    auto line = [&](const char* name, const QByteArray& value) {
        QByteArray n(name);
        n.append(QByteArray(14 - n.size(), ' '));
        out += n + value + '\n';
    };
    for (const auto& [name, v] : counts) line(name, QByteArray::number(static_cast<qlonglong>(v)));
    line("interval", r.intervalText.toUtf8());
    line("forceFactor", force);
    line("lengthFactor", length);
    if (r.filesRead.isEmpty()) line("files", {});
    for (qsizetype i = 0; i < r.filesRead.size(); ++i)
        line(i == 0 ? "files" : "", r.filesRead[i].toUtf8());
    return out;
}

}  // namespace qrn::cli
