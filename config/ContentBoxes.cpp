#include "config/ContentBoxes.h"

#include "protocol/CommandFrame.h"

namespace ContentBoxes {
namespace {

using F = ContentFlag;
namespace M = ContentMask;

// The combined-state box is never ticked at opening: the fusion state item also sets the
// synchronisation timestamp's flag, so the flags cannot tell that the unit sends it.
constexpr std::array<ContentBox, Count> table = {{
    {"时间戳", "Time", M::Timestamp, 3, 0, {F::SamplingTimestamp, F::SyncTimestamp}, 2},
    {"组合导航状态", "Group State", M::FusionState, 3, 1, {F::AnyFrame, F::AnyFrame}, 0},
    {"温度", "Temperature", M::Temperature, 2, 2, {F::Temperature, F::Temperature}, 1},
    {"加速度", "Acceleration", M::Acceleration, 0, 0, {F::Acceleration, F::Acceleration}, 1},
    {"角速度",
     "Angular Velocity",
     M::AngularVelocity,
     0,
     1,
     {F::AngularVelocity, F::AngularVelocity},
     1},
    {"磁场强度", "Magnetic Filed", M::Magnetic, 0, 2, {F::Magnetic, F::Magnetic}, 1},
    {"欧拉角", "Euler Angles", M::Euler, 1, 0, {F::Euler, F::Euler}, 1},
    {"四元数", "Quaternion", M::Quaternion, 1, 1, {F::Quaternion, F::Quaternion}, 1},
    {"UTC", "UTC", M::Utc, 1, 2, {F::Utc, F::Utc}, 1},
    {"位置", "Position", M::Position, 2, 0, {F::Location, F::Location}, 1},
    {"速度", "Speed", M::Speed, 2, 1, {F::Velocity, F::Velocity}, 1},
}};

constexpr bool coversTheMask()
{
    unsigned sum = 0;
    for (const ContentBox &b : table)
        sum += b.bit;
    return sum == M::All;
}
static_assert(coversTheMask(), "one box per bit of the content mask");

} // namespace

const std::array<ContentBox, Count> &boxes()
{
    return table;
}

std::array<bool, Count> tickedAtOpening(const std::function<bool(ContentFlag)> &sends)
{
    std::array<bool, Count> ticked{};
    for (int i = 0; i < Count; ++i) {
        const ContentBox &b = table[std::size_t(i)];
        bool all = b.flagCount > 0;
        for (int k = 0; k < b.flagCount; ++k)
            all = all && sends(b.flags[std::size_t(k)]);
        ticked[std::size_t(i)] = all;
    }
    return ticked;
}

std::uint16_t maskOf(const std::array<bool, Count> &ticked)
{
    unsigned mask = 0;
    for (int i = 0; i < Count; ++i)
        if (ticked[std::size_t(i)])
            mask += table[std::size_t(i)].bit;
    return std::uint16_t(mask);
}

} // namespace ContentBoxes
