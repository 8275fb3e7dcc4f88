#pragma once

#include "protocol/ItemKind.h"

#include <QVector>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// One quantity's history: values in arrival order, cut to the newest N on trim(). Once
// trimmed, the series keeps that bound by itself: every append beyond it drops the oldest
// value. Dropping moves the start mark and compacts only now and then, so appending and
// trimming cost O(1) amortised.
class HistorySeries
{
public:
    void append(double v)
    {
        m_data.push_back(v);
        if (m_data.size() - m_head > m_limit && ++m_head >= m_data.size() / 2)
            compact();
    }
    int size() const { return int(m_data.size() - m_head); }
    bool isEmpty() const { return size() == 0; }
    double at(int i) const { return m_data[m_head + std::size_t(i)]; }
    double last() const { return m_data.back(); }
    // Empties the series; the bound stays.
    void clear();
    // Cuts to the newest `limit` values (0 when negative) and keeps that bound from now on.
    void trim(int limit);
    // A copy of the held values, oldest first (what the view windows receive).
    QVector<double> toVector() const;
    // The same into dst, reusing dst's storage (dst must not share its data).
    void copyTo(QVector<double> &dst) const;

private:
    void compact();

    std::vector<double> m_data;
    std::size_t m_head = 0;
    std::size_t m_limit = std::size_t(-1); // no bound until the first trim
};

// The history series of the decoded items, one per quantity; the item table says which
// values go to which series (quantities no item keeps a history of stay empty).
class SampleHistory
{
public:
    HistorySeries &operator[](Quantity q) { return m_series[std::size_t(q)]; }
    const HistorySeries &operator[](Quantity q) const { return m_series[std::size_t(q)]; }

    // Every series cut to the newest `limit` values, a bound they keep from then on: called
    // after every pass with the same limit, it costs nothing.
    void trim(int limit);
    void clear();

private:
    std::array<HistorySeries, QuantityCount> m_series;
    int m_limit = -1; // the bound of the last trim
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
