#pragma once
// What a file's name says about its content. The name alone decides (any
// case): the file list filters by it, a dropped file picks its work mode by it,
// and the binary dataset reader takes the file's generation from it.

#include <QString>

namespace qrn {

enum class FileKind {
    Other,
    TextHistory,       // *.his
    ProTextHistory,    // *.f24
    ProBinaryHistory,  // *.f08
    Settings,          // *.dat
    DataFile,          // the binary dataset file: a name ending in ".qrn" or "qrn0".."qrn3"
};

// Generations of the binary dataset file, by the last four characters of the
// name: ".qrn" A, "qrn0".."qrn3" 0..3.
enum class DataFileGeneration { A, G0, G1, G2, G3 };

struct FileFormat {
    FileKind kind = FileKind::Other;
    // How the binary dataset reader takes a file of this name: any name that is
    // not of an older generation is read as the current one.
    DataFileGeneration generation = DataFileGeneration::G3;
    // The name's last character as a digit (0 when it is none): 2 and above
    // store the tension element table, 3 and above as 32-bit values.
    int tensionLevel = 0;
};

FileFormat fileFormatOf(const QString& fileName);

}  // namespace qrn
