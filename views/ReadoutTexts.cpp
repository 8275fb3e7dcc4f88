#include "views/ReadoutTexts.h"

namespace ReadoutTexts {

QString contents(const QStringList &groups, bool chinese)
{
    const int perLine = chinese ? 3 : 2;
    QString s;
    for (int i = 0; i < groups.size(); ++i) {
        s += groups[i];
        s += QStringLiteral(" , ");
        if ((i + 1) % perLine == 0)
            s += QLatin1Char('\n');
    }
    if (s.endsWith(QLatin1Char('\n')))
        s.chop(1);
    if (s.endsWith(QStringLiteral(" , ")))
        s.chop(3);
    return s;
}

QString celsius(double celsius)
{
    return QString::number(celsius, 'f', 2) + QStringLiteral(" °C");
}

QString fahrenheit(double celsius)
{
    return QString::number(celsius * 1.8 + 32.0, 'f', 2) + QStringLiteral(" °F");
}

QString utc(const UtcFields &fields)
{
    return fields.localText();
}

QString insState(FusionState state)
{
    return QString::fromUtf8(state.insName());
}

QString gnssState(FusionState state)
{
    return QString::fromUtf8(state.gnssName());
}

} // namespace ReadoutTexts
