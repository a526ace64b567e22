#pragma once
// The sample analysis in every input format the program reads, written from
// one model (cli/samplemodel.h). All files describe the same analysis, so every
// reading mode yields the same dataset; a value read from a text or a binary
// file is the same double.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

#include "cli/samplemodel.h"

namespace qrn::sample {

// File names written into the folder.
inline const QString kSettingsName = QStringLiteral("st.dat");
inline const QString kProSettingsName = QStringLiteral("self.dat");
inline const QString kHistoryName = QStringLiteral("run1.his");
inline const QString kProTextName = QStringLiteral("run1.f24");
inline const QString kProBinaryName = QStringLiteral("run1.f08");
inline const QString kSectionTextName = QStringLiteral("tmp/sec.file");
inline const QString kSectionBinaryName = QStringLiteral("self.f08");

// Text of the settings file (st.dat and self.dat are the same deck).
QByteArray settingsText(const Model& model);
// Text of the static-equilibrium time-section file.
QByteArray sectionText(const Model& model);
// Bytes of the binary static-equilibrium file.
QByteArray sectionBinary(const Model& model);

// Writes every file of the sample into `dir` (created when missing).
// `progress` receives the fraction done. Throws QrnError on a write failure;
// files already in place are replaced only by complete new ones.
void writeSample(const QString& dir, const SampleOptions& opts,
                 const std::function<void(double)>& progress = {});

// Byte sizes of the history files (text, binary), for progress and checks.
std::int64_t textHistorySize(const Model& model);
std::int64_t binaryHistorySize(const Model& model);

}  // namespace qrn::sample
