#pragma once

#include <cstdint>
#include <vector>

// A dense array of doubles stored column-major: element (i, j) of an array with extents
// [rows, cols] sits at position i + rows * j. The calibration fits take and build their
// arrays in this form.
//
// The block either belongs to the array (freed with it) or to the caller (a wrapper made
// by wrap(), which never frees it). Changing the extents does not allocate by itself:
// call grow() afterwards, or use resize(), which does both. When the block is too small,
// grow() replaces it by a larger zero-filled block that the array then owns; when it is
// large enough nothing moves, so the elements beyond the kept ones hold whatever the block
// held before: callers set every element they read.
class DoubleArray
{
public:
    // The largest capacity; a capacity above kDoublingLimit jumps straight to it.
    static constexpr std::int32_t kMaxCapacity = 0x7FFFFFFF;
    static constexpr std::int32_t kDoublingLimit = 0x3FFFFFFF;
    static constexpr std::int32_t kMinCapacity = 16;

    // An empty array with the given number of dimensions (at least 1): every extent 0,
    // no block, capacity 0, owning.
    explicit DoubleArray(int dimensionCount = 2);
    // A 2-D array [rows, cols] over a buffer of at least rows * cols doubles that stays
    // the caller's. Throws std::length_error for negative or too large sizes.
    static DoubleArray wrap(double *buffer, std::int32_t rows, std::int32_t cols);

    ~DoubleArray();
    DoubleArray(DoubleArray &&other) noexcept;
    DoubleArray &operator=(DoubleArray &&other) noexcept;
    DoubleArray(const DoubleArray &) = delete;
    DoubleArray &operator=(const DoubleArray &) = delete;

    int dimensionCount() const { return static_cast<int>(m_extents.size()); }
    std::int32_t extent(int dimension) const { return m_extents.at(dimension); }
    std::int32_t rows() const { return m_extents[0]; }
    std::int32_t cols() const { return m_extents.size() > 1 ? m_extents[1] : 1; }
    // The product of the extents (what the array holds once grown).
    std::int64_t elementCount() const;
    std::int32_t capacity() const { return m_capacity; }
    bool ownsElements() const { return m_ownsElements; }

    double *data() { return m_elements; }
    const double *data() const { return m_elements; }
    double &operator[](std::int64_t k) { return m_elements[k]; }
    double operator[](std::int64_t k) const { return m_elements[k]; }
    double &operator()(std::int32_t i, std::int32_t j)
    {
        return m_elements[i + static_cast<std::int64_t>(m_extents[0]) * j];
    }
    double operator()(std::int32_t i, std::int32_t j) const
    {
        return m_elements[i + static_cast<std::int64_t>(m_extents[0]) * j];
    }

    // The capacity grow() picks for `needed` elements when `current` is too small: `current`
    // but at least kMinCapacity, doubled until it reaches `needed`, where a value above
    // kDoublingLimit jumps to kMaxCapacity instead of doubling.
    static std::int32_t grownCapacity(std::int32_t current, std::int64_t needed);

    // Sets one extent; grow() must follow before the new elements are used.
    // Throws std::length_error for a negative value.
    void setExtent(int dimension, std::int32_t value);
    // Makes the block hold the product of the extents, keeping the first `keep` elements
    // (clamped to what the old block and the new extents hold). Throws std::length_error
    // when the product exceeds kMaxCapacity, std::bad_alloc when memory runs out.
    void grow(std::int64_t keep);
    // Sets the extents to [rows, cols] (a 1-D array takes rows only) and grows the array,
    // keeping the elements it held in storage order (not by (i, j)).
    void resize(std::int32_t rows, std::int32_t cols);

private:
    void release() noexcept;

    double *m_elements = nullptr;
    std::vector<std::int32_t> m_extents;
    std::int32_t m_capacity = 0;
    bool m_ownsElements = true;
};
