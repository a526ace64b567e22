#include "files/xdmf/h5file.h"

#include <zlib.h>

#include <QFile>
#include <algorithm>

namespace qrn::xdmf {
namespace {

// Deflate level with --compress: after the shuffle, higher levels gain little
// (2-3 % on the big generated analysis) for much more time.
constexpr unsigned kDeflateLevel = 1;
// Metadata is gathered in blocks this large, so object headers of consecutive
// steps do not lie scattered between their data.
constexpr hsize_t kMetaBlockBytes = hsize_t{64} << 10;
constexpr size_t kMetaCacheBytes = size_t{32} << 20;

// HDF5 takes file names as bytes: the local encoding here; on Windows
// (HDF5 1.10.6 and later) UTF-8, which it widens itself.
QByteArray fileNameBytes(const QString& path) {
#ifdef _WIN32
    return path.toUtf8();
#else
    return QFile::encodeName(path);
#endif
}

}  // namespace

class Deflater {
  public:
    Deflater() {
        if (deflateInit(&z_, static_cast<int>(kDeflateLevel)) != Z_OK)
            throw H5Failure("deflateInit", H5Failure::NoFilter);
    }
    ~Deflater() { deflateEnd(&z_); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // The zlib stream of `n` bytes, as the library's deflate filter writes it.
    const std::vector<unsigned char>& deflate(const unsigned char* in, std::size_t n) {
        if (deflateReset(&z_) != Z_OK) throw H5Failure("deflateReset", H5Failure::Write);
        out_.resize(deflateBound(&z_, static_cast<uLong>(n)));
        z_.next_in = const_cast<unsigned char*>(in);
        z_.avail_in = static_cast<uInt>(n);
        z_.next_out = out_.data();
        z_.avail_out = static_cast<uInt>(out_.size());
        if (::deflate(&z_, Z_FINISH) != Z_STREAM_END) throw H5Failure("deflate", H5Failure::Write);
        out_.resize(z_.total_out);
        return out_;
    }

  private:
    z_stream z_{};
    std::vector<unsigned char> out_;
};

H5Handle::H5Handle(hid_t id, Closer close, const char* what) : id_(id), close_(close) {
    if (id < 0) throw H5Failure(what, H5Failure::Write);
}

H5Handle& H5Handle::operator=(H5Handle&& o) noexcept {
    if (this != &o) {
        reset();
        id_ = o.id_;
        close_ = o.close_;
        o.id_ = H5I_INVALID_HID;
    }
    return *this;
}

void H5Handle::reset() noexcept {
    if (id_ >= 0 && close_) (void)close_(id_);
    id_ = H5I_INVALID_HID;
}

void H5Handle::close(const char* what) {
    const hid_t id = id_;
    id_ = H5I_INVALID_HID;
    if (id >= 0 && close_ && close_(id) < 0) throw H5Failure(what, H5Failure::Write);
}

void H5File::check(herr_t status, const char* what) {
    if (status < 0) throw H5Failure(what, H5Failure::Write);
}

std::uint64_t H5File::elements(const Dims& dims) {
    std::uint64_t n = 1;
    for (const hsize_t d : dims) n *= d;
    return n;
}

H5File::H5File(const QString& path, bool compress) : path_(path), compress_(compress) {
    // No clean-up of the library at exit: one that ran over a file it could not
    // close would crash the program on its way out. Effective only before the
    // library's first use; our files are always closed by then.
    (void)H5dont_atexit();
    // The library prints its error stack to stderr by default; our messages say what failed.
    (void)H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    if (compress &&
        (H5Zfilter_avail(H5Z_FILTER_DEFLATE) <= 0 || H5Zfilter_avail(H5Z_FILTER_SHUFFLE) <= 0))
        throw H5Failure("deflate", H5Failure::NoFilter);

    H5Handle fapl(H5Pcreate(H5P_FILE_ACCESS), H5Pclose, "H5Pcreate");
    // The 1.10 format, which the virtual datasets need anyway: a dataset of one
    // chunk then carries no chunk index (a 1.8 B-tree node would add 2 KB to
    // every per-step dataset).
    check(H5Pset_libver_bounds(fapl.get(), H5F_LIBVER_V110, H5F_LIBVER_LATEST), "libver");
    check(H5Pset_fclose_degree(fapl.get(), H5F_CLOSE_STRONG), "fclose_degree");
    check(H5Pset_meta_block_size(fapl.get(), kMetaBlockBytes), "meta_block_size");
    // A metadata cache that holds the headers of many steps, so that they go
    // out in few large writes instead of one eviction at a time.
    H5AC_cache_config_t mdc;
    mdc.version = H5AC__CURR_CACHE_CONFIG_VERSION;
    check(H5Pget_mdc_config(fapl.get(), &mdc), "get_mdc_config");
    mdc.set_initial_size = 1;
    mdc.initial_size = kMetaCacheBytes;
    mdc.max_size = std::max<size_t>(mdc.max_size, kMetaCacheBytes);
    mdc.min_size = std::min<size_t>(mdc.min_size, kMetaCacheBytes);
    check(H5Pset_mdc_config(fapl.get(), &mdc), "set_mdc_config");
    lcpl_ = H5Handle(H5Pcreate(H5P_LINK_CREATE), H5Pclose, "H5Pcreate");
    check(H5Pset_char_encoding(lcpl_.get(), H5T_CSET_UTF8), "char_encoding");

    // No modification times on any object (the root group's come from here):
    // the same analysis exports to the same bytes.
    H5Handle fcpl(H5Pcreate(H5P_FILE_CREATE), H5Pclose, "H5Pcreate");
    check(H5Pset_obj_track_times(fcpl.get(), 0), "track_times");

    const QByteArray name = fileNameBytes(path);
    const hid_t id = H5Fcreate(name.constData(), H5F_ACC_TRUNC, fcpl.get(), fapl.get());
    if (id < 0) throw H5Failure("H5Fcreate", H5Failure::Create);
    file_ = H5Handle(id, H5Fclose, "H5Fcreate");
}

void H5File::createGroup(const char* path) {
    H5Handle gcpl(H5Pcreate(H5P_GROUP_CREATE), H5Pclose, "H5Pcreate");
    check(H5Pset_obj_track_times(gcpl.get(), 0), "track_times");
    H5Handle g(H5Gcreate2(file_.get(), path, lcpl_.get(), gcpl.get(), H5P_DEFAULT), H5Gclose,
               "H5Gcreate2");
    g.close("H5Gclose");
}

H5Handle H5File::create(const char* path, hid_t type, const Dims& dims, std::size_t chunkBytes,
                        hsize_t chunkRows, bool* oneChunk) {
    H5Handle space(H5Screate_simple(static_cast<int>(dims.size()), dims.data(), nullptr), H5Sclose,
                   "H5Screate_simple");
    H5Handle dcpl(H5Pcreate(H5P_DATASET_CREATE), H5Pclose, "H5Pcreate");
    check(H5Pset_obj_track_times(dcpl.get(), 0), "track_times");
    check(H5Pset_fill_time(dcpl.get(), H5D_FILL_TIME_NEVER), "fill_time");
    if (!dims.empty() && elements(dims) > 0) {
        Dims chunk = dims;
        if (chunkBytes > 0) {
            const std::uint64_t rowBytes = elements(Dims(dims.begin() + 1, dims.end())) *
                                           static_cast<std::uint64_t>(H5Tget_size(type));
            chunkRows =
                std::max<std::uint64_t>(1, chunkBytes / std::max<std::uint64_t>(1, rowBytes));
        }
        chunk[0] = std::clamp<hsize_t>(chunkRows, 1, dims[0]);
        if (oneChunk) *oneChunk = chunk[0] == dims[0];
        check(H5Pset_chunk(dcpl.get(), static_cast<int>(chunk.size()), chunk.data()), "chunk");
        if (compress_) {
            check(H5Pset_shuffle(dcpl.get()), "shuffle");
            check(H5Pset_deflate(dcpl.get(), kDeflateLevel), "deflate");
        }
    }
    // The default chunk cache stays: HDF5 1.10.8 with the cache switched off
    // and no fill value loses whole-chunk writes (the file reads back zeros).
    return H5Handle(
        H5Dcreate2(file_.get(), path, type, space.get(), lcpl_.get(), dcpl.get(), H5P_DEFAULT),
        H5Dclose, "H5Dcreate2");
}

void H5File::writeRowsRaw(const H5Handle& ds, const Dims& dims, hsize_t first, hsize_t count,
                          hid_t memType, const void* data) {
    if (count == 0 || elements(dims) == 0) return;
    Dims start(dims.size(), 0);
    Dims block = dims;
    start[0] = first;
    block[0] = count;
    H5Handle fileSpace(H5Dget_space(ds.get()), H5Sclose, "H5Dget_space");
    check(H5Sselect_hyperslab(fileSpace.get(), H5S_SELECT_SET, start.data(), nullptr, block.data(),
                              nullptr),
          "select");
    H5Handle memSpace(H5Screate_simple(static_cast<int>(block.size()), block.data(), nullptr),
                      H5Sclose, "H5Screate_simple");
    check(H5Dwrite(ds.get(), memType, memSpace.get(), fileSpace.get(), H5P_DEFAULT, data),
          "H5Dwrite");
}

void H5File::virtualDataset(const char* path, hid_t type, const Dims& sourceDims, hsize_t count,
                            const char* sourcePattern) {
    Dims dims{count};
    dims.insert(dims.end(), sourceDims.begin(), sourceDims.end());
    if (elements(dims) == 0) return;
    Dims maxDims = dims;
    maxDims[0] = H5S_UNLIMITED;
    H5Handle space(H5Screate_simple(static_cast<int>(dims.size()), dims.data(), maxDims.data()),
                   H5Sclose, "H5Screate_simple");
    H5Handle source(
        H5Screate_simple(static_cast<int>(sourceDims.size()), sourceDims.data(), nullptr), H5Sclose,
        "H5Screate_simple");
    H5Handle dcpl(H5Pcreate(H5P_DATASET_CREATE), H5Pclose, "H5Pcreate");
    check(H5Pset_obj_track_times(dcpl.get(), 0), "track_times");
    // One mapping for all rows: block i of the unlimited selection is the
    // dataset whose name has i in place of %b ("." is this file). A mapping per
    // step would cost the library time for every one of them.
    const Dims start(dims.size(), 0);
    const Dims stride(dims.size(), 1);
    Dims blocks(dims.size(), 1);
    blocks[0] = H5S_UNLIMITED;
    Dims block = dims;
    block[0] = 1;
    check(H5Sselect_hyperslab(space.get(), H5S_SELECT_SET, start.data(), stride.data(),
                              blocks.data(), block.data()),
          "select");
    check(H5Pset_virtual(dcpl.get(), space.get(), ".", sourcePattern, source.get()),
          "H5Pset_virtual");
    check(H5Sselect_all(space.get()), "select_all");
    H5Handle ds(
        H5Dcreate2(file_.get(), path, type, space.get(), lcpl_.get(), dcpl.get(), H5P_DEFAULT),
        H5Dclose, "H5Dcreate2");
    ds.close("H5Dclose");
}

void H5File::setAttribute(const char* object, const char* name, hid_t fileType, hid_t memType,
                          const void* value) {
    H5Handle space(H5Screate(H5S_SCALAR), H5Sclose, "H5Screate");
    H5Handle a(H5Acreate_by_name(file_.get(), object, name, fileType, space.get(), H5P_DEFAULT,
                                 H5P_DEFAULT, H5P_DEFAULT),
               H5Aclose, "H5Acreate_by_name");
    check(H5Awrite(a.get(), memType, value), "H5Awrite");
    a.close("H5Aclose");
}

void H5File::attribute(const char* object, const char* name, const QString& text) {
    // A variable-length UTF-8 string, which h5py hands back as str.
    H5Handle type(H5Tcopy(H5T_C_S1), H5Tclose, "H5Tcopy");
    check(H5Tset_size(type.get(), H5T_VARIABLE), "H5Tset_size");
    check(H5Tset_cset(type.get(), H5T_CSET_UTF8), "H5Tset_cset");
    const QByteArray utf8 = text.toUtf8();
    const char* p = utf8.constData();
    setAttribute(object, name, type.get(), type.get(), &p);
}

void H5File::attribute(const char* object, const char* name, double value) {
    setAttribute(object, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, &value);
}

void H5File::attribute(const char* object, const char* name, std::int32_t value) {
    setAttribute(object, name, H5T_STD_I32LE, H5T_NATIVE_INT32, &value);
}

void H5File::writeWholeChunk(const H5Handle& ds, std::size_t rank, const void* data,
                             std::size_t bytes, std::size_t elementSize) {
    const Dims origin(rank, 0);
    if (!compress_) {
        check(H5Dwrite_chunk(ds.get(), H5P_DEFAULT, 0, origin.data(), bytes, data),
              "H5Dwrite_chunk");
        return;
    }
    // Shuffle: byte k of every element together, then byte k + 1 ...
    const auto* in = static_cast<const unsigned char*>(data);
    const std::size_t n = bytes / elementSize;
    shuffled_.resize(bytes);
    for (std::size_t k = 0; k < elementSize; ++k) {
        unsigned char* out = shuffled_.data() + k * n;
        for (std::size_t i = 0; i < n; ++i) out[i] = in[i * elementSize + k];
    }
    if (!deflater_) deflater_ = std::make_unique<Deflater>();
    const std::vector<unsigned char>& packed = deflater_->deflate(shuffled_.data(), bytes);
    check(H5Dwrite_chunk(ds.get(), H5P_DEFAULT, 0, origin.data(), packed.size(), packed.data()),
          "H5Dwrite_chunk");
}

H5File::~H5File() {
    if (file_.get() >= 0) discard();
}

void H5File::discard() noexcept {
    QFile::resize(path_, 0);
    try {
        file_.close("H5Fclose");
    } catch (const H5Failure&) {
        // Nothing more to do: the caller removes the file.
    }
}

void H5File::close() {
    if (file_.get() >= 0 && H5Fflush(file_.get(), H5F_SCOPE_LOCAL) < 0) {
        discard();
        throw H5Failure("H5Fflush", H5Failure::Write);
    }
    file_.close("H5Fclose");
}

}  // namespace qrn::xdmf
