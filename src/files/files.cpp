// Anchor of the files library; the binary dataset file and CSV writer add their sources.
namespace qrn::files {
int libraryAnchor() { return 0; }
}  // namespace qrn::files
