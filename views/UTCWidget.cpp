#include "views/UTCWidget.h"

#include "views/PlotParts.h"

#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

UTCWidget::UTCWidget(QWidget *parent) : ViewWindow(parent)
{
    setWindowTitle(QStringLiteral("UTC"));
    setWindowIcon(QIcon(PlotParts::applicationIconPath()));
    resize(659, 483);

    auto *layout = new QVBoxLayout(this);
    m_clock = new QLabel(QStringLiteral(" 2000-01-01-00:00:00 "), this);
    m_clock->setStyleSheet(QStringLiteral("font-family:\"微软雅黑\"; font-size:38pt;"));
    m_clock->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    // Wide enough for the longest time text in this font, so that no digit is cut off.
    m_clock->ensurePolished();
    m_clock->setMinimumWidth(
        m_clock->fontMetrics().horizontalAdvance(QStringLiteral(" 0000-00-00 00:00:00.000 ")) +
        2 * m_clock->margin());
    layout->addWidget(m_clock);
}

void UTCWidget::setUtcText(const QString &text)
{
    m_clock->setText(text);
}

QString UTCWidget::utcText() const
{
    return m_clock->text();
}
