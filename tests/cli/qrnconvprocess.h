#pragma once
// Runs qrnconv (or another program) as a process for the end-to-end tests.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

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

}  // namespace qrn::test
