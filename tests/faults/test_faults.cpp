// Faults injected into every writer, through qrnconv run as a child process: a
// disk that fills up part-way, a file size limit, a read-only folder, a
// read-only target, a target that is a folder, a missing folder, and SIGKILL at
// a random moment. Each time the earlier files of the targets' names must stay
// byte for byte, nothing but them may be left, and a failure says why (exit 1).
// POSIX only (mount, setrlimit, signals).
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <functional>

namespace {

struct Format {
    const char* name;
    QStringList args;     // "IN" and "OUT" stand for the input and the output
    QString out;          // the output's name
    QStringList targets;  // every file the write replaces
};

const QString kIn = QStringLiteral("IN"), kOut = QStringLiteral("OUT");

std::vector<Format> formats() {
    const QStringList nodes = {QStringLiteral("--nodes"), QStringLiteral("all")};
    const QStringList csv = nodes + QStringList{QStringLiteral("--beams"), QStringLiteral("all"),
                                                QStringLiteral("--tension")};
    auto f = [](const char* name, QStringList args, const char* out, QStringList targets = {}) {
        const QString o = QString::fromUtf8(out);
        return Format{name, args, o, targets.isEmpty() ? QStringList{o} : targets};
    };
    const QString save = QStringLiteral("save"), plot = QStringLiteral("plot"),
                  video = QStringLiteral("video");
    return {
        f("save", {save, kIn, kOut}, "r.qrn3"),
        f("csv", QStringList{QStringLiteral("csv"), kIn, kOut} + csv, "r.csv"),
        f("csvsplit",
          QStringList{QStringLiteral("csv"), kIn, kOut, QStringLiteral("--split")} + csv, "r.csv",
          {QStringLiteral("rX軸.csv"), QStringLiteral("rY軸.csv"), QStringLiteral("rZ軸.csv"),
           QStringLiteral("rθ.csv"), QStringLiteral("r他.csv")}),
        f("frame", {QStringLiteral("frame"), kIn, kOut}, "r.png"),
        f("gif", {QStringLiteral("gif"), kIn, kOut}, "r.gif"),
        f("mp4", {video, kIn, kOut}, "r.mp4"),
        f("webm", {video, kIn, kOut}, "r.webm"),
        f("plotpng", QStringList{plot, kIn, kOut} + nodes, "p.png"),
        f("plotsvg", QStringList{plot, kIn, kOut} + nodes, "p.svg"),
        f("envelope", {QStringLiteral("report"), kIn, QStringLiteral("--envelope-csv"), kOut},
          "e.csv"),
        f("xdmf", {QStringLiteral("xdmf"), kIn, kOut}, "r.xdmf",
          {QStringLiteral("r.xdmf"), QStringLiteral("r.h5")}),
    };
}

struct Outcome {
    int exitCode = -1;  // -2: killed or crashed
    QString err;
    qint64 ms = 0;
};

// qrnconv with the child's limits set between fork and exec; `killAfterMs` >= 0
// sends SIGKILL after that long.
Outcome qrnconv(const QStringList& args, std::function<void()> inChild = {}, int killAfterMs = -1) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    p.setProcessEnvironment(env);
    if (inChild) p.setChildProcessModifier(inChild);
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(QRN_BIN_DIR "/qrnconv"), args);
    Outcome r;
    if (!p.waitForStarted()) return r;
    bool finished = killAfterMs >= 0 && p.waitForFinished(killAfterMs);
    if (killAfterMs >= 0 && !finished) p.kill();
    if (!finished && !p.waitForFinished(120000)) return r;
    r.ms = t.elapsed();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// A small tmpfs, for a disk that fills up and a folder that cannot be written.
