#include "common/Language.h"
#include "views/Combined_State_Widget.h"
#include "views/Temperature.h"
#include "views/UTCWidget.h"

#include <QLabel>
#include <QtTest>

class TestReadouts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Language::setChinese(false); }

    void temperatureStartsBlankAndShowsBothScales()
    {
        QVERIFY(Temperature::isAbsent());
        {
            Temperature w;
            QVERIFY(!Temperature::isAbsent());
            QCOMPARE(w.celsiusValue(), QString(13, QLatin1Char(' ')));
            QCOMPARE(w.fahrenheitValue(), QString(13, QLatin1Char(' ')));
            w.setTemperature(-2.0);
            QCOMPARE(w.celsiusValue(), QStringLiteral("-2.00 °C"));
            QCOMPARE(w.fahrenheitValue(), QStringLiteral("28.40 °F"));
        }
        QVERIFY(Temperature::isAbsent());
        Temperature again; // a new window starts blank again
        QCOMPARE(again.celsiusValue(), QString(13, QLatin1Char(' ')));
    }

    void utcClockStartsWithItsInitialText()
    {
        QVERIFY(UTCWidget::isAbsent());
        UTCWidget w;
        QVERIFY(!UTCWidget::isAbsent());
        QCOMPARE(w.utcText(), QStringLiteral(" 2000-01-01-00:00:00 "));
    }

    void fusionStateLabels()
    {
        QVERIFY(Combined_State_Widget::isAbsent());
        Combined_State_Widget w;
        QVERIFY(!Combined_State_Widget::isAbsent());
        auto *fusion = w.findChild<QLabel *>(QStringLiteral("fusion_state_lable"));
        auto *gnss = w.findChild<QLabel *>(QStringLiteral("gnss_state_lable"));
        QVERIFY(fusion && gnss);
        QVERIFY(fusion->text().isEmpty() && gnss->text().isEmpty());
        w.setStateTexts(QStringLiteral("组合融合状态"), QStringLiteral("固定解"));
        QVERIFY(fusion->text() == QStringLiteral("组合融合状态") &&
                gnss->text() == QStringLiteral("固定解"));
    }
};

QTEST_MAIN(TestReadouts)
#include "tst_readouts.moc"
