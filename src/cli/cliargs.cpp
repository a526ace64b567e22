#include "cli/cliargs.h"

#include <QDir>
#include <QFileInfo>

#include "dataset/numbers.h"

namespace qrn::cli {

std::optional<QString> ParsedArgs::value(const QString& name) const {
    auto it = values.constFind(name);
    if (it == values.constEnd()) return std::nullopt;
    return *it;
}

ParsedArgs parseArgs(const QStringList& args, const std::vector<OptionSpec>& specs) {
    ParsedArgs out;
    for (const QString& a : args) {
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            out.help = true;
            return out;
        }
    }
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--")) {
            for (++i; i < args.size(); ++i) out.positional << args[i];
            break;
        }
        if (!a.startsWith(QLatin1Char('-')) || a == QLatin1String("-")) {
            out.positional << a;
            continue;
        }
        if (!a.startsWith(QLatin1String("--")))
            throw UsageError(QStringLiteral("不明なオプション %1 です。").arg(a));
        QString name = a.mid(2);
        std::optional<QString> inlineValue;
        if (const auto eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
            inlineValue = name.mid(eq + 1);
            name = name.left(eq);
        }
        const OptionSpec* spec = nullptr;
        for (const auto& s : specs)
            if (s.name == name) spec = &s;
        if (!spec) throw UsageError(QStringLiteral("不明なオプション --%1 です。").arg(name));
        if (spec->takesValue) {
            if (inlineValue) {
                out.values[name] = *inlineValue;
            } else {
                if (i + 1 >= args.size())
                    throw UsageError(
                        QStringLiteral("オプション --%1 に値がありません。").arg(name));
                out.values[name] = args[++i];
            }
        } else {
            if (inlineValue)
                throw UsageError(QStringLiteral("オプション --%1 は値をとりません。").arg(name));
            if (!out.flags.contains(name)) out.flags << name;
        }
    }
    return out;
}

void requirePositional(const ParsedArgs& a, const QStringList& names) {
    if (a.positional.size() < names.size())
        throw UsageError(QStringLiteral("%1 がありません。").arg(names[a.positional.size()]));
    if (a.positional.size() > names.size())
        throw UsageError(
            QStringLiteral("余分な引数 %1 があります。").arg(a.positional[names.size()]));
}

std::int64_t intOption(const QString& name, const QString& text, std::int64_t lo, std::int64_t hi) {
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || v < lo || v > hi)
        throw UsageError(QStringLiteral("--%1 には %2 から %3 の整数を指定してください（%4）。")
                             .arg(name)
                             .arg(lo)
                             .arg(hi)
                             .arg(text));
    return v;
}

std::vector<OptionSpec> readOptionSpecs() {
    return {{QStringLiteral("mode"), true},
            {QStringLiteral("settings"), true},
            {QStringLiteral("section"), true},
            {QStringLiteral("interval"), true},
            {QStringLiteral("memory-limit"), true}};
}

ReadOptions readOptionsFrom(const ParsedArgs& a) {
    ReadOptions o;
    if (auto m = a.value(QStringLiteral("mode"))) {
        const auto v = static_cast<int>(intOption(QStringLiteral("mode"), *m, 0, 7));
        if (v == SaveBinary || v == ExportCsv)
            throw UsageError(QStringLiteral(
                "--mode には読込の作業モード 0, 1, 4, 5, 6, 7 を指定してください。"));
        o.mode = v;
    }
    if (auto s = a.value(QStringLiteral("settings"))) {
        if (s->isEmpty()) throw UsageError(QStringLiteral("--settings のパスが空です。"));
        o.settings = *s;
    }
    if (auto s = a.value(QStringLiteral("section"))) {
        if (s->isEmpty()) throw UsageError(QStringLiteral("--section のパスが空です。"));
        o.section = *s;
    }
    if (auto s = a.value(QStringLiteral("interval"))) o.interval = *s;
    if (auto s = a.value(QStringLiteral("memory-limit"))) {
        bool ok = false;
        const qulonglong v = s->trimmed().toULongLong(&ok, 10);
        if (!ok)
            throw UsageError(
                QStringLiteral("--memory-limit にはバイト数を整数で指定してください（%1）。")
                    .arg(*s));
        o.memoryLimit = v;
    }
    return o;
}

QString intervalBoxText(const QString& text) {
    return num::leadingValue(text) == 0.0 ? QStringLiteral("0.1") : text;
}

ReadRequest makeReadRequest(const QString& input, const ReadOptions& options) {
    ReadRequest r;
    const std::optional<int> mode = options.mode ? options.mode : workModeForName(input);
    if (!mode)
        throw UsageError(
            QStringLiteral("%1 の作業モードが決まりません。--mode で指定してください。")
                .arg(input));
    r.mode = *mode;
    // The chosen file is always a full path, as the file list builds it.
    r.selectedPath = QDir::toNativeSeparators(QFileInfo(input).absoluteFilePath());
    const QString dir = r.selectedPath.left(r.selectedPath.lastIndexOf(QDir::separator()) + 1);
    if (options.settings) {
        r.settingsPath = QDir::toNativeSeparators(*options.settings);
    } else if (r.mode == ReadHis) {
        r.settingsPath = dir + QStringLiteral("st.dat");
    } else if (r.mode == ReadProText || r.mode == ReadProBinary) {
        r.settingsPath = dir + QStringLiteral("self.dat");
    } else if (r.mode == CheckSettings || r.mode == CheckProSettings) {
        r.settingsPath = r.selectedPath;
    }
    if (options.section) {
        r.sectionChecked = true;
        r.sectionPath = QDir::toNativeSeparators(*options.section);
    }
    r.intervalText = intervalBoxText(options.interval);
    r.memoryLimit = options.memoryLimit;
    return r;
}

QString readOptionsHelp() {
    return QStringLiteral(
        "読込オプション（メイン画面の設定）:\n"
        "  --mode N          作業モード 0,1,4,5,6,7。既定は INPUT の名前から: *.his 0, *.f24 5,\n"
        "                    *.f08 6, *.dat 4, 末尾が qrn0..qrn3 または .qrn の名前 1\n"
        "  --settings PATH   初期設定ファイル名。既定はモード 0 で INPUT のフォルダの st.dat、\n"
        "                    モード 5, 6 で self.dat、モード 4, 7 で INPUT 自身\n"
        "  --section PATH    静的釣合条件ＤＴ(時間断面ファイル)を読み込む（既定: 読み込まない）\n"
        "  --interval TEXT   解析時間（計算間隔）の欄、既定 \"0.05\"\n"
        "  --memory-limit B  変位データに使えるバイト数。超えると時間データを間引く\n"
        "                    （既定: 使用可能なメモリ）\n");
}

}  // namespace qrn::cli
