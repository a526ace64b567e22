#pragma once
// Arrays with explicit lower and upper bounds per dimension, first index
// fastest in memory (the binary dataset file's layout), zero-filled on
// creation. Storage comes from calloc so that a large, freshly created array
// costs no time until it is written, and an allocation failure is reported
// as std::bad_alloc instead of ending the program.

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <type_traits>

namespace qrn {

struct Bounds {
    std::int64_t lo = 0;
    std::int64_t hi = -1;  // inclusive; hi < lo means an empty dimension
    constexpr std::int64_t count() const { return hi >= lo ? hi - lo + 1 : 0; }
    constexpr bool contains(std::int64_t i) const { return i >= lo && i <= hi; }
    friend constexpr bool operator==(const Bounds&, const Bounds&) = default;
};

// Number of elements for the given bounds, or -1 when it overflows 64 bits.
template <std::size_t N>
std::int64_t elementCount(const std::array<Bounds, N>& b) {
    std::int64_t n = 1;
    for (const auto& d : b) {
        const std::int64_t c = d.count();
        if (c == 0) return 0;
        if (n > std::numeric_limits<std::int64_t>::max() / c) return -1;
        n *= c;
    }
    return n;
}

template <typename T, std::size_t N>
class BArray {
    static_assert(std::is_trivially_copyable_v<T>);

  public:
    using value_type = T;
    static constexpr std::size_t rank = N;

    BArray() = default;
    explicit BArray(const std::array<Bounds, N>& b) { create(b); }
    BArray(const BArray& o) { *this = o; }
    BArray(BArray&& o) noexcept { swap(o); }
    BArray& operator=(BArray&& o) noexcept {
        if (this != &o) {
            BArray tmp;
            tmp.swap(o);
            swap(tmp);
        }
        return *this;
    }
    void swap(BArray& o) noexcept {
        std::swap(data_, o.data_);
        std::swap(size_, o.size_);
        std::swap(bounds_, o.bounds_);
        std::swap(stride_, o.stride_);
    }
    BArray& operator=(const BArray& o) {
        if (this == &o) return *this;
        BArray tmp;
        tmp.allocate(o.bounds_);
        if (o.size_ > 0) std::memcpy(tmp.data(), o.data(), o.bytes());
        *this = std::move(tmp);
        return *this;
    }

    // Re-creates the array with the given bounds, all zero. Throws std::bad_alloc.
    void create(const std::array<Bounds, N>& b) {
        BArray tmp;
        tmp.allocate(b);
        *this = std::move(tmp);
    }

    // Changes the bounds keeping every element whose indices lie in both the
    // old and the new bounds; new elements are zero.
    void resizeKeep(const std::array<Bounds, N>& b) {
        BArray tmp;
        tmp.allocate(b);
        if (size_ > 0 && tmp.size_ > 0) copyOverlap(tmp);
        *this = std::move(tmp);
    }

    // Holds no elements afterwards.
    void clear() {
        data_.reset();
        size_ = 0;
        bounds_ = {};
        for (auto& d : bounds_) d = Bounds{0, -1};
        computeStrides();
    }

    void fillZero() {
        if (size_ > 0) std::memset(data(), 0, bytes());
    }

    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }
    std::size_t bytes() const { return size_ * sizeof(T); }
    const std::array<Bounds, N>& bounds() const { return bounds_; }
    std::int64_t lo(std::size_t d) const { return bounds_[d].lo; }
    std::int64_t hi(std::size_t d) const { return bounds_[d].hi; }

    T* data() { return data_.get(); }
    const T* data() const { return data_.get(); }

    template <typename... I>
    bool contains(I... idx) const {
        static_assert(sizeof...(I) == N);
        const std::array<std::int64_t, N> ix{static_cast<std::int64_t>(idx)...};
        for (std::size_t d = 0; d < N; ++d)
            if (!bounds_[d].contains(ix[d])) return false;
        return size_ > 0;
    }

    template <typename... I>
    T& operator()(I... idx) {
        return data_.get()[offsetOf(idx...)];
    }
    template <typename... I>
    const T& operator()(I... idx) const {
        return data_.get()[offsetOf(idx...)];
    }

    // Offset in elements of the given indices from the start of the storage.
    template <typename... I>
    std::size_t offsetOf(I... idx) const {
        static_assert(sizeof...(I) == N);
        const std::array<std::int64_t, N> ix{static_cast<std::int64_t>(idx)...};
        std::int64_t off = 0;
        for (std::size_t d = 0; d < N; ++d) {
            assert(bounds_[d].contains(ix[d]) && "BArray index out of bounds");
            off += (ix[d] - bounds_[d].lo) * stride_[d];
        }
        return static_cast<std::size_t>(off);
    }
    std::int64_t stride(std::size_t d) const { return stride_[d]; }

    friend bool operator==(const BArray& a, const BArray& b) {
        if (a.bounds_ != b.bounds_) return false;
        return a.size_ == 0 || std::memcmp(a.data(), b.data(), a.bytes()) == 0;
    }

  private:
    struct FreeDeleter {
        void operator()(T* p) const { std::free(p); }
    };

    void allocate(const std::array<Bounds, N>& b) {
        const std::int64_t n = elementCount(b);
        if (n < 0 ||
            static_cast<std::uint64_t>(n) > std::numeric_limits<std::size_t>::max() / sizeof(T))
            throw std::bad_alloc();
        bounds_ = b;
        size_ = static_cast<std::size_t>(n);
        computeStrides();
        if (size_ > 0) {
            void* p = std::calloc(size_, sizeof(T));
            if (!p) throw std::bad_alloc();
            data_.reset(static_cast<T*>(p));
        } else {
            data_.reset();
        }
    }

    void computeStrides() {
        std::int64_t s = 1;
        for (std::size_t d = 0; d < N; ++d) {
            stride_[d] = s;
            s *= std::max<std::int64_t>(bounds_[d].count(), 1);
        }
    }

    // Copies the common sub-block into `dst`, one run along dimension 0 at a time.
    void copyOverlap(BArray& dst) const {
        std::array<Bounds, N> common;
        for (std::size_t d = 0; d < N; ++d) {
            common[d].lo = std::max(bounds_[d].lo, dst.bounds_[d].lo);
            common[d].hi = std::min(bounds_[d].hi, dst.bounds_[d].hi);
            if (common[d].count() == 0) return;
        }
        const auto run = static_cast<std::size_t>(common[0].count());
        std::array<std::int64_t, N> ix;
        for (std::size_t d = 0; d < N; ++d) ix[d] = common[d].lo;
        while (true) {
            std::int64_t so = 0, dO = 0;
            for (std::size_t d = 0; d < N; ++d) {
                so += (ix[d] - bounds_[d].lo) * stride_[d];
                dO += (ix[d] - dst.bounds_[d].lo) * dst.stride_[d];
            }
            std::memcpy(dst.data_.get() + dO, data_.get() + so, run * sizeof(T));
            std::size_t d = 1;
            for (; d < N; ++d) {
                if (++ix[d] <= common[d].hi) break;
                ix[d] = common[d].lo;
            }
            if (d >= N) break;
        }
    }

    std::unique_ptr<T, FreeDeleter> data_;
    std::size_t size_ = 0;
    std::array<Bounds, N> bounds_ = [] {
        std::array<Bounds, N> b{};
        for (auto& d : b) d = Bounds{0, -1};
        return b;
    }();
    std::array<std::int64_t, N> stride_{};
};

}  // namespace qrn
