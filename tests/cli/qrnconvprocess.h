#pragma once
// Runs qrnconv (or another program) as a process for the end-to-end tests.

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace qrn::test {

struct Outcome {
    int exitCode = -1;  // -2: crashed, -1: did not finish
    QString out;
    QString err;
};

inline Outcome runProgram(const QString& program, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Leak reports of the Qt runtime are not these tests' concern.
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    p.setProcessEnvironment(env);
    p.start(program, args);
    Outcome r;
    if (!p.waitForFinished(120000)) return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

inline Outcome qrnconv(const QStringList& args) {
    return runProgram(QStringLiteral(QRN_BIN_DIR "/qrnconv"), args);
}

// One sample for a whole suite, written by qrnconv itself: two cables of five
// nodes (one twin phase over two spans), seven steps (StepMax 6), five
// beam-only nodes, node table entries 0..14.
class SampleSuite : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        const Outcome r =
            qrnconv({QStringLiteral("sample"), dir_->path(), QStringLiteral("--cables"),
                     QStringLiteral("2"), QStringLiteral("--nodes"), QStringLiteral("5"),
                     QStringLiteral("--steps"), QStringLiteral("7")});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    // A file of the sample.
    static QString path(const char* name) {
        return QDir(dir_->path()).filePath(QString::fromUtf8(name));
    }
    static inline QTemporaryDir* dir_ = nullptr;
};

}  // namespace qrn::test
