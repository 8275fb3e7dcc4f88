#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

// What a unit can be asked, by the product model and version suffix read from its version
// answer ("V2.8.7-20240105-ARV806 -A": model "ARV806 ", suffix "A"). One row per suffix
// drives the output settings' frequency list, the menus the main window disables, the data
// settings' disabled boxes and the function settings' choices. Model strings keep the unit's
// trailing blank where it sends one. Pure functions; any thread.
namespace ProductRules {

// The algorithm modes in the order of the function settings dialog, with their codes
// (1 AHRS, 2 VRU, 3 IMU, 4 General Pos, 5 Automotive).
enum class Mode
{
    Ahrs,
    Vru,
    Imu,
    GeneralPos,
    Automotive,
    Count
};
constexpr int ModeCount = int(Mode::Count);
int modeCode(Mode mode);
// The radio button text ("AHRS", "VRU", "IMU", "General Pos", "Automotive").
const char *modeText(Mode mode);

// The frequency list of every unit before its version is known: 1 … 200 Hz.
QStringList baseFrequencies();
// The frequency list for this unit, in the order shown; a rate may be listed twice, as the
// unit family lists it ("ARV805" with "UH": 200 twice).
QStringList frequencies(const QString &model, const QString &suffix);

// Menus a unit without magnetometer or attitude output cannot use.
bool disablesPostureReset(const QString &suffix);
bool disablesMagnetometer(const QString &suffix);

// The content mask bits whose boxes the data settings dialog disables.
std::uint16_t disabledContentBits(const QString &suffix);

// The function settings dialog's choices.
struct ModeSwitch
{
    bool modeApply = true;                 // the mode's set button
    std::array<bool, ModeCount> modes{};   // each mode's radio button
    bool outputOptions = false;            // protocol and range: radios and set buttons
    bool presetHighAndUserDefined = false; // "High Frequency" and "User Defined" selected
};
ModeSwitch modeSwitch(const QString &suffix);

} // namespace ProductRules
