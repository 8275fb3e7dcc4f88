#pragma once

#include "protocol/ItemKind.h"

#include <array>
#include <cstdint>
#include <functional>

// The eleven boxes of the data settings dialog, one per bit of the set-contents command's
// mask, in the order the dialog builds them. One row each: its texts, its bit, where the
// dialog places it, and which output content flags tick it when the dialog opens.
struct ContentBox
{
    const char *chinese;
    const char *english;
    std::uint16_t bit;
    int row; // the dialog's four rows
    int column;
    // Ticked at opening when the unit sends every one of these (none: never ticked).
    std::array<ContentFlag, 2> flags;
    int flagCount;
};

namespace ContentBoxes {

constexpr int Count = 11;
const std::array<ContentBox, Count> &boxes();

// Which boxes are ticked when the dialog opens, given whether the unit sends each kind.
std::array<bool, Count> tickedAtOpening(const std::function<bool(ContentFlag)> &sends);
// The mask for the ticked boxes: the sum of their bits.
std::uint16_t maskOf(const std::array<bool, Count> &ticked);

} // namespace ContentBoxes
