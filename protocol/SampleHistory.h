#pragma once

#include "protocol/ItemKind.h"

#include <QVector>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// One quantity's history: values in arrival order, cut to the newest N on trim().
// Trimming moves the start mark and compacts only now and then, so it costs O(1) amortised.
class HistorySeries
{
public:
    void append(double v) { m_data.push_back(v); }
    int size() const { return int(m_data.size() - m_head); }
    bool isEmpty() const { return size() == 0; }
    double at(int i) const { return m_data[m_head + std::size_t(i)]; }
    double last() const { return m_data.back(); }
    void clear();
    void trim(int limit);
    // A copy of the held values, oldest first (what the view windows receive).
    QVector<double> toVector() const;
    // The same into dst, reusing dst's storage (dst must not share its data).
    void copyTo(QVector<double> &dst) const;

private:
    std::vector<double> m_data;
    std::size_t m_head = 0;
};

// The history series of the decoded items, one per quantity; the item table says which
// values go to which series (quantities no item keeps a history of stay empty).
class SampleHistory
{
public:
    HistorySeries &operator[](Quantity q) { return m_series[std::size_t(q)]; }
    const HistorySeries &operator[](Quantity q) const { return m_series[std::size_t(q)]; }

    // Every series cut to the newest `limit` values.
    void trim(int limit);
    void clear();

private:
    std::array<HistorySeries, QuantityCount> m_series;
};

// Series that hold only the values of the current pass, one per quantity; the calibration
// and gyro-bias collectors read them after each pass.
class PassSeries
{
public:
    QVector<int> tids; // TIDs of the valid frames of the pass

    const QVector<double> &operator[](Quantity q) const { return m_series[std::size_t(q)]; }
    void append(Quantity q, double v)
    {
        m_used |= 1u << unsigned(q);
        m_series[std::size_t(q)].append(v);
    }
    void clear();

private:
    std::array<QVector<double>, QuantityCount> m_series;
    std::uint32_t m_used = 0; // series that hold values
    static_assert(QuantityCount <= 32, "one bit per quantity");
};
