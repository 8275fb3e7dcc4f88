#pragma once

#include "views/ViewWindow.h"

class QLabel;

// The temperature read-out: the newest temperature in degrees Celsius and Fahrenheit.
// isAbsent(): true while no temperature window exists (process-wide).
class Temperature : public ViewWindow, public InstanceCount<Temperature>
{
    Q_OBJECT
public:
    explicit Temperature(QWidget *parent = nullptr);

    // The texts as ReadoutTexts builds them ("25.00 °C", "77.00 °F").
    void setTemperatureTexts(const QString &celsius, const QString &fahrenheit);
    // Builds both texts from a temperature in degrees Celsius.
    void setTemperature(double celsius);

    QString celsiusValue() const;
    QString fahrenheitValue() const;

private:
    QLabel *m_celsius = nullptr;
    QLabel *m_fahrenheit = nullptr;
};
