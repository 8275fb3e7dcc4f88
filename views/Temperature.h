#pragma once

#include <QWidget>

class QLabel;

// The temperature read-out: the newest temperature in degrees Celsius and Fahrenheit.
class Temperature : public QWidget
{
    Q_OBJECT
public:
    explicit Temperature(QWidget *parent = nullptr);
    ~Temperature() override;

    // True while no temperature window exists (process-wide).
    static bool isAbsent();

    // The texts as ReadoutTexts builds them ("25.00 °C", "77.00 °F").
    void setTemperatureTexts(const QString &celsius, const QString &fahrenheit);
    // Builds both texts from a temperature in degrees Celsius.
    void setTemperature(double celsius);

    QString celsiusValue() const;
    QString fahrenheitValue() const;
    bool isOpen() const { return m_open; }

signals:
    void closeWidget(bool isOpen);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QLabel *m_celsius = nullptr;
    QLabel *m_fahrenheit = nullptr;
    bool m_open = true;
};
