#include "calib/DoubleArray.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

DoubleArray::DoubleArray(int dimensionCount)
    : extents_(static_cast<std::size_t>(std::max(dimensionCount, 1)), 0)
{
}

DoubleArray DoubleArray::wrap(double *buffer, std::int32_t rows, std::int32_t cols)
{
    DoubleArray array(2);
    array.setExtent(0, rows);
    array.setExtent(1, cols);
    const std::int64_t count = array.elementCount();
    if (count > kMaxCapacity)
        throw std::length_error("DoubleArray: wrapped buffer too large");
    array.elements_ = buffer;
    array.capacity_ = static_cast<std::int32_t>(count);
    array.ownsElements_ = false;
    return array;
}

DoubleArray::~DoubleArray()
{
    release();
}

DoubleArray::DoubleArray(DoubleArray &&other) noexcept
    : elements_(std::exchange(other.elements_, nullptr)), extents_(other.extents_),
      capacity_(std::exchange(other.capacity_, 0)),
      ownsElements_(std::exchange(other.ownsElements_, true))
{
    std::fill(other.extents_.begin(), other.extents_.end(), 0);
}

DoubleArray &DoubleArray::operator=(DoubleArray &&other) noexcept
{
    if (this != &other) {
        release();
        elements_ = std::exchange(other.elements_, nullptr);
        extents_ = other.extents_;
        capacity_ = std::exchange(other.capacity_, 0);
        ownsElements_ = std::exchange(other.ownsElements_, true);
        std::fill(other.extents_.begin(), other.extents_.end(), 0);
    }
    return *this;
}

void DoubleArray::release() noexcept
{
    if (ownsElements_)
        delete[] elements_;
    elements_ = nullptr;
    capacity_ = 0;
    ownsElements_ = true;
}

std::int64_t DoubleArray::elementCount() const
{
    // Every extent is below 2^31, so saturating just above kMaxCapacity keeps the product
    // far from int64 overflow; grow() refuses anything above kMaxCapacity anyway.
    if (std::find(extents_.begin(), extents_.end(), 0) != extents_.end())
        return 0;
    std::int64_t count = 1;
    for (std::int32_t e : extents_) {
        count *= e;
        if (count > kMaxCapacity)
            return static_cast<std::int64_t>(kMaxCapacity) + 1;
    }
    return count;
}

void DoubleArray::setExtent(int dimension, std::int32_t value)
{
    if (value < 0)
        throw std::length_error("DoubleArray: negative extent");
    extents_.at(static_cast<std::size_t>(dimension)) = value;
}

std::int32_t DoubleArray::grownCapacity(std::int32_t current, std::int64_t needed)
{
    std::int64_t capacity = std::max<std::int32_t>(current, kMinCapacity);
    while (capacity < needed && capacity < kMaxCapacity)
        capacity = capacity > kDoublingLimit ? kMaxCapacity : capacity * 2;
    return static_cast<std::int32_t>(capacity);
}

void DoubleArray::grow(std::int64_t keep)
{
    const std::int64_t needed = elementCount();
    if (needed > kMaxCapacity)
        throw std::length_error("DoubleArray: more than 2^31 - 1 elements");
    if (needed <= capacity_)
        return;

    const std::int32_t newCapacity = grownCapacity(capacity_, needed);

    double *block = new double[static_cast<std::size_t>(newCapacity)](); // zero-filled
    const std::int64_t kept =
        std::clamp<std::int64_t>(keep, 0, std::min<std::int64_t>(capacity_, needed));
    if (elements_ && kept > 0)
        std::copy(elements_, elements_ + kept, block);
    if (ownsElements_)
        delete[] elements_;
    elements_ = block;
    capacity_ = newCapacity;
    ownsElements_ = true;
}

void DoubleArray::resize(std::int32_t rows, std::int32_t cols)
{
    const std::int64_t held = std::min<std::int64_t>(elementCount(), capacity_);
    setExtent(0, rows);
    if (dimensionCount() > 1)
        setExtent(1, cols);
    grow(held);
}
