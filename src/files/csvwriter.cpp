// The CSV writer: header cells and data lines of one file or of the five split
// files, Shift_JIS text with CR LF line ends, written block by block through
// QSaveFile; the set replaces its targets all or none, so that an export that
// fails leaves no target changed.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStringEncoder>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "dataset/error.h"
#include "dataset/numbers.h"
#include "dataset/savetarget.h"
#include "dataset/systemerror.h"
#include "files/csvexport.h"

namespace qrn {
namespace {

constexpr double kThetaPi = 3.14159;  // the constant of the degree conversion, deliberately not pi
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
constexpr std::size_t kCellMax = num::kGeneralMaxChars + 1;  // value and its ","

enum class Kind : std::uint8_t { Disp, DispInit, Twist, Tension, Beam };

// One column of a file: where its value for a step lives and how it becomes text.
struct Column {
    Kind kind = Kind::Disp;
    std::size_t base = 0;    // element offset at the first stored step
    std::size_t stride = 0;  // elements from one step to the next
    double add = 0.0;        // initial position or twist added to the value
};

struct FilePlan {
    QString path;
    QString header;
    std::vector<Column> columns;
};

// Same wording as the binary dataset writer: which file, then why, then the
// system's reason when it gave one.
QString saveError(const QString& path, const QString& reason, const QFileDevice* file = nullptr) {
    QString text = saveFailure(path, reason);
    if (file && file->error() != QFileDevice::NoError)
        text += QLatin1Char('\r') + systemErrorText(*file);
    return text;
}

QString missingData(const QString& what) {
    return what + QStringLiteral("のデータが読み込まれていません。");
}

const QString kAxisHeader[4] = {QStringLiteral("X軸"), QStringLiteral("Y軸"), QStringLiteral("Z軸"),
                                QStringLiteral("θ(ﾟ)")};

// Builds the columns from the selection; `read` says whether values will be
// read (some step is exported), in which case every index is checked first.
class Planner {
  public:
    Planner(const Dataset& d, const CsvSelection& sel, std::int64_t firstStep, bool read)
        : d_(d), sel_(sel), t0_(firstStep), read_(read) {}

    void addTension(FilePlan& f) const {
        for (std::int64_t i = 0; i <= d_.TensionMax; ++i) {
            if (!d_.TensionElem.contains(i) || (read_ && !d_.TensionHist.contains(t0_, i)))
                throw QrnError(missingData(QStringLiteral("張力")), kAppTitle);
            f.header +=
                QLatin1Char(',') + QString::number(d_.TensionElem(i)) + QStringLiteral("張力(kg)");
            Column c;
            c.kind = Kind::Tension;
            if (read_) {
                c.base = d_.TensionHist.offsetOf(t0_, i);
                c.stride = static_cast<std::size_t>(d_.TensionHist.stride(0));
            }
            f.columns.push_back(c);
        }
    }

    bool selected(std::int64_t j, int axis) const {
        return sel_.NodeSel.contains(j, axis) && sel_.NodeSel(j, axis) == 1;
    }

    void addNode(FilePlan& f, std::int64_t j, int axis) const {
        if (!d_.NodeTbl.contains(2, j))
            throw QrnError(missingData(QStringLiteral("ノードテーブル")), kAppTitle);
        const std::int32_t number = d_.NodeTbl(0, j);
        f.header += QLatin1Char(',') + QString::number(number) + kAxisHeader[axis];
        Column c;
        c.kind = axis == CsvTheta ? Kind::Twist : sel_.init ? Kind::DispInit : Kind::Disp;
        if (read_) {
            const std::int64_t L = d_.NodeTbl(1, j);
            const std::int64_t K = d_.NodeTbl(2, j);
            const std::int64_t comp = axis == CsvTheta ? 2 : axis - 1;
            const bool initOk = !sel_.init || (axis == CsvTheta ? d_.NodeTwist0.contains(L, K)
                                                                : d_.NodePos.contains(L, axis, K));
            if (!d_.NodeDisp.contains(L, comp, K, t0_) || !initOk)
                throw QrnError(missingData(QStringLiteral("ノード") + QString::number(number)),
                               kAppTitle);
            c.base = d_.NodeDisp.offsetOf(L, comp, K, t0_);
            c.stride = static_cast<std::size_t>(d_.NodeDisp.stride(3));
            if (sel_.init)
                c.add = axis == CsvTheta ? static_cast<double>(d_.NodeTwist0(L, K))
                                         : static_cast<double>(d_.NodePos(L, axis, K));
        }
        f.columns.push_back(c);
    }

