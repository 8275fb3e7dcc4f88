#include "protocol/RateTables.h"

#include <cstddef>
#include <iterator>

namespace {

struct Pair
{
    int code;
    int value;
};

// Frequency codes whose rate does not depend on the model, both directions.
constexpr Pair frequencyCodes[] = {{1, 1},  {2, 2},   {3, 5},   {4, 10},    {5, 20},    {6, 25},
                                   {7, 50}, {8, 100}, {9, 200}, {12, 1000}, {13, 2000}, {14, 500}};
// Rates the unit does not report but accepts under the code of a neighbouring rate.
constexpr Pair frequencyAliases[] = {{12, 1600}, {13, 3000}};
constexpr int defaultFrequencyCode = 8; // 100 Hz

constexpr Pair baudCodes[] = {{1, 9600}, {2, 38400}, {3, 115200}, {4, 460800}, {5, 921600}};
constexpr int defaultBaudCode = 4;

const char *const modeNames[] = {"AHRS", "VRU", "IMU", "GeneralPos", "Automotive"};

bool isArv805Uh(const QString &model, const QString &suffix)
{
    return model == QLatin1String("ARV805") && suffix == QLatin1String("UH");
}

// The model-dependent codes 10 and 11.
int code10Rate(const QString &model, const QString &suffix)
{
    return RateTables::isFastModel(model, suffix) ? 400 : 250;
}

int code11Rate(const QString &model, const QString &suffix)
{
    return isArv805Uh(model, suffix) ? 800 : 400;
}

} // namespace

namespace RateTables {

bool isFastModel(const QString &model, const QString &suffix)
{
    return isArv805Uh(model, suffix) || model == QLatin1String("ARV806 ") ||
           model == QLatin1String("ARV223 ") || model == QLatin1String("ARV224 ") ||
           model == QLatin1String("ARV611 ");
}

int rateForCode(int code, const QString &model, const QString &suffix)
{
    if (code == 10)
        return code10Rate(model, suffix);
    if (code == 11)
        return code11Rate(model, suffix);
    for (const Pair &p : frequencyCodes)
        if (p.code == code)
            return p.value;
    return 0;
}

int codeForRate(int hz, const QString &model, const QString &suffix)
{
    if (hz == code10Rate(model, suffix) || hz == 250)
        return 10; // 250 Hz is code 10 on every model
    if (hz == code11Rate(model, suffix) || hz == 800)
        return 11; // 800 Hz is code 11 on every model
    for (const Pair &p : frequencyCodes)
        if (p.value == hz)
            return p.code;
    for (const Pair &p : frequencyAliases)
        if (p.value == hz)
            return p.code;
    return defaultFrequencyCode;
}

int baudCode(int baud)
{
    for (const Pair &p : baudCodes)
        if (p.value == baud)
            return p.code;
    return defaultBaudCode;
}

int baudForCode(int code)
{
    for (const Pair &p : baudCodes)
        if (p.code == code)
            return p.value;
    return 0;
}

QString modeName(int code)
{
    if (code < 1 || code > int(std::size(modeNames)))
        return QString();
    return QString::fromLatin1(modeNames[code - 1]);
}

} // namespace RateTables
