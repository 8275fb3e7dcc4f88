// The configuration dialogs on a pseudo-terminal: what each sends for what the user chose,
// what a unit of each suffix is offered, and input the command write window refuses.
#include "common/Language.h"
#include "config/ProductRules.h"
#include "config/QModelDialog.h"
#include "config/QModelSwitchDialog.h"
#include "config/QtArvCommandSystem.h"
#include "config/Serial_Write_Thread.h"
#include "config/Serial_Write_Widget.h"
#include "config/SettingSender.h"
#include "protocol/CommandFrame.h"
#include "protocol/FrameParser.h"
#include "serial/CommandSender.h"
#include "serial/SerialLink.h"
#include "tests/support/ModalScript.h"
#include "tests/support/PtyLink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTextEdit>
#include <QtTest>

using ProductRules::Mode;
namespace M = ContentMask;

namespace {

struct OpenLink : PtyLink
{
    SettingSender settings{&sender};
};

QString ticks(const QtArvCommandSystem &d, bool enabledState)
{
    QString s;
    for (int i = 0; i < ContentBoxes::Count; ++i)
        s += (enabledState ? d.box(i)->isEnabled() : d.box(i)->isChecked()) ? '1' : '0';
    return s;
}

QCheckBox *boxFor(const QtArvCommandSystem &d, std::uint16_t bit)
{
    for (int i = 0; i < ContentBoxes::Count; ++i)
        if (ContentBoxes::boxes()[std::size_t(i)].bit == bit)
            return d.box(i);
    return nullptr;
}

} // namespace

class TestConfigDialogs : public QObject
{
    Q_OBJECT
private slots:
    void init() { Language::setChinese(true); }

    void outputSettingsSendWhatWasChosen()
    {
        OpenLink l;
        QModelDialog dialog(&l.settings);
        auto *baud = dialog.findChild<QComboBox *>("baudCombo");
        auto *baudOk = dialog.findChild<QPushButton *>("baudOk");
        auto *frequency = dialog.findChild<QComboBox *>("frequencyCombo");
        auto *frequencyOk = dialog.findChild<QPushButton *>("frequencyOk");
        QCOMPARE(baud->currentText(), QString("921600"));
        QCOMPARE(dialog.frequencyList(), ProductRules::baseFrequencies());

        // No port: nothing can be sent, and the dialog says so.
        dialog.show();
        QVERIFY(!baudOk->isEnabled() && !frequencyOk->isEnabled());
        QVERIFY(dialog.findChild<QLabel *>("portNote")->isVisible());
        dialog.hide();

        QVERIFY(l.open());
        dialog.show();
        QVERIFY(baudOk->isEnabled() && !dialog.findChild<QLabel *>("portNote")->isVisible());
        QSignalSpy baudResult(&dialog, &QModelDialog::baudSignal);

        // No in the confirmation: nothing is sent.
        baud->setCurrentText("115200");
        ModalScript no;
        no.answer("请确认波特率及输出内容是否匹配", QMessageBox::No);
        no.start();
        baudOk->click();
        QVERIFY(no.done());
        QCOMPARE(l.written(1), QByteArray());
        QCOMPARE(baudResult.count(), 0);

        ModalScript yes;
        yes.answer("请确认波特率及输出内容是否匹配", QMessageBox::Yes);
        yes.start();
        baudOk->click();
        QCOMPARE(l.written(8), CommandFrame::setBaudRate(115200));
        QTRY_COMPARE(baudResult.count(), 1);
        QCOMPARE(baudResult.first(), (QVariantList{true, 115200}));

        // The frequency code follows the unit's model: 400 Hz is code 10 on an "ARV806 ",
        // 11 on an "ARV805" without "UH". The unit's own rate is preselected.
        dialog.setProduct("ARV806 ", "A");
        dialog.setUnitFrequency(100);
        dialog.setFrequencyList(ProductRules::frequencies("ARV806 ", "A"));
        QCOMPARE(frequency->currentText(), QString("100"));
        frequency->setCurrentText("400");
        QVERIFY(!dialog.frequencySent());
        ModalScript f;
        f.answer("请确认当前输出频率及输出内容是否匹配", QMessageBox::Yes);
        f.answer("请确认当前输出频率及输出内容是否匹配", QMessageBox::Yes);
        f.start();
        frequencyOk->click();
        QCOMPARE(l.written(8), CommandFrame::build(0x03, 2, QByteArray(1, 10)));
        QVERIFY(dialog.frequencySent());
        dialog.setProduct("ARV805", "");
        frequencyOk->click();
        QCOMPARE(l.written(8), CommandFrame::build(0x03, 2, QByteArray(1, 11)));
        QVERIFY(l.settings.isAwaitingAnswer(Setting::Frequency));
    }

