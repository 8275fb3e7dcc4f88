#include "app/MainWindowUi.h"

#include "common/Language.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QDockWidget>
#include <QFont>
#include <QGridLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>

namespace {

QIcon icon(const char *name)
{
    return QIcon(QStringLiteral(":/Lumeno/") + QLatin1String(name));
}

QTreeWidget *makeTree(QWidget *parent)
{
    auto *tree = new QTreeWidget(parent);
    tree->setColumnCount(1);
    tree->setHeaderHidden(true);
    return tree;
}

QLabel *valueLabel(QWidget *parent, bool selectable)
{
    auto *label = new QLabel(parent);
    if (selectable)
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

void MainWindowUi::build(QMainWindow *w)
{
    const QIcon windowIcon = icon("mainWindow-icon");

    // Docks, top to bottom in the left area, then the bottom area.
    portsDock = new QDockWidget(w);
    portsDock->setObjectName(QStringLiteral("portsDock"));
    portsDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    portTree = makeTree(portsDock);
    portsDock->setWidget(portTree);
    w->addDockWidget(Qt::LeftDockWidgetArea, portsDock);

    productDock = new QDockWidget(QStringLiteral("产品信息窗口"), w);
    productDock->setObjectName(QStringLiteral("productDock"));
    productDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    productDock->setFeatures(QDockWidget::DockWidgetMovable);
    {
        auto *box = new QWidget(productDock);
        auto *grid = new QGridLayout(box);
        serialNumberCaption = new QLabel(box);
        serialNumberValue = valueLabel(box, true);
        softwareVersionCaption = new QLabel(box);
        softwareVersionValue = valueLabel(box, true);
        grid->addWidget(serialNumberCaption, 0, 0);
        grid->addWidget(serialNumberValue, 0, 1);
        grid->addWidget(softwareVersionCaption, 1, 0);
        grid->addWidget(softwareVersionValue, 1, 1);
        grid->setColumnStretch(1, 1);
        productDock->setWidget(box);
    }
    w->addDockWidget(Qt::LeftDockWidgetArea, productDock);

    stateDock = new QDockWidget(QStringLiteral("当前状态"), w);
    stateDock->setObjectName(QStringLiteral("stateDock"));
    stateDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    stateDock->setFeatures(QDockWidget::DockWidgetMovable);
    {
        auto *box = new QWidget(stateDock);
        auto *grid = new QGridLayout(box);
        frequencyCaption = new QLabel(box);
        frequencyValue = valueLabel(box, false);
        contentsCaption = new QLabel(box);
        contentsValue = valueLabel(box, false);
        QFont font(QStringLiteral("Microsoft YaHei"), 9);
        font.setWeight(60);
        contentsValue->setFont(font);
        contentsValue->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        algorithmCaption = new QLabel(box);
        algorithmValue = valueLabel(box, false);
        grid->addWidget(frequencyCaption, 0, 0);
        grid->addWidget(frequencyValue, 0, 1);
        grid->addWidget(contentsCaption, 1, 0);
        grid->addWidget(contentsValue, 1, 1);
        grid->addWidget(algorithmCaption, 2, 0);
        grid->addWidget(algorithmValue, 2, 1);
        grid->setColumnStretch(1, 1);
        stateDock->setWidget(box);
    }
    w->addDockWidget(Qt::LeftDockWidgetArea, stateDock);

    messageDock = new QDockWidget(w);
    messageDock->setObjectName(QStringLiteral("messageDock"));
    messageDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::BottomDockWidgetArea);
    messageDock->setFixedHeight(100);
    messageTree = makeTree(messageDock);
    messageDock->setWidget(messageTree);
    w->addDockWidget(Qt::BottomDockWidgetArea, messageDock);

    // Menus and actions.
    QMenuBar *bar = w->menuBar();
    fileMenu = bar->addMenu(QString());
    closeAction = fileMenu->addAction(QString());
    exportAction = fileMenu->addAction(icon("file-export"), QString());
    fileMenu->addSeparator();
    quitAction = fileMenu->addAction(icon("file-exit"), QString());

    viewMenu = bar->addMenu(QString());
    display3DAction = viewMenu->addAction(icon("view-display"), QString());
    dataAction = viewMenu->addAction(icon("view-data"), QString());
    imuAction = viewMenu->addAction(icon("view-imu"), QString());
    velocityAction = viewMenu->addAction(icon("Velocity"), QString());
    locationAction = viewMenu->addAction(icon("Location"), QString());
    utcAction = viewMenu->addAction(icon("UTC_new"), QString());
    temperatureAction = viewMenu->addAction(icon("TemperatureIcon"), QString());
    combinedStateAction = viewMenu->addAction(icon("group_state"), QString());
    portsDockAction = portsDock->toggleViewAction();
    messageDockAction = messageDock->toggleViewAction();
    viewMenu->addAction(portsDockAction);
    viewMenu->addAction(messageDockAction);

    toolMenu = bar->addMenu(QString());
    pathSettingAction = toolMenu->addAction(QString());
    commandWriteAction = toolMenu->addAction(QString());
    configMenu = toolMenu->addMenu(QString());
    outputFormatAction = configMenu->addAction(QString());
    dataSettingAction = configMenu->addAction(QString());
    functionSettingAction = configMenu->addAction(QString());
    calibrationMenu = toolMenu->addMenu(icon("configure-calibrate"), QString());
    postureResetAction = calibrationMenu->addAction(QString());
    gyroBiasAction = calibrationMenu->addAction(QString());
    magnetometerMenu = calibrationMenu->addMenu(QString());
    mag3DAction = magnetometerMenu->addAction(QStringLiteral("3D"));
    mag2DAction = magnetometerMenu->addAction(QStringLiteral("2D"));

    languageMenu = bar->addMenu(QString());
    chineseAction = languageMenu->addAction(QString());
    englishAction = languageMenu->addAction(QString());
    auto *languages = new QActionGroup(languageMenu); // exclusive
    for (QAction *a : {chineseAction, englishAction}) {
        a->setCheckable(true);
        languages->addAction(a);
    }

    windowMenu = bar->addMenu(QString());
    tileAction = windowMenu->addAction(QString());
    cascadeAction = windowMenu->addAction(QString());
    windowMenu->addSeparator();
    closeAllAction = windowMenu->addAction(QString());

    helpMenu = bar->addMenu(QString());
    websiteAction = helpMenu->addAction(QString());
    aboutAction = helpMenu->addAction(QString());
    updateAction = helpMenu->addAction(QString());

    recordAction = new QAction(icon("export-record"), QString(), w);
    recordAction->setCheckable(true);
    recordAction->setEnabled(false);
    stopRecordAction = new QAction(icon("stream-close"), QString(), w);
    stopRecordAction->setCheckable(true);
    stopRecordAction->setEnabled(false);
    refreshPortAction = new QAction(icon("refresh"), QString(), w);

    // Tool bars, in order.
    viewToolBar = w->addToolBar(QStringLiteral("&View"));
    viewToolBar->setObjectName(QStringLiteral("viewToolBar"));
    for (QAction *a : {display3DAction, imuAction, dataAction, velocityAction, locationAction,
                       utcAction, temperatureAction, combinedStateAction})
        viewToolBar->addAction(a);

    portToolBar = w->addToolBar(QStringLiteral("&Port"));
    portToolBar->setObjectName(QStringLiteral("portToolBar"));
    portCombo = new QComboBox(portToolBar);
    portCombo->setEditable(true);
    portCombo->setInsertPolicy(QComboBox::NoInsert);
    portCombo->setMinimumContentsLength(12);
    portCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    portToolBar->addWidget(portCombo);
    portToolBar->addAction(refreshPortAction);

    baudToolBar = w->addToolBar(QStringLiteral("Baudrate"));
    baudToolBar->setObjectName(QStringLiteral("baudToolBar"));
    baudLabel = new QLabel(baudToolBar);
    baudCombo = new QComboBox(baudToolBar);
    baudCombo->addItems({QStringLiteral("921600"), QStringLiteral("460800"),
                         QStringLiteral("115200"), QStringLiteral("38400"),
                         QStringLiteral("9600")});
    baudCombo->setCurrentIndex(1);
    portButton = new QPushButton(baudToolBar);
    baudToolBar->addWidget(baudLabel);
    baudToolBar->addWidget(baudCombo);
    baudToolBar->addWidget(portButton);

    importToolBar = w->addToolBar(QStringLiteral("&Import"));
    importToolBar->setObjectName(QStringLiteral("importToolBar"));
    importToolBar->addAction(recordAction);
    importToolBar->addAction(stopRecordAction);

    mdiArea = new QMdiArea(w);
    mdiArea->setWindowIcon(windowIcon);
    // A view larger than the area stays reachable.
    mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    w->setCentralWidget(mdiArea);

    statsLabel = new QLabel(w);
    w->statusBar()->addPermanentWidget(statsLabel);
}

void MainWindowUi::applyTexts(bool portOpen)
{
    auto t = &Language::text;
    portsDock->setWindowTitle(t("当前可用串口", "Currently Available Ports"));
    productDock->setWindowTitle(t("产品信息栏", "Product Information Bar"));
    serialNumberCaption->setText(t("序列号:", "Serial Number:"));
    softwareVersionCaption->setText(t("软件版本号：", "Software Version"));
    stateDock->setWindowTitle(t("当前状态栏", "Current State Bar"));
    frequencyCaption->setText(t("输出频率:", "Output Frequency:"));
    contentsCaption->setText(t("输出内容:", "Output Contents:"));
    algorithmCaption->setText(t("算法模式:", "Algorithm Mode:"));
    messageDock->setWindowTitle(t("消息栏", "Message Bar"));

    fileMenu->setTitle(t("文件", "File"));
    closeAction->setText(t("关闭", "Close"));
    exportAction->setText(t("输出", "Export"));
    quitAction->setText(t("退出", "Quit"));

    viewMenu->setTitle(t("视图", "View"));
    display3DAction->setText(t("三维显示", "3D Displays"));
    dataAction->setText(t("原始数据", "Data Visualization"));
    imuAction->setText(t("姿态数据", "Attitude Visualization"));
    velocityAction->setText(t("速度数据", "Velocity Displays"));
    locationAction->setText(t("位置信息", "Location"));
    utcAction->setText(t("UTC", "UTC"));
    temperatureAction->setText(t("温度", "Temperature"));
    combinedStateAction->setText(t("组合状态", "Combined State"));
    portsDockAction->setText(t("当前可用串口", "Currently Available Ports"));
    messageDockAction->setText(t("消息栏", "Message Bar"));

    toolMenu->setTitle(t("工具", "Tool"));
    pathSettingAction->setText(t("&文件路径设置", "&File Path Setting"));
    commandWriteAction->setText(t("&指令写入", "&Write Command"));
    configMenu->setTitle(t("相关配置", "Related Configuration"));
    outputFormatAction->setText(t("&串口输出格式设置", "&Serial Output Format Setting"));
    dataSettingAction->setText(t("&数据设置", "&Data Setting"));
    functionSettingAction->setText(t("&功能设置", "&Function Setting"));
    calibrationMenu->setTitle(t("重置与校准", "Reset and Calibration"));
    postureResetAction->setText(t("姿态和航向角重置", "Posture Course Reset"));
    gyroBiasAction->setText(t("&陀螺零偏", "&Gyro Bias"));
    magnetometerMenu->setTitle(t("&磁力计", "&Magnetometer"));

    languageMenu->setTitle(t("语言", "Language"));
    chineseAction->setText(t("中文", "Chinese"));
    englishAction->setText(t("英文", "English"));
    chineseAction->setChecked(Language::isChinese());
    englishAction->setChecked(!Language::isChinese());

    windowMenu->setTitle(t("窗口", "Window"));
    tileAction->setText(t("平铺", "Tile"));
    cascadeAction->setText(t("层叠", "Cascade"));
    closeAllAction->setText(t("全部关闭", "Close All"));

    helpMenu->setTitle(t("帮助", "&Help"));
    websiteAction->setText(t("&Quilvar官网", "&Quilvar Website"));
    aboutAction->setText(t("&关于", "&About"));
    updateAction->setText(t("&固件在线升级", "&Firmware Update"));

    recordAction->setText(t("开始采样", "Recording"));
    stopRecordAction->setText(t("结束采样", "Stop Recording"));
    refreshPortAction->setText(t("刷新串口", "Refresh Port"));
    baudLabel->setText(t("波特率：", "Baudrate："));
    portButton->setText(portOpen ? t("关闭串口", "Close Port") : t("打开串口", "Open Port"));
}
