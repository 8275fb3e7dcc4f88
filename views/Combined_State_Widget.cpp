#include "views/Combined_State_Widget.h"

#include "common/Language.h"

#include <QGridLayout>
#include <QLabel>

Combined_State_Widget::Combined_State_Widget(QWidget *parent) : ViewWindow(parent)
{
    setWindowTitle(Language::text("组合状态", "Fusion State"));
    resize(581, 250);
    setMinimumSize(581, 250);
    setMouseTracking(true);

    QFont font;
    font.setPointSize(20);
    auto *grid = new QGridLayout(this);
    auto *fusionCaption = new QLabel(Language::text("融合状态：", "Fusion Result:"), this);
    auto *gnssCaption = new QLabel(Language::text("定位状态：", "GNSS   Result:"), this);
    m_fusion = new QLabel(this);
    m_fusion->setObjectName(QStringLiteral("fusion_state_lable"));
    m_gnss = new QLabel(this);
    m_gnss->setObjectName(QStringLiteral("gnss_state_lable"));
    for (QLabel *label : {fusionCaption, m_fusion, gnssCaption, m_gnss}) {
        label->setFont(font);
        label->setAlignment(Qt::AlignCenter);
    }
    grid->addWidget(fusionCaption, 0, 0);
    grid->addWidget(m_fusion, 0, 1);
    grid->addWidget(gnssCaption, 1, 0);
    grid->addWidget(m_gnss, 1, 1);
}

void Combined_State_Widget::setStateTexts(const QString &insState, const QString &gnssState)
{
    m_fusion->setText(insState);
    m_gnss->setText(gnssState);
}

QString Combined_State_Widget::insStateText() const
{
    return m_fusion->text();
}

QString Combined_State_Widget::gnssStateText() const
{
    return m_gnss->text();
}
