#include "config/ProductRules.h"

#include "protocol/CommandFrame.h"

namespace ProductRules {
namespace {

// The rates a suffix adds to the base list.
enum class Extra
{
    None,      // the base list
    Fast400,   // 400 Hz on the models whose code 10 means 400 Hz
    UnitRates, // the IMU rates, by model
};

struct Row
{
    const char *suffix; // nullptr: any other suffix
    Extra extra;
    bool postureReset;                 // disabled
    bool magnetometer;                 // disabled
    std::uint16_t boxes;               // disabled content bits
    bool modeApply;                    // enabled
    std::array<bool, ModeCount> modes; // enabled: AHRS, VRU, IMU, General Pos, Automotive
    bool outputOptions;                // enabled, with High Frequency and User Defined selected
};

using namespace ContentMask;
constexpr std::uint16_t NoMagnetometer =
    Magnetic | Euler | Quaternion | Utc | Position | Speed | FusionState;
constexpr std::uint16_t NoNavigation = Magnetic | Utc | Position | Speed | FusionState;
constexpr std::uint16_t NoGnss = Utc | Position | Speed | FusionState;
constexpr std::array<bool, ModeCount> All{true, true, true, true, true};
constexpr std::array<bool, ModeCount> VruImu{false, true, true, false, false};
constexpr std::array<bool, ModeCount> NoVehicle{true, true, true, false, false};
constexpr std::array<bool, ModeCount> Vehicle{false, false, false, true, true};

constexpr Row rows[] = {
    {"U", Extra::UnitRates, true, true, NoMagnetometer, false, All, false},
    {"UH", Extra::UnitRates, true, true, NoMagnetometer, false, All, false},
    {"V", Extra::Fast400, false, true, NoNavigation, true, VruImu, false},
    {"VH", Extra::None, false, false, NoNavigation, true, VruImu, false},
    {"A", Extra::Fast400, false, false, NoGnss, true, NoVehicle, false},
    {"N", Extra::None, false, true, 0, true, Vehicle, true},
    {"R", Extra::None, false, true, 0, true, Vehicle, true},
    {"D", Extra::None, false, true, 0, true, Vehicle, true},
    {nullptr, Extra::None, false, false, 0, true, All, false},
};

const Row &rowFor(const QString &suffix)
{
    for (const Row &r : rows)
        if (!r.suffix || suffix == QLatin1String(r.suffix))
            return r;
    return rows[std::size(rows) - 1];
}

bool isFast400Model(const QString &model)
{
    for (const char *m : {"ARV806 ", "ARV223 ", "ARV224 ", "ARV611 "})
        if (model == QLatin1String(m))
            return true;
    return false;
}

} // namespace

int modeCode(Mode mode)
{
    return int(mode) + 1;
}

const char *modeText(Mode mode)
{
    static const char *const texts[ModeCount] = {"AHRS", "VRU", "IMU", "General Pos", "Automotive"};
    return texts[int(mode)];
}

QStringList baseFrequencies()
{
    return {"1", "2", "5", "10", "20", "25", "50", "100", "200"};
}

QStringList frequencies(const QString &model, const QString &suffix)
{
    QStringList list = baseFrequencies();
    switch (rowFor(suffix).extra) {
    case Extra::None:
        break;
    case Extra::Fast400:
        if (isFast400Model(model))
            list << "400";
        break;
    case Extra::UnitRates:
        if (model == QLatin1String("ARV273") && suffix == QLatin1String("U"))
            list << "250"
                 << "400"
                 << "1000"
                 << "2000";
        else if (model == QLatin1String("ARV805") && suffix == QLatin1String("UH"))
            list << "200"
                 << "400"
                 << "800";
        else
            list << "250"
                 << "500"
                 << "1000";
        break;
    }
    return list;
}

bool disablesPostureReset(const QString &suffix)
{
    return rowFor(suffix).postureReset;
}

bool disablesMagnetometer(const QString &suffix)
{
    return rowFor(suffix).magnetometer;
}

std::uint16_t disabledContentBits(const QString &suffix)
{
    return rowFor(suffix).boxes;
}

ModeSwitch modeSwitch(const QString &suffix)
{
    const Row &r = rowFor(suffix);
    ModeSwitch m;
    m.modeApply = r.modeApply;
    m.modes = r.modes;
    m.outputOptions = r.outputOptions;
    m.presetHighAndUserDefined = r.outputOptions;
    return m;
}

} // namespace ProductRules
