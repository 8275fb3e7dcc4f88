#include "calib/DoubleArray.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

DoubleArray::DoubleArray(int dimensionCount)
    : m_extents(static_cast<std::size_t>(std::max(dimensionCount, 1)), 0)
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
    array.m_elements = buffer;
    array.m_capacity = static_cast<std::int32_t>(count);
    array.m_ownsElements = false;
    return array;
}

DoubleArray::~DoubleArray()
{
    release();
}

DoubleArray::DoubleArray(DoubleArray &&other) noexcept
    : m_elements(std::exchange(other.m_elements, nullptr)), m_extents(other.m_extents),
      m_capacity(std::exchange(other.m_capacity, 0)),
      m_ownsElements(std::exchange(other.m_ownsElements, true))
{
    std::fill(other.m_extents.begin(), other.m_extents.end(), 0);
}

DoubleArray &DoubleArray::operator=(DoubleArray &&other) noexcept
{
    if (this != &other) {
        release();
        m_elements = std::exchange(other.m_elements, nullptr);
        m_extents = other.m_extents;
        m_capacity = std::exchange(other.m_capacity, 0);
        m_ownsElements = std::exchange(other.m_ownsElements, true);
        std::fill(other.m_extents.begin(), other.m_extents.end(), 0);
    }
    return *this;
}

void DoubleArray::release() noexcept
{
    if (m_ownsElements)
        delete[] m_elements;
    m_elements = nullptr;
    m_capacity = 0;
    m_ownsElements = true;
}

std::int64_t DoubleArray::elementCount() const
{
    // Every extent is below 2^31, so saturating just above kMaxCapacity keeps the product
    // far from int64 overflow; grow() refuses anything above kMaxCapacity anyway.
    if (std::find(m_extents.begin(), m_extents.end(), 0) != m_extents.end())
        return 0;
    std::int64_t count = 1;
    for (std::int32_t e : m_extents) {
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
    m_extents.at(static_cast<std::size_t>(dimension)) = value;
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
    if (needed <= m_capacity)
        return;

    const std::int32_t newCapacity = grownCapacity(m_capacity, needed);

    double *block = new double[static_cast<std::size_t>(newCapacity)](); // zero-filled
    const std::int64_t kept =
        std::clamp<std::int64_t>(keep, 0, std::min<std::int64_t>(m_capacity, needed));
    if (m_elements && kept > 0)
        std::copy(m_elements, m_elements + kept, block);
    if (m_ownsElements)
        delete[] m_elements;
    m_elements = block;
    m_capacity = newCapacity;
    m_ownsElements = true;
}

void DoubleArray::resize(std::int32_t rows, std::int32_t cols)
{
    const std::int64_t held = std::min<std::int64_t>(elementCount(), m_capacity);
    setExtent(0, rows);
    if (dimensionCount() > 1)
        setExtent(1, cols);
    grow(held);
}