    void addBeams(FilePlan& f) const {
        for (std::int64_t i = 0; i < d_.BeamRecCount; ++i) {
            if (!sel_.BeamSel.contains(i) || sel_.BeamSel(i) != 1) continue;
            if (!d_.BeamRecInfo.contains(1, i) || (read_ && !d_.BeamHist.contains(t0_, i)))
                throw QrnError(missingData(QStringLiteral("Beam軸力")), kAppTitle);
            f.header += QStringLiteral(",Beam") + QString::number(d_.BeamRecInfo(0, i)) +
                        QLatin1Char('-') + QString::number(d_.BeamRecInfo(1, i));
            Column c;
            c.kind = Kind::Beam;
            if (read_) {
                c.base = d_.BeamHist.offsetOf(t0_, i);
                c.stride = static_cast<std::size_t>(d_.BeamHist.stride(0));
            }
            f.columns.push_back(c);
        }
    }

    std::int64_t lastEntry() const {
        return std::min<std::int64_t>(d_.NodeTblMax,
                                      sel_.NodeSel.empty() ? -1 : sel_.NodeSel.hi(0));
    }

  private:
    const Dataset& d_;
    const CsvSelection& sel_;
    std::int64_t t0_;
    bool read_;
};

std::vector<FilePlan> planFiles(const Dataset& d, const CsvSelection& sel, std::int64_t t0,
                                bool read) {
    const Planner p(d, sel, t0, read);
    const QStringList paths = csvOutputFiles(sel.outputPath, sel.split);
    std::vector<FilePlan> files(static_cast<std::size_t>(paths.size()));
    for (std::size_t k = 0; k < files.size(); ++k) {
        files[k].path = paths[static_cast<qsizetype>(k)];
        files[k].header = QStringLiteral("時間(s)");
    }
    if (!sel.split) {
        FilePlan& f = files[0];
        if (sel.tension) p.addTension(f);
        for (std::int64_t j = 0; j <= p.lastEntry(); ++j)
            for (int axis = 0; axis < 4; ++axis)
                if (p.selected(j, axis)) p.addNode(f, j, axis);
        p.addBeams(f);
    } else {
        for (int axis = 0; axis < 4; ++axis)
            for (std::int64_t j = 0; j <= p.lastEntry(); ++j)
                if (p.selected(j, axis)) p.addNode(files[static_cast<std::size_t>(axis)], j, axis);
        if (sel.tension) p.addTension(files[4]);
        p.addBeams(files[4]);
    }
    return files;
}

char* appendInt(char* out, std::int32_t v) { return std::to_chars(out, out + 12, v).ptr; }

// Raw element arrays the columns point into.
struct Sources {
    const std::int32_t* disp;
    const std::int16_t* tension;
    const std::int16_t* beam;
};

char* appendCell(char* p, const Column& c, const Sources& src, std::size_t i) {
    const std::size_t at = c.base + i;
    switch (c.kind) {
        case Kind::Disp:  // millimetres / 1000: whole thousandths of a metre
            return num::appendThousandths(p, src.disp[at]);
        case Kind::DispInit:
            return num::appendGeneral(p, static_cast<double>(src.disp[at]) / 1000.0 + c.add);
        case Kind::Twist: {
            // Degrees cut (towards minus infinity) to hundredths.
            const double hundredths =
                std::floor((static_cast<double>(src.disp[at]) + c.add) * 18.0 / kThetaPi);
            if (std::fabs(hundredths) < 1e13)
                return num::appendThousandths(p, static_cast<std::int64_t>(hundredths) * 10);
            return num::appendGeneral(p, hundredths / 100.0);
        }
        case Kind::Tension:
            return appendInt(p, src.tension[at]);
        case Kind::Beam:
            return appendInt(p, src.beam[at]);
    }
    return p;
}

class Output {
  public:
    explicit Output(const QString& path) : file_(path) {
        if (isReadOnlyFile(path)) throw QrnError(saveError(path, kCannotCreate), kWriteErrorTitle);
        if (!file_.open(QIODevice::WriteOnly))
            throw QrnError(saveError(path, kCannotCreate, &file_), kWriteErrorTitle);
    }
    void write(const char* data, std::size_t n) {
        if (n == 0) return;
        if (file_.write(data, static_cast<qint64>(n)) != static_cast<qint64>(n))
            throw QrnError(saveError(file_.fileName(), kCannotWrite, &file_), kWriteErrorTitle);
        bytes_ += n;
    }
    QSaveFile& file() { return file_; }
    std::uint64_t bytes() const { return bytes_; }