class Mount {
  public:
    explicit Mount(const QString& dir, qint64 bytes) : dir_(dir) {
        if (::geteuid() != 0) return;
        const QByteArray opt = "size=" + QByteArray::number(bytes);
        mounted_ =
            ::mount("tmpfs", dir.toLocal8Bit().constData(), "tmpfs", 0, opt.constData()) == 0;
    }
    ~Mount() {
        if (mounted_) ::umount2(dir_.toLocal8Bit().constData(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    bool makeReadOnly() {
        return ::mount(nullptr, dir_.toLocal8Bit().constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                       nullptr) == 0;
    }

  private:
    QString dir_;
    bool mounted_ = false;
};

class Faults : public ::testing::TestWithParam<Format> {
  protected:
    static void SetUpTestSuite() {
        sample_ = new QTemporaryDir;
        const Outcome r =
            qrnconv({QStringLiteral("sample"), sample_->path(), QStringLiteral("--cables"),
                     QStringLiteral("2"), QStringLiteral("--nodes"), QStringLiteral("12"),
                     QStringLiteral("--steps"), QStringLiteral("30")});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    static void TearDownTestSuite() {
        delete sample_;
        sample_ = nullptr;
    }

    QStringList argsFor(const QString& folder) const {
        QStringList a = GetParam().args;
        a.replaceInStrings(QRegularExpression(QStringLiteral("^IN$")),
                           QDir(sample_->path()).filePath(QStringLiteral("run1.his")));
        a.replaceInStrings(QRegularExpression(QStringLiteral("^OUT$")),
                           QDir(folder).filePath(GetParam().out));
        return a;
    }
    // Puts an earlier file under every target's name.
    static void writeEarlier(const QString& folder) {
        for (const QString& t : GetParam().targets) {
            QFile f(QDir(folder).filePath(t));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(earlier(t));
        }
    }
    static QByteArray earlier(const QString& target) { return "earlier " + target.toUtf8(); }

    // The earlier files intact and nothing else there. After SIGKILL a target
    // may also hold its complete new file (killed after its replacement), and a
    // temporary of a target's name plus "." and six characters may remain.
    static void expectKept(const QString& folder, bool killed, const char* what,
                           const QString& complete = {}) {
        const QStringList targets = GetParam().targets;
        for (const QString& t : targets) {
            const QByteArray now = bytesOf(QDir(folder).filePath(t));
            // A WebM file carries random identifiers: same length and header.
            const QByteArray whole = bytesOf(QDir(complete).filePath(t));
            if (killed && now.size() == whole.size() && now.left(4) == whole.left(4)) continue;
            EXPECT_EQ(now, earlier(t)) << what << " " << t.toStdString();
        }
        for (const QString& e : QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                       QDir::Hidden | QDir::System)) {
            if (targets.contains(e)) continue;
            const bool temporary =
                killed && std::any_of(targets.begin(), targets.end(), [&](const QString& t) {
                    return e.size() == t.size() + 7 && e.startsWith(t + QLatin1Char('.'));
                });
            EXPECT_TRUE(temporary) << what << ": left behind " << e.toStdString();
        }
    }
    static void expectRefused(const Outcome& r, const char* what) {
        EXPECT_EQ(r.exitCode, 1) << what << ": " << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(QStringLiteral("Sanitizer"))) << r.err.toStdString();
        const QStringList targets = GetParam().targets;
        EXPECT_TRUE(std::any_of(targets.begin(), targets.end(),
                                [&](const QString& t) { return r.err.contains(t); }))
            << what << ": the message names no target: " << r.err.toStdString();
    }

    // Size of the complete output (all targets, or the largest), from a write
    // into an empty folder.
    qint64 fullSize(bool largest = false) const {
        QTemporaryDir d;
        const Outcome r = qrnconv(argsFor(d.path()));
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        qint64 n = 0;
        for (const QString& t : GetParam().targets) {
            const qint64 size = QFileInfo(QDir(d.path()).filePath(t)).size();
            n = largest ? std::max(n, size) : n + size;
        }
        return n;
    }

    static inline QTemporaryDir* sample_ = nullptr;
    QTemporaryDir work_;
};

TEST_P(Faults, DiskFillsUpPartWay) {
    const QString folder = work_.filePath(QStringLiteral("full"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const qint64 size = fullSize();
    // A page for each earlier file and room for about half of the new output
    // (none for an output of less than two pages).
    const qint64 page = 4096;
    Mount m(folder, page * (GetParam().targets.size() + size / 2 / page));
    if (!m.mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here (the size limit test covers it)";
    writeEarlier(folder);
    expectRefused(qrnconv(argsFor(folder)), "disk full");
    expectKept(folder, false, "disk full");
}

TEST_P(Faults, FileSizeLimitReachedPartWay) {
    const QString folder = work_.path();
    const rlim_t limit = static_cast<rlim_t>(fullSize(true) / 2);
    writeEarlier(folder);
    const Outcome r = qrnconv(argsFor(folder), [limit] {
        ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
        const rlimit rl{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &rl);
    });
    expectRefused(r, "size limit");
    expectKept(folder, false, "size limit");
}

TEST_P(Faults, FolderCannotBeWritten) {
    const QString folder = work_.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(folder));
    Mount m(folder, 1 << 20);
    writeEarlier(folder);
    // An administrator writes into any folder whose permissions forbid it: a
    // read-only mount stops even them.
    if (m.mounted())
        ASSERT_TRUE(m.makeReadOnly());
    else
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    expectRefused(qrnconv(argsFor(folder)), "read-only folder");
    expectKept(folder, false, "read-only folder");
    if (!m.mounted())
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_P(Faults, TargetsThatCannotBeReplaced) {
    const QString folder = work_.path();
    // A read-only earlier file: the first target protected, the rest writable.
    writeEarlier(folder);
    const QString first = QDir(folder).filePath(GetParam().targets.last());
    QFile::setPermissions(first, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    expectRefused(qrnconv(argsFor(folder)), "read-only target");
    expectKept(folder, false, "read-only target");
    QFile::setPermissions(first, QFile::ReadOwner | QFile::WriteOwner);

    // A folder under a target's name, with a file inside that must stay.
    QDir(folder).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString dir = QDir(folder).filePath(GetParam().targets.last());
    ASSERT_TRUE(QDir().mkpath(dir));
    {
        QFile inside(QDir(dir).filePath(QStringLiteral("inside")));
        ASSERT_TRUE(inside.open(QIODevice::WriteOnly));
    }
    const Outcome r = qrnconv(argsFor(folder));
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_FALSE(r.err.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(QDir(dir).filePath(QStringLiteral("inside"))));
    QStringList left =
        QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    EXPECT_EQ(left, QStringList{GetParam().targets.last()}) << "target is a folder";

    // A folder that does not exist: refused, and not created.
    const QString missing = QDir(folder).filePath(QStringLiteral("missing"));
    expectRefused(qrnconv(argsFor(missing)), "missing folder");
    EXPECT_FALSE(QFileInfo::exists(missing));
}

// Killed at a random moment of 20 runs, a little before the time a whole run
// takes; afterwards a complete run still writes every target.
TEST_P(Faults, KilledAtRandomMoments) {
    const QString folder = work_.filePath(QStringLiteral("target"));
    const QString complete = work_.filePath(QStringLiteral("complete"));
    ASSERT_TRUE(QDir().mkpath(folder) && QDir().mkpath(complete));
    writeEarlier(folder);
    const qint64 whole = std::max<qint64>(qrnconv(argsFor(complete)).ms, 50);
    int killed = 0;
    for (int trial = 0; trial < 20; ++trial) {
        const int delay = static_cast<int>(QRandomGenerator::global()->bounded(whole / 4, whole));
        const Outcome r = qrnconv(argsFor(folder), {}, delay);
        if (r.exitCode == 0) {
            // It finished first: the targets are new, so put the earlier ones back.
            writeEarlier(folder);
            continue;
        }
        ++killed;
        EXPECT_EQ(r.exitCode, -2) << r.err.toStdString();
        expectKept(folder, true, "killed", complete);
        writeEarlier(folder);
    }
    RecordProperty("killed", killed);
    const Outcome last = qrnconv(argsFor(folder));
    ASSERT_EQ(last.exitCode, 0) << last.err.toStdString();
    for (const QString& t : GetParam().targets)
        EXPECT_NE(bytesOf(QDir(folder).filePath(t)), earlier(t)) << t.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Writers, Faults, ::testing::ValuesIn(formats()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