    void dataSettingsBySuffix_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("enabled"); // construction order: time, group state, ...
        const std::pair<const char *, const char *> rows[] = {
            {"U", "10111000000"},  {"UH", "10111000000"}, {"V", "10111011000"},
            {"VH", "10111011000"}, {"A", "10111111000"},  {"N", "11111111111"}};
        for (const auto &row : rows)
            QTest::newRow(row.first) << row.first << row.second;
    }
    void dataSettingsBySuffix()
    {
        QFETCH(QString, suffix);
        OpenLink l;
        std::array<bool, ContentBoxes::Count> ticked;
        ticked.fill(true);
        ticked[1] = false; // the combined state is never ticked at opening
        QtArvCommandSystem d(&l.settings, suffix, ticked);
        QTEST(ticks(d, true), "enabled");
        QCOMPARE(ticks(d, false), QString("10111111111"));
    }

    void dataSettingsSendTheTickedMask()
    {
        OpenLink l;
        std::array<bool, ContentBoxes::Count> ticked{};
        ticked.fill(true);
        Language::setChinese(false);
        QtArvCommandSystem d(&l.settings, "N", ticked);
        // Cancel in the question: nothing sent, the dialog stays.
        QVERIFY(l.open());
        ModalScript script;
        script
            .onModal<QtArvCommandSystem>([](QtArvCommandSystem *dialog) {
                for (int i = 0; i < ContentBoxes::Count; ++i)
                    dialog->box(i)->setChecked(false);
                boxFor(*dialog, M::Temperature)->setChecked(true);
                boxFor(*dialog, M::Euler)->setChecked(true);
                dialog->findChildren<QPushButton *>().last()->click(); // Ok
            })
            .answer("The serial port needs to be restarted", QMessageBox::Cancel)
            .then([&] { return d.isVisible(); },
                  [&d] { d.findChildren<QPushButton *>().last()->click(); })
            .answer("The serial port needs to be restarted", QMessageBox::Ok);
        script.start();
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(d.exec(), 1);
        QVERIFY(script.done());
        QVERIFY(script.boxes().first().endsWith("|Do you want to restart the serial port？"));
        QVERIFY(d.sent());
        QCOMPARE(int(d.mask()), 0x0410);
        QCOMPARE(l.written(9), CommandFrame::setContents(0x0410));
        QVERIFY(l.settings.isAwaitingAnswer(Setting::Contents));
    }

    void dataSettingsWithoutPortSendNothing()
    {
        OpenLink l;
        std::array<bool, ContentBoxes::Count> ticked{};
        QtArvCommandSystem d(&l.settings, "", ticked);
        ModalScript script;
        script
            .onModal<QtArvCommandSystem>([](QtArvCommandSystem *dialog) {
                dialog->findChildren<QPushButton *>().last()->click();
            })
            .answer("数据内容重新设置后需要重启串口", QMessageBox::Ok);
        script.start();
        QCOMPARE(d.exec(), 0);
        QVERIFY(!d.sent());
    }

    void functionSettingsBySuffix_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("modesEnabled"); // AHRS VRU IMU GeneralPos Automotive
        QTest::addColumn<bool>("modeApply");
        QTest::addColumn<bool>("options");
        QTest::addColumn<int>("selected"); // the mode selected at opening
        const auto row = [](const char *suffix, const char *modes, bool apply, bool options,
                            Mode selected) {
            QTest::newRow(suffix) << suffix << modes << apply << options << int(selected);
        };
        for (const char *s : {"U", "UH"})
            row(s, "11111", false, false, Mode::Ahrs);
        for (const char *s : {"V", "VH"})
            row(s, "01100", true, false, Mode::Vru);
        row("A", "11100", true, false, Mode::Ahrs);
        for (const char *s : {"N", "R"})
            row(s, "00011", true, true, Mode::GeneralPos);
        row("X", "11111", true, false, Mode::Ahrs);
    }
    void functionSettingsBySuffix()
    {
        QFETCH(QString, suffix);
        QFETCH(bool, options);
        OpenLink l;
        QVERIFY(l.open());
        QModelSwitchDialog d(&l.settings, suffix);
        QString modes;
        for (int i = 0; i < ProductRules::ModeCount; ++i)
            modes += d.modeButton(Mode(i))->isEnabled() ? '1' : '0';
        QTEST(modes, "modesEnabled");
        QTEST(d.modeApplyButton()->isEnabled(), "modeApply");
        for (QWidget *w : std::initializer_list<QWidget *>{
                 d.userDefinedButton(), d.nmeaButton(), d.highButton(), d.lowButton(),
                 d.protocolApplyButton(), d.rangeApplyButton()})
            QCOMPARE(w->isEnabled(), options);
        QCOMPARE(d.highButton()->isChecked() && d.userDefinedButton()->isChecked(), options);
        QFETCH(int, selected);
        QVERIFY(d.modeButton(Mode(selected))->isChecked());
    }

    void functionSettingsSendTheChoice()
    {
        OpenLink l;
        {
            // Without a port nothing can be set.
            QModelSwitchDialog closed(&l.settings, "N");
            QVERIFY(!closed.modeApplyButton()->isEnabled());
            QVERIFY(!closed.protocolApplyButton()->isEnabled());
        }
        QVERIFY(l.open());
        QModelSwitchDialog n(&l.settings, "N");
        QSignalSpy model(&n, &QModelSwitchDialog::ModelSignal);
        QSignalSpy agreement(&n, &QModelSwitchDialog::AgreementSignal);
        QSignalSpy range(&n, &QModelSwitchDialog::FrequencySignal);
        n.modeButton(Mode::GeneralPos)->setChecked(true);
        n.modeApplyButton()->click();
        QCOMPARE(l.written(9).left(7), QByteArray::fromHex("51564D12000204"));
        QTRY_COMPARE(model.count(), 1);
        QVERIFY(model.first().first().toBool());
        n.modeButton(Mode::Automotive)->setChecked(true);
        QCOMPARE(n.modeValue(), 5);

        n.nmeaButton()->setChecked(true);
        n.protocolApplyButton()->click();
        QCOMPARE(l.written(9), CommandFrame::setOutputProtocol(2));
        n.userDefinedButton()->setChecked(true);
        n.protocolApplyButton()->click();
        QCOMPARE(l.written(9), CommandFrame::setOutputProtocol(1));
        n.rangeApplyButton()->click(); // High Frequency preset
        QCOMPARE(l.written(9), CommandFrame::setRateRange(1));
        n.lowButton()->setChecked(true);
        n.rangeApplyButton()->click();
        QCOMPARE(l.written(9), CommandFrame::setRateRange(2));
        QTRY_COMPARE(agreement.count(), 2);
        QTRY_COMPARE(range.count(), 2);

        QModelSwitchDialog v(&l.settings, "V");
        v.modeButton(Mode::Imu)->setChecked(true);
        v.modeApplyButton()->click();
        QCOMPARE(l.written(9), CommandFrame::setAlgorithmMode(3));
        QVERIFY(!v.modeButton(Mode::Automotive)->isEnabled());
    }

    void commandWriteSendsExactlyWhatWasTyped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("named"); // in the refusal's message box
        QTest::newRow("frame") << "51 56 03 0A 00 08 15 32"
                               << QByteArray::fromHex("5156030A00081532") << "";
        QTest::newRow("zz") << "51 zz" << QByteArray() << "第 2 项不是一到两位的16进制数：“zz”";
        QTest::newRow("line break") << "51\n56" << QByteArray() << "“51\\n56”";
        QTest::newRow("empty") << "" << QByteArray() << "请输入要发送的字节";
    }
    void commandWriteSendsExactlyWhatWasTyped()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, sent);
        QFETCH(QString, named);
        OpenLink l;
        QVERIFY(l.open());
        Serial_Write_Widget w(&l.sender);
        w.show();
        w.input()->setPlainText(text);
        ModalScript script;
        if (!named.isEmpty())
            script.onModal<QMessageBox>(
                [](QMessageBox *box) { box->button(QMessageBox::Ok)->click(); },
                [&named](QMessageBox *box) { return box->informativeText().contains(named); });
        script.start();
        w.sendButton()->click();
        QVERIFY(script.done());
        QCOMPARE(l.written(sent.size()), sent);
        if (sent.isEmpty())
            QVERIFY(w.statusText().startsWith(QStringLiteral("未发送")));
        else
            QTRY_COMPARE(w.statusText(), QStringLiteral("已发送 %1 字节：%2")
                                             .arg(sent.size())
                                             .arg(QString::fromLatin1(sent.toHex(' ').toUpper())));
    }

    void commandWriteSaysWhatWasNotSent()
    {
        OpenLink l;
        Language::setChinese(false);
        Serial_Write_Widget w(&l.sender);
        w.input()->setPlainText("51 56");
        w.sendButton()->click();
        QCOMPARE(w.statusText(), QString("Not sent: the port is not open."));

        QVERIFY(l.open());
        // A send while the previous one still runs is refused, and said.
        w.serial_write_send();
        w.serial_write_send();
        QCOMPARE(w.statusText(), QString("Not sent: the previous command is still being sent; "
                                         "try again in a moment."));
        QTRY_COMPARE(w.statusText(), QString("Sent 2 bytes: 51 56"));
        QCOMPARE(l.written(2), QByteArray::fromHex("5156"));

        QSignalSpy closed(&w, &Serial_Write_Widget::closeWidget);
        w.close();
        QCOMPARE(closed.count(), 1);
        QCOMPARE(closed.first().first().toBool(), false);
        QVERIFY(!w.isOpen());
    }
};

QTEST_MAIN(TestConfigDialogs)
#include "tst_configdialogs.moc"