  private:
    QSaveFile file_;
    std::uint64_t bytes_ = 0;
};

// The earlier file of a target, kept under a spare name while the set is
// replaced: a second link where the file system has them (the target never
// disappears), else the file moved aside.
struct Kept {
    QString target;
    QString spare;  // empty: there was no earlier file
    bool linked = false;
};

std::filesystem::path fsPath(const QString& path) { return QFile(path).filesystemFileName(); }

bool moveOnto(const QString& from, const QString& to) {
    // Replaces an existing `to` in one step (rename(2); MoveFileEx on Windows).
    std::error_code ec;
    std::filesystem::rename(fsPath(from), fsPath(to), ec);
    return !ec;
}

// TARGET + "." + six random hexadecimal digits that no file holds now.
QString spareName(const QString& target) {
    QString name;
    for (int i = 0; i < 100; ++i) {
        name = target + QStringLiteral(".%1").arg(QRandomGenerator::global()->bounded(0x1000000u),
                                                  6, 16, QLatin1Char('0'));
        if (!QFileInfo::exists(name)) break;
    }
    return name;
}

CsvReplaceHook& replaceHook() {
    static CsvReplaceHook hook;
    return hook;
}

// Moves every finished file onto its target, all or none: the earlier files
// are kept aside first, and if one replacement fails the targets already
// replaced get their earlier files back (or go, where there was none).
void replaceTargets(std::vector<std::unique_ptr<Output>>& outputs) {
    std::vector<Kept> kept;
    auto restore = [&](std::size_t replaced) -> QStringList {
        QStringList stranded;  // "target\rspare" of earlier files that could not go back
        for (std::size_t k = 0; k < kept.size(); ++k) {
            const Kept& e = kept[k];
            if (k < replaced) {
                const bool back =
                    e.spare.isEmpty() ? QFile::remove(e.target) : moveOnto(e.spare, e.target);
                if (!back && !e.spare.isEmpty()) stranded << e.target << e.spare;
            } else if (!e.spare.isEmpty()) {
                if (e.linked)
                    QFile::remove(e.spare);
                else if (!moveOnto(e.spare, e.target))
                    stranded << e.target << e.spare;
            }
        }
        return stranded;
    };
    auto fail = [&](const QString& path, const QString& reason, std::size_t replaced,
                    const QFileDevice* file = nullptr) {
        QString text = saveError(path, reason, file);
        const QStringList stranded = restore(replaced);
        for (qsizetype i = 0; i + 1 < stranded.size(); i += 2)
            text += QLatin1Char('\r') + QStringLiteral("元のファイル %1 は %2 に残っています。")
                                            .arg(QDir::toNativeSeparators(stranded[i]),
                                                 QDir::toNativeSeparators(stranded[i + 1]));
        throw QrnError(text, kWriteErrorTitle);
    };

    for (const auto& out : outputs) {
        Kept e;
        e.target = out->file().fileName();
        if (QFileInfo::exists(e.target)) {
            e.spare = spareName(e.target);
            std::error_code ec;
            std::filesystem::create_hard_link(fsPath(e.target), fsPath(e.spare), ec);
            e.linked = !ec;
            if (!e.linked && !moveOnto(e.target, e.spare)) {
                fail(e.target, kTargetInUse, 0);
            }
        }
        kept.push_back(e);
    }
    for (std::size_t k = 0; k < outputs.size(); ++k) {
        QSaveFile& file = outputs[k]->file();
        const CsvReplaceHook& hook = replaceHook();
        if ((hook && !hook(file.fileName())) || !file.commit())
            fail(file.fileName(), kCannotFinish, k, &file);
    }
    for (const Kept& e : kept)
        if (!e.spare.isEmpty()) QFile::remove(e.spare);
}

}  // namespace

void setCsvReplaceHook(CsvReplaceHook hook) { replaceHook() = std::move(hook); }

CsvResult writeCsv(const Dataset& data, const CsvSelection& sel, const QString& intervalText,
                   Progress& progress) {
    const double dt = csvStepSeconds(intervalText);
    const CsvSteps steps = csvSteps(sel, data, intervalText);
    const std::int64_t t0 = steps.count > 0 ? std::min(steps.first, steps.at(steps.count - 1)) : 0;
    const std::vector<FilePlan> plans = planFiles(data, sel, t0, steps.count > 0);

    QStringEncoder sjis("Shift_JIS");
    if (!sjis.isValid())
        throw QrnError(QStringLiteral("Shift_JISの文字コード変換が使用できません。"), kAppTitle);

    const Sources src{data.NodeDisp.data(), data.TensionHist.data(), data.BeamHist.data()};
    CsvResult result;
    result.rows = steps.count;
    std::vector<std::unique_ptr<Output>> outputs;
    std::vector<char> buf;
    const double totalRows = static_cast<double>(steps.count) * static_cast<double>(plans.size());
    std::int64_t rowsDone = 0;

    for (const FilePlan& plan : plans) {
        outputs.push_back(std::make_unique<Output>(plan.path));
        Output& out = *outputs.back();
        const QByteArray header = sjis.encode(plan.header + QStringLiteral("\r\n"));
        if (sjis.hasError())
            throw QrnError(QStringLiteral("見出しをShift_JISに変換できません。"), kAppTitle);
        out.write(header.constData(), static_cast<std::size_t>(header.size()));

        const std::size_t rowMax = kCellMax * (plan.columns.size() + 1) + 2;
        buf.resize(std::max(kBlockBytes, rowMax) + rowMax);
        char* const begin = buf.data();
        char* p = begin;
        for (std::int64_t r = 0; r < steps.count; ++r) {
            const std::int64_t m = steps.at(r);
            const std::size_t i = static_cast<std::size_t>(m - t0);
            p = num::appendGeneral(p, dt * static_cast<double>(m));
            for (const Column& c : plan.columns) {
                *p++ = ',';
                p = appendCell(p, c, src, i * c.stride);
            }
            *p++ = '\r';
            *p++ = '\n';
            if (static_cast<std::size_t>(p - begin) >= kBlockBytes) {
                out.write(begin, static_cast<std::size_t>(p - begin));
                p = begin;
                progress.progress(static_cast<double>(rowsDone + r + 1) / totalRows);
                // Stopped: the temporaries go, no target is touched.
                if (progress.cancelRequested()) throw Cancelled();
            }
        }
        out.write(begin, static_cast<std::size_t>(p - begin));
        // Hand everything to the temporary now, so that a full disk shows here
        // and not while the targets are being replaced.
        if (!out.file().flush())
            throw QrnError(saveError(plan.path, kCannotWrite, &out.file()), kWriteErrorTitle);
        rowsDone += steps.count;
        result.bytes += out.bytes();
        result.files.push_back(plan.path);
    }

    // Every file is complete in its temporary. Before any target is replaced,
    // make sure each existing target can be opened for writing (a file held open
    // by another program), so that a refusal changes nothing.
    for (const auto& out : outputs) {
        const QString path = out->file().fileName();
        if (QFileInfo::exists(path)) {
            QFile probe(path);
            if (!probe.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
                throw QrnError(saveError(path, kTargetInUse), kWriteErrorTitle);
        }
    }
    replaceTargets(outputs);
    progress.progress(1.0);
    return result;
}

}  // namespace qrn
