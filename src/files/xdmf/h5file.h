#pragma once
// A thin layer over the HDF5 C library for the export: owned handles, typed
// datasets written whole or by rows, virtual datasets over per-step datasets,
// attributes. Every failure throws H5Failure; the caller turns it into the
// user's message with the target's name.

#include <hdf5.h>

#include <QString>
#include <bit>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace qrn::xdmf {

// An HDF5 call failed: the file could not be created, a write failed, or the
// library lacks the compression filters (the messages differ).
class H5Failure : public std::runtime_error {
  public:
    enum Kind { Create, Write, NoFilter };
    H5Failure(const char* what, Kind kind) : std::runtime_error(what), kind_(kind) {}
    Kind kind() const { return kind_; }

  private:
    Kind kind_;
};

// Closes the identifier with its close function when it goes out of scope.
class H5Handle {
  public:
    using Closer = herr_t (*)(hid_t);
    H5Handle() = default;
    H5Handle(hid_t id, Closer close, const char* what);
    H5Handle(H5Handle&& o) noexcept : id_(o.id_), close_(o.close_) { o.id_ = H5I_INVALID_HID; }
    H5Handle& operator=(H5Handle&& o) noexcept;
    H5Handle(const H5Handle&) = delete;
    H5Handle& operator=(const H5Handle&) = delete;
    ~H5Handle() { reset(); }

    hid_t get() const { return id_; }
    // Closes now; throws when the close reports an error (a file's last flush).
    void close(const char* what);

  private:
    void reset() noexcept;
    hid_t id_ = H5I_INVALID_HID;
    Closer close_ = nullptr;
};

// Element types the export stores, with their file (little-endian) and memory types.
template <typename T>
struct H5TypeOf;
template <>
struct H5TypeOf<float> {
    static hid_t file() { return H5T_IEEE_F32LE; }
    static hid_t memory() { return H5T_NATIVE_FLOAT; }
};
template <>
struct H5TypeOf<double> {
    static hid_t file() { return H5T_IEEE_F64LE; }
    static hid_t memory() { return H5T_NATIVE_DOUBLE; }
};
template <>
struct H5TypeOf<std::int32_t> {
    static hid_t file() { return H5T_STD_I32LE; }
    static hid_t memory() { return H5T_NATIVE_INT32; }
};
template <>
struct H5TypeOf<std::int16_t> {
    static hid_t file() { return H5T_STD_I16LE; }
    static hid_t memory() { return H5T_NATIVE_INT16; }
};

using Dims = std::vector<hsize_t>;

// Shuffle + deflate of whole chunks, the library's own filters done here with
// one compression state for all chunks: the library sets up a new one (and
// its 300 KB of tables) for every chunk.
class Deflater;

class H5File {
  public:
    // Creates (truncates) the file at `path`. With `compress`, every dataset
    // that holds data gets shuffle + deflate.
    H5File(const QString& path, bool compress);
    // A file still open here was not completed: it is discarded (see discard).
    ~H5File();
    H5File(const H5File&) = delete;
    H5File& operator=(const H5File&) = delete;

    void createGroup(const char* path);

    // A dataset written whole; chunked along its first dimension so that a
    // chunk stays near `chunkBytes` (contiguous when it holds no element).
    template <typename T>
    void write(const char* path, const Dims& dims, const T* data, std::size_t chunkBytes) {
        bool oneChunk = false;
        H5Handle ds = create(path, H5TypeOf<T>::file(), dims, chunkBytes,
                             dims.empty() ? 0 : dims[0], &oneChunk);
        const std::uint64_t n = elements(dims);
        if (n > 0 && oneChunk && std::endian::native == std::endian::little) {
            // Our bytes are the file's bytes: the chunk goes to the file as it
            // is (or through our own filters), past the library's chunk cache.
            writeWholeChunk(ds, dims.size(), data, n * sizeof(T), sizeof(T));
        } else if (n > 0) {
            check(H5Dwrite(ds.get(), H5TypeOf<T>::memory(), H5S_ALL, H5S_ALL, H5P_DEFAULT, data),
                  "H5Dwrite");
        }
        ds.close("H5Dclose");
    }

    // A dataset [rows x row...] filled by writeRows; `chunkRows` rows per chunk.
    template <typename T>
    H5Handle createRows(const char* path, const Dims& dims, hsize_t chunkRows) {
        return create(path, H5TypeOf<T>::file(), dims, 0, chunkRows);
    }
    template <typename T>
    void writeRows(const H5Handle& ds, const Dims& dims, hsize_t first, hsize_t count,
                   const T* data) {
        writeRowsRaw(ds, dims, first, count, H5TypeOf<T>::memory(), data);
    }

    // A virtual dataset [count x sourceDims] whose row i is the whole dataset
    // named by `sourcePattern` with i in place of "%b".
    template <typename T>
    void writeVirtual(const char* path, const Dims& sourceDims, hsize_t count,
                      const char* sourcePattern) {
        virtualDataset(path, H5TypeOf<T>::file(), sourceDims, count, sourcePattern);
    }

    void attribute(const char* object, const char* name, const QString& text);
    void attribute(const char* object, const char* name, double value);
    void attribute(const char* object, const char* name, std::int32_t value);

    // Flushes and closes; throws when the last writes fail (a full disk shows
    // here), after discarding the file.
    void close();

    static std::uint64_t elements(const Dims& dims);

  private:
    // `oneChunk` (when given) tells whether the whole dataset is one chunk.
    H5Handle create(const char* path, hid_t type, const Dims& dims, std::size_t chunkBytes,
                    hsize_t chunkRows, bool* oneChunk = nullptr);
    void writeWholeChunk(const H5Handle& ds, std::size_t rank, const void* data, std::size_t bytes,
                         std::size_t elementSize);
    void writeRowsRaw(const H5Handle& ds, const Dims& dims, hsize_t first, hsize_t count,
                      hid_t memType, const void* data);
    void virtualDataset(const char* path, hid_t type, const Dims& sourceDims, hsize_t count,
                        const char* sourcePattern);
    static void check(herr_t status, const char* what);
    void setAttribute(const char* object, const char* name, hid_t fileType, hid_t memType,
                      const void* value);

    // Empties the file on disk, then closes it. The library writes its cached
    // metadata when it closes a file and, when that fails, keeps a half-closed
    // file that it trips over later; emptied first, the file has room for it.
    void discard() noexcept;

    QString path_;
    bool compress_;
    std::unique_ptr<Deflater> deflater_;  // with compress_
    std::vector<unsigned char> shuffled_;
    H5Handle lcpl_;
    H5Handle file_;
};

}  // namespace qrn::xdmf
