#include "app/WindowTiling.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>

namespace WindowTiling {

QVector<int> share(const QVector<int> &preferred, const QVector<int> &minimum, int total)
{
    const int n = preferred.size();
    QVector<int> out(minimum);
    if (n == 0 || std::accumulate(minimum.cbegin(), minimum.cend(), 0) >= total)
        return out;
    // Parts whose proportional share would fall below their minimum get the minimum; the
    // others share what is left, until no part falls below.
    QVector<bool> atMinimum(n, false);
    for (bool changed = true; changed;) {
        changed = false;
        long long rest = total, weights = 0;
        for (int i = 0; i < n; ++i)
            atMinimum[i] ? rest -= minimum[i] : weights += std::max(preferred[i], 1);
        int last = -1;
        long long given = 0;
        for (int i = 0; i < n; ++i) {
            if (atMinimum[i])
                continue;
            out[i] = int(rest * std::max(preferred[i], 1) / std::max(weights, 1LL));
            given += out[i];
            last = i;
            if (out[i] < minimum[i]) {
                atMinimum[i] = changed = true;
                out[i] = minimum[i];
            }
        }
        if (!changed && last >= 0)
            out[last] += int(rest - given); // what rounding left over
    }
    return out;
}

namespace {

// Beyond this many windows, the last ones share the last column (2^12 partitions at most).
constexpr int MaxCutPlaces = 12;

struct Layout
{
    QVector<QRect> rects;
    long long overflow = 0; // pixels of minimum size that do not fit
    // The share of its preferred area that a window gets (at most 1): the smallest, and
    // the mean over all windows.
    double fit = 0.0;
    double meanFit = 0.0;
};

Layout layOut(const QVector<Window> &windows, const QRect &area,
              const QVector<QVector<int>> &members)
{
    const int columns = members.size();
    // Each column as wide as its widest window prefers, in proportion, and no narrower than
    // its widest window's minimum.
    QVector<int> preferredWidths(columns, 0), minimumWidths(columns, 0);
    for (int c = 0; c < columns; ++c)
        for (int i : members[c]) {
            preferredWidths[c] = std::max(preferredWidths[c], windows[i].preferred.width());
            minimumWidths[c] = std::max(minimumWidths[c], windows[i].minimum.width());
        }
    const QVector<int> widths = share(preferredWidths, minimumWidths, area.width());

    Layout layout;
    layout.rects.resize(windows.size());
    layout.fit = 1.0;
    int left = area.left();
    for (int c = 0; c < columns; ++c) {
        const int w = widths[c];
        QVector<int> preferred, minimum;
        for (int i : members[c]) {
            preferred << windows[i].preferred.height();
            minimum << windows[i].minimum.height();
        }
        const QVector<int> h = share(preferred, minimum, area.height());
        int top = area.top();
        for (int k = 0; k < members[c].size(); ++k) {
            const Window &win = windows[members[c][k]];
            layout.rects[members[c][k]] = QRect(left, top, w, h[k]);
            top += h[k];
            const double fw = double(w) / std::max(win.preferred.width(), 1);
            const double fh = double(h[k]) / std::max(win.preferred.height(), 1);
            const double fit = std::min(fw, 1.0) * std::min(fh, 1.0);
            layout.fit = std::min(layout.fit, fit);
            layout.meanFit += fit / windows.size();
        }
        layout.overflow += std::max(0, top - (area.bottom() + 1));
        left += w;
    }
    layout.overflow += std::max(0, left - (area.right() + 1));
    return layout;
}

// The columns a partition makes: windows in `order` cut after each position whose bit is
// set in `cuts`; each column lists its windows in their own order.
QVector<QVector<int>> columnsOf(const QVector<int> &order, unsigned cuts)
{
    QVector<QVector<int>> columns(1);
    for (int k = 0; k < order.size(); ++k) {
        columns.last().append(order[k]);
        if (k + 1 < order.size() && (cuts >> k & 1u))
            columns.append(QVector<int>());
    }
    for (QVector<int> &column : columns)
        std::sort(column.begin(), column.end());
    return columns;
}

} // namespace

QVector<QRect> tile(const QVector<Window> &windows, const QRect &area)
{
    const int n = windows.size();
    if (n == 0)
        return {};
    // Windows of like width side by side in the order, so that a column can take the wide
    // ones together; every way of cutting that order into columns is tried (a few hundred
    // for every view open at once).
    QVector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&windows](int a, int b) {
        return windows[a].minimum.width() > windows[b].minimum.width();
    });
    const int cutPlaces = std::min(n - 1, MaxCutPlaces);
    // Less overflow first, then a larger mean and smallest share, then fewer columns (shares
    // compared to a thousandth, so that rounding does not decide).
    const auto rank = [](const Layout &l, int columnCount) {
        return std::make_tuple(-l.overflow, std::lround(l.meanFit * 1000),
                               std::lround(l.fit * 1000), -columnCount);
    };
    Layout best;
    int bestColumns = 0;
    for (unsigned cuts = 0; cuts < (1u << cutPlaces); ++cuts) {
        const QVector<QVector<int>> columns = columnsOf(order, cuts);
        Layout layout = layOut(windows, area, columns);
        const bool better =
            bestColumns == 0 || rank(layout, columns.size()) > rank(best, bestColumns);
        if (better) {
            best = std::move(layout);
            bestColumns = columns.size();
        }
    }
    return best.rects;
}

} // namespace WindowTiling
