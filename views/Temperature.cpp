#include "views/Temperature.h"

#include "common/Language.h"
#include "views/PlotParts.h"
#include "views/ReadoutTexts.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>

namespace {
const QString labelStyle = QStringLiteral("font-family:\"微软雅黑\"; font-size:20pt;");
} // namespace

Temperature::Temperature(QWidget *parent) : ViewWindow(parent)
{
    setWindowTitle(Language::text("温度", "Temperature"));
    setWindowIcon(QIcon(PlotParts::applicationIconPath()));
    resize(313, 137);

    auto *grid = new QGridLayout(this);
    auto *celsiusCaption = new QLabel(Language::text("摄氏度：", "Centigrade："), this);
    auto *fahrenheitCaption = new QLabel(Language::text("华氏度：", "Fahrenheit ："), this);
    const QString blanks(13, QLatin1Char(' '));
    m_celsius = new QLabel(blanks, this);
    m_fahrenheit = new QLabel(blanks, this);
    for (QLabel *label : {celsiusCaption, m_celsius, fahrenheitCaption, m_fahrenheit})
        label->setStyleSheet(labelStyle);
    // Wide enough for the longest value in this font, so that no digit is cut off.
    for (QLabel *label : {m_celsius, m_fahrenheit}) {
        label->ensurePolished();
        label->setMinimumWidth(
            label->fontMetrics().horizontalAdvance(QStringLiteral("-000.00 °F ")));
    }
    grid->addWidget(celsiusCaption, 0, 0);
    grid->addWidget(m_celsius, 0, 1);
    grid->addWidget(fahrenheitCaption, 1, 0);
    grid->addWidget(m_fahrenheit, 1, 1);
}

void Temperature::setTemperatureTexts(const QString &celsius, const QString &fahrenheit)
{
    m_celsius->setText(celsius);
    m_fahrenheit->setText(fahrenheit);
}

void Temperature::setTemperature(double celsius)
{
    setTemperatureTexts(ReadoutTexts::celsius(celsius), ReadoutTexts::fahrenheit(celsius));
}

QString Temperature::celsiusValue() const
{
    return m_celsius->text();
}

QString Temperature::fahrenheitValue() const
{
    return m_fahrenheit->text();
}
