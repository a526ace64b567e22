#include "dataset/fileformat.h"

namespace qrn {

FileFormat fileFormatOf(const QString& fileName) {
    FileFormat f;
    if (!fileName.isEmpty() && fileName.back() >= u'0' && fileName.back() <= u'9')
        f.tensionLevel = fileName.back().unicode() - u'0';
    const QString name = fileName.toLower();

    const QString tail = name.right(4);
    if (tail == u".qrn") {
        f.kind = FileKind::DataFile;
        f.generation = DataFileGeneration::A;
    } else if (tail == u"qrn0") {
        f.kind = FileKind::DataFile;
        f.generation = DataFileGeneration::G0;
    } else if (tail == u"qrn1") {
        f.kind = FileKind::DataFile;
        f.generation = DataFileGeneration::G1;
    } else if (tail == u"qrn2") {
        f.kind = FileKind::DataFile;
        f.generation = DataFileGeneration::G2;
    } else if (tail == u"qrn3") {
        f.kind = FileKind::DataFile;
    } else if (name.endsWith(u".his")) {
        f.kind = FileKind::TextHistory;
    } else if (name.endsWith(u".f24")) {
        f.kind = FileKind::ProTextHistory;
    } else if (name.endsWith(u".f08")) {
        f.kind = FileKind::ProBinaryHistory;
    } else if (name.endsWith(u".dat")) {
        f.kind = FileKind::Settings;
    }
    return f;
}

}  // namespace qrn
