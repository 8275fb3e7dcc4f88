#include "app/MainWindow.h"

#include "app/AboutDialog.h"
#include "app/Language.h"
#include "app/RefreshPacer.h"
#include "app/ViewBindings.h"
#include "serial/ArvSimHost.h"
#include "serial/SerialLink.h"
#include "serial/SimulatedUnitHost.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QTreeWidget>
#include <QUrl>

namespace {

// Per view kind: the open-flag slot its closeWidget(bool) goes to and the signal that
// drives its realtimePaintSlot().
struct ViewWiring
{
    const char *closeSlot;
    const char *paintSignal;
};

ViewWiring wiring(ViewKind kind)
{
    switch (kind) {
    case ViewKind::Display3D:
        return {SLOT(isSenseWidgetOpen(bool)), nullptr};
    case ViewKind::SenseData:
        return {SLOT(isMainWidgetOpen(bool)), SIGNAL(imuASMmessage())};
    case ViewKind::Imu:
        return {SLOT(isImuWidgetOpen(bool)), SIGNAL(imuRPYmessage())};
    case ViewKind::Location:
        return {SLOT(isLocationWidgetOpen(bool)), SIGNAL(imuVelocityMmessage())};
    case ViewKind::RealLocation:
        return {SLOT(isRealLocationWidgetOpen(bool)), SIGNAL(imuLocationMmessage())};
    case ViewKind::Utc:
        return {SLOT(isUTCWidgetOpen(bool)), nullptr};
    case ViewKind::Temperature:
        return {SLOT(isTempWidgetOpen(bool)), nullptr};
    case ViewKind::CombinedState:
        return {SLOT(isCombinedStateWidgetOpen(bool)), nullptr};
    case ViewKind::PostureCourse:
        return {SLOT(isposture_course_open(bool)), nullptr};
    case ViewKind::CommandWrite:
        return {SLOT(iscommandwrite_open(bool)), nullptr};
    case ViewKind::Count:
        break;
    }
    return {nullptr, nullptr};
}

} // namespace

void CalibrationSeries::clear()
{
    for (QVector<double> *v :
         {&tid, &magX, &magY, &magZ, &roll, &pitch, &yaw, &gyroX, &gyroY, &gyroZ})
        v->clear();
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    m_link = new SerialLink(&m_parser.identification(), this);
    m_link->setSimulatedUnitHost(std::make_unique<ArvSimHost>());
    setWindowIcon(QIcon(QStringLiteral(":/Lumeno/mainWindow-icon")));
    setWindowTitle(QStringLiteral("Quilvar ARV Manager"));
    m_ui.build(this);
    m_views = new ViewManager(m_ui.mdiArea, this, this);
    m_refreshPacer = new RefreshPacer(this);
    connect(m_refreshPacer, &RefreshPacer::due, this, &MainWindow::presentViews);

    connect(m_ui.closeAction, &QAction::triggered, this, &MainWindow::closeFile);
    connect(m_ui.quitAction, &QAction::triggered, this, &MainWindow::quitApplication);
    connect(m_ui.display3DAction, &QAction::triggered, this, &MainWindow::showDisplay);
    connect(m_ui.dataAction, &QAction::triggered, this, &MainWindow::dataVisualization);
    connect(m_ui.imuAction, &QAction::triggered, this, &MainWindow::imuVisualization);
    connect(m_ui.velocityAction, &QAction::triggered, this, &MainWindow::showLocation);
    connect(m_ui.locationAction, &QAction::triggered, this, &MainWindow::showRealLocation);
    connect(m_ui.utcAction, &QAction::triggered, this, &MainWindow::showUTC);
    connect(m_ui.temperatureAction, &QAction::triggered, this, &MainWindow::showTemp);
    connect(m_ui.combinedStateAction, &QAction::triggered, this, &MainWindow::showCombinedState);
    connect(m_ui.postureResetAction, &QAction::triggered, this,
            &MainWindow::slot_posture_course_reset);
    connect(m_ui.commandWriteAction, &QAction::triggered, this, &MainWindow::slotCommandWrite);
    connect(m_ui.chineseAction, &QAction::triggered, this, &MainWindow::slot_translate_Chinese);
    connect(m_ui.englishAction, &QAction::triggered, this, &MainWindow::slot_translate_English);
    connect(m_ui.websiteAction, &QAction::triggered, this, &MainWindow::slotYes);
    connect(m_ui.aboutAction, &QAction::triggered, this, &MainWindow::slotAbout);
    connect(m_ui.stopRecordAction, &QAction::triggered, this, &MainWindow::slotExportStop);
    connect(m_ui.refreshPortAction, &QAction::triggered, this, &MainWindow::updateAvailablePorts);
    connect(m_ui.portButton, &QPushButton::clicked, this, &MainWindow::slot_open_uart);

    // The windows of later work stay disabled until they are bound.
    for (QAction *a : {m_ui.exportAction, m_ui.pathSettingAction, m_ui.commandWriteAction,
                       m_ui.outputFormatAction, m_ui.dataSettingAction, m_ui.functionSettingAction,
                       m_ui.postureResetAction, m_ui.gyroBiasAction, m_ui.mag3DAction,
                       m_ui.mag2DAction, m_ui.updateAction})
        a->setEnabled(false);
    bindViewWindows(*this);

    m_lossTimer.setInterval(LossPollMs);
    connect(&m_lossTimer, &QTimer::timeout, this, &MainWindow::captureSerialExceptions);
    m_lossTimer.start();
    m_statsTimer.setInterval(1000);
    connect(&m_statsTimer, &QTimer::timeout, this, &MainWindow::updateLinkStatistics);
    m_statsTimer.start();
    m_statsClock.start();

    fillPortList(SerialLink::systemPortNames());
    connect(m_ui.portCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::selectPort);
    connect(m_ui.portCombo, &QComboBox::editTextChanged, this, &MainWindow::selectPort);
    connect(m_ui.baudCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::selectBaudrate);

    statusBar()->show();
    slot_translate_Chinese();
    updateLinkStatistics();
}

MainWindow::~MainWindow()
{
    // The link stops its query thread and the simulated unit before anything goes.
    m_link->close();
}

// ------------------------------------------------------------------ wiring

void MainWindow::bindView(ViewKind kind, ViewBinding binding)
{
    m_views->bind(kind, std::move(binding));
    QAction *action = nullptr;
    switch (kind) {
    case ViewKind::Display3D:
        action = m_ui.display3DAction;
        break;
    case ViewKind::SenseData:
        action = m_ui.dataAction;
        break;
    case ViewKind::Imu:
        action = m_ui.imuAction;
        break;
    case ViewKind::Location:
        action = m_ui.velocityAction;
        break;
    case ViewKind::RealLocation:
        action = m_ui.locationAction;
        break;
    case ViewKind::Utc:
        action = m_ui.utcAction;
        break;
    case ViewKind::Temperature:
        action = m_ui.temperatureAction;
        break;
    case ViewKind::CombinedState:
        action = m_ui.combinedStateAction;
        break;
    case ViewKind::PostureCourse:
        action = m_ui.postureResetAction;
        break;
    case ViewKind::CommandWrite:
        action = m_ui.commandWriteAction;
        break;
    case ViewKind::Count:
        break;
    }
    if (action)
        action->setEnabled(m_views->isBound(kind));
}

void MainWindow::setRecordBatchWriter(std::function<void(const QVector<double> &, int)> writer)
{
    m_recordWriter = std::move(writer);
}

void MainWindow::setCalibrationStopper(std::function<void()> stopper)
{
    m_calibrationStopper = std::move(stopper);
}

void MainWindow::setSimulatedUnitHost(std::unique_ptr<SimulatedUnitHost> host)
{
    m_link->setSimulatedUnitHost(std::move(host));
}

QSerialPort *MainWindow::serialPort() const
{
    return m_link->port();
}

void MainWindow::addMessage(const QString &text)
{
    auto *item = new QTreeWidgetItem(m_ui.messageTree, QStringList{text});
    item->setToolTip(0, text); // the whole line, where the list is too narrow for it
    m_ui.messageTree->scrollToItem(item);
}

// ------------------------------------------------------------------ texts, About, help

void MainWindow::slot_translate_Chinese()
{
    Language::setChinese(true);
    applyTexts();
}

void MainWindow::slot_translate_English()
{
    Language::setChinese(false);
    applyTexts();
}

void MainWindow::applyTexts()
{
    m_ui.applyTexts(m_portButtonFlag);
    showLinkStatistics();
}

void MainWindow::slotAbout()
{
    AboutDialog about(this);
    about.setWindowTitle(QStringLiteral("Quilvar"));
    about.setWindowIcon(QIcon(QStringLiteral(":/Lumeno/mainWindow-icon")));
    about.exec();
}

void MainWindow::slotYes()
{
    QDesktopServices::openUrl(QUrl(QStringLiteral("https://www.quilvar.com")));
}

// ------------------------------------------------------------------ file menu, closing

void MainWindow::closeFile()
{
    if (QMdiSubWindow *sub = m_ui.mdiArea->activeSubWindow())
        sub->close();
}

void MainWindow::quitApplication()
{
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    QMessageBox box(this);
    box.setWindowIcon(windowIcon());
    box.setWindowTitle(Language::text("提示框", "Information"));
    box.setText(Language::text("ARV Manager 即将关闭", "ARV Manager will be closed"));
    box.setInformativeText(Language::text("是否选择关闭它?", "Do you want to close it?"));
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    if (box.exec() != QMessageBox::Ok) {
        event->ignore();
        return;
    }
    if (m_calibrationStopper)
        m_calibrationStopper();
    if (m_link->port())
        closePort();
    event->accept();
}

// ------------------------------------------------------------------ views

void MainWindow::openView(ViewKind kind)
{
    const ViewWiring w = wiring(kind);
    m_views->open(kind, w.closeSlot, w.paintSignal);
}

void MainWindow::showDisplay()
{
    openView(ViewKind::Display3D);
}
void MainWindow::dataVisualization()
{
    openView(ViewKind::SenseData);
}
void MainWindow::imuVisualization()
{
    openView(ViewKind::Imu);
}
void MainWindow::showLocation()
{
    openView(ViewKind::Location);
}
void MainWindow::showRealLocation()
{
    openView(ViewKind::RealLocation);
}
void MainWindow::showUTC()
{
    openView(ViewKind::Utc);
}
void MainWindow::showTemp()
{
    openView(ViewKind::Temperature);
}
void MainWindow::showCombinedState()
{
    openView(ViewKind::CombinedState);
}
void MainWindow::slot_posture_course_reset()
{
    openView(ViewKind::PostureCourse);
}
void MainWindow::slotCommandWrite()
{
    openView(ViewKind::CommandWrite);
}

void MainWindow::isSenseWidgetOpen(bool open)
{
    m_views->setOpenFlag(ViewKind::Display3D, open);
}
void MainWindow::isMainWidgetOpen(bool open)
{
    m_views->setOpenFlag(ViewKind::SenseData, open);
}
void MainWindow::isImuWidgetOpen(bool open)
{
    m_views->setOpenFlag(ViewKind::Imu, open);
}
void MainWindow::isLocationWidgetOpen(bool open)
{
    m_views->setOpenFlag(ViewKind::Location, open);
}
void MainWindow::isRealLocationWidgetOpen(bool open)
{
    m_views->setOpenFlag(ViewKind::RealLocation, open);
}
void MainWindow::isUTCWidgetOpen(bool open)
{
    m_views->setOpenFlag(ViewKind::Utc, open);
}
void MainWindow::isTempWidgetOpen(bool open)
{
    m_views->setOpenFlag(ViewKind::Temperature, open);
}
void MainWindow::isCombinedStateWidgetOpen(bool open)
{
    m_views->setOpenFlag(ViewKind::CombinedState, open);
}
void MainWindow::isposture_course_open(bool open)
{
    m_views->setOpenFlag(ViewKind::PostureCourse, open);
}
void MainWindow::iscommandwrite_open(bool open)
{
    m_views->setOpenFlag(ViewKind::CommandWrite, open);
}

// ------------------------------------------------------------------ serial link

void MainWindow::fillPortList(const QStringList &systemPorts)
{
    QStringList names = systemPorts;
    names.append(QString::fromLatin1(SerialLink::SimulatedPortName));
    {
        const QSignalBlocker block(m_ui.portCombo);
        m_ui.portCombo->clear();
        m_ui.portCombo->addItems(names);
        m_ui.portCombo->setCurrentIndex(0);
    }
    m_selectedPort = m_ui.portCombo->currentText();
    m_ui.portTree->clear();
    for (const QString &name : names)
        new QTreeWidgetItem(m_ui.portTree, QStringList{name});
}

void MainWindow::selectPort()
{
    m_selectedPort = m_ui.portCombo->currentText().trimmed();
}

void MainWindow::selectBaudrate()
{
    m_selectedBaud = m_ui.baudCombo->currentText().toInt();
}

void MainWindow::updateAvailablePorts()
{
    if (m_portOpen || recordFileBusy)
        return;
    const QStringList names = SerialLink::systemPortNames();
    // No system port: the list stays as it is (it always holds "ARV-SIM").
    if (names.isEmpty() && m_ui.portCombo->count() > 0)
        return;
    fillPortList(names);
}

void MainWindow::openSimulatedUnit()
{
    const int index = m_ui.portCombo->findText(QString::fromLatin1(SerialLink::SimulatedPortName));
    if (index >= 0)
        m_ui.portCombo->setCurrentIndex(index);
    selectPort();
    if (!m_portOpen)
        slot_open_uart();
}

void MainWindow::slot_open_uart()
{
    if (!m_portOpen && !m_portButtonFlag)
        openPort();
    else if (m_link->port() && m_link->isOpen() && m_portOpen)
        closePort();
}

void MainWindow::openPort()
{
    if (recordFileBusy)
        return;
    selectPort();
    m_parser.reset(); // content and identification flags, statistics, model and suffix
    QString failure;
    if (!m_link->open(m_selectedPort, m_selectedBaud, &failure)) {
        addMessage(failure);
        return;
    }
    m_ui.recordAction->setEnabled(bool(m_recordWriter));
    connectSession();
    m_portOpen = true;
    addMessage(Language::isChinese() ? QStringLiteral("设备成功连接到") + m_selectedPort
                                     : QStringLiteral("Connect to ") + m_selectedPort +
                                           QStringLiteral(" successfully."));
    m_ui.portButton->setText(Language::text("关闭串口", "Close Port"));
    m_portButtonFlag = true;
    m_statsFrames = 0;
    m_statsBytes = 0;
    m_statsClock.restart();
    m_lastPortError = QSerialPort::NoError;
    QThread::msleep(10);
    m_link->startQueries();
    qDebug() << "开始解析";
}

void MainWindow::connectSession()
{
    connect(m_link, &SerialLink::readyRead, this, &MainWindow::newMessageFromSerialPortReady,
            Qt::QueuedConnection);
    connect(m_link, &SerialLink::portError, this, &MainWindow::getErrorFromSerial);
    connect(this, &MainWindow::messageReady, this, &MainWindow::updateOpenGLwidget);
    connect(this, &MainWindow::messageReady, this, &MainWindow::getSenseData);
    connect(this, &MainWindow::messageReady, this, &MainWindow::getImuData);
    connect(this, &MainWindow::product_forbidden_message, this,
            &MainWindow::product_forbidden_function);
}

void MainWindow::disconnectSession()
{
    disconnect(m_link, &SerialLink::readyRead, this, &MainWindow::newMessageFromSerialPortReady);
    disconnect(m_link, &SerialLink::portError, this, &MainWindow::getErrorFromSerial);
    disconnect(this, &MainWindow::messageReady, this, &MainWindow::updateOpenGLwidget);
    disconnect(this, &MainWindow::messageReady, this, &MainWindow::getSenseData);
    disconnect(this, &MainWindow::messageReady, this, &MainWindow::getImuData);
    disconnect(this, &MainWindow::product_forbidden_message, this,
               &MainWindow::product_forbidden_function);
}

void MainWindow::clearStateLabels()
{
    for (QLabel *l : {m_ui.contentsValue, m_ui.frequencyValue, m_ui.algorithmValue,
                      m_ui.serialNumberValue, m_ui.softwareVersionValue})
        l->clear();
}

void MainWindow::closePort()
{
    addMessage(Language::text("设备断开连接!", "Device disconnected! "));
    stopRecording();
    m_ui.recordAction->setEnabled(false);
    disconnectSession();
    m_link->close(); // stops the query thread first
    m_sampleVector.clear();
    m_ui.mdiArea->closeAllSubWindows();
    m_parser.reset();
    m_portOpen = false;
    m_ui.portButton->setText(Language::text("打开串口", "Open Port"));
    clearStateLabels();
    m_portButtonFlag = false;
    updateLinkStatistics();
}

void MainWindow::loseDevice()
{
    qDebug() << "传输中断";
    addMessage(QStringLiteral("设备未连接"));
    stopRecording();
    m_ui.mdiArea->closeAllSubWindows();
    disconnectSession();
    m_ui.recordAction->setEnabled(false);
    if (m_link->port()) {
        m_link->close();
        clearStateLabels();
        m_portButtonFlag = false;
        m_ui.portButton->setText(QStringLiteral("打开串口"));
        m_portOpen = false;
    }
    if (m_calibrationStopper)
        m_calibrationStopper();
    m_sampleVector.clear();
    m_parser.reset();
    updateLinkStatistics();
}

void MainWindow::getErrorFromSerial(QSerialPort::SerialPortError error)
{
    // A vanished device makes the port report a read error on every turn of the event
    // loop; it is written once, and acted on at once instead of after the next poll.
    if (error == QSerialPort::NoError || error == m_lastPortError)
        return;
    m_lastPortError = error;
    qDebug() << "出现错误";
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
        QTimer::singleShot(0, this, &MainWindow::captureSerialExceptions);
}

void MainWindow::captureSerialExceptions()
{
    if (m_link->port() && m_portOpen && m_link->error() != QSerialPort::NoError)
        loseDevice();
}

void MainWindow::newMessageFromSerialPortReady()
{
    if (!m_portOpen)
        return;
    const QByteArray chunk = m_link->readAll();
    if (!chunk.isEmpty())
        parsePass(chunk);
}

// ------------------------------------------------------------------ parse pass

void MainWindow::parsePass(const QByteArray &chunk)
{
    m_parser.setRecording(recordingActive);
    m_parser.feed(chunk);
    if (!m_parser.passHadData())
        return;

    if (m_parser.namesChanged())
        m_ui.contentsValue->setText(m_parser.contentsText());
    if (m_parser.passHasTemperature())
        noteViewData(ViewKind::Temperature);
    if (m_parser.passHasUtc())
        noteViewData(ViewKind::Utc);
    if (m_parser.passHasFusion())
        noteViewData(ViewKind::CombinedState);

    applyAnswers();

    if (recordingActive && m_parser.valueCount() > 0 && m_recordWriter)
        m_recordWriter(m_parser.frameValues(), m_parser.valueCount());

    // Calibration collector: one entry per magnetic-strength item of the pass.
    const PassSeries &ps = m_parser.passSeries();
    if (calibrationCollecting && !ps.magStrengthX.isEmpty()) {
        CalibrationSeries &c = calibrationSeries;
        for (int i = 0; i < ps.magStrengthX.size(); ++i) {
            if (i < ps.tids.size())
                c.tid.append(ps.tids[i]);
            c.magX.append(ps.magStrengthX[i]);
            c.magY.append(ps.magStrengthY[i]);
            c.magZ.append(ps.magStrengthZ[i]);
            if (i < ps.roll.size()) {
                c.roll.append(ps.roll[i]);
                c.pitch.append(ps.pitch[i]);
                c.yaw.append(ps.yaw[i]);
            }
            if (i < ps.gyroX.size()) {
                c.gyroX.append(ps.gyroX[i]);
                c.gyroY.append(ps.gyroY[i]);
                c.gyroZ.append(ps.gyroZ[i]);
            }
        }
    }

    m_sampleVector = m_parser.sampleVector();
    emit messageReady(m_sampleVector);

    if (gyroBiasCollecting && gyroBiasSamples.size() <= gyroBiasSeconds * 300) {
        for (int i = 0; i < ps.gyroX.size(); ++i) {
            gyroBiasSamples.append(ps.gyroX[i]);
            gyroBiasSamples.append(ps.gyroY[i]);
            gyroBiasSamples.append(ps.gyroZ[i]);
        }
        qDebug() << gyroBiasSamples.size();
    }
}

void MainWindow::applyAnswers()
{
    bool restartQueries = false;
    for (const AnswerEvent &e : m_parser.answers()) {
        switch (e.type) {
        case AnswerEvent::Type::ProductId:
            m_ui.serialNumberValue->setText(e.text);
            break;
        case AnswerEvent::Type::Version:
            m_ui.softwareVersionValue->setText(e.text);
            if (e.forbidden)
                emit product_forbidden_message();
            break;
        case AnswerEvent::Type::Frequency:
            m_ui.frequencyValue->setText(e.text);
            break;
        case AnswerEvent::Type::FrequencySet:
            emit freqSignal(e.success);
            restartQueries = restartQueries || e.success;
            break;
        case AnswerEvent::Type::Contents:
            emit contents_Signal(e.success);
            break;
        case AnswerEvent::Type::Algorithm:
            m_ui.algorithmValue->setText(e.text);
            break;
        case AnswerEvent::Type::AlgorithmSet:
            emit algorithm_Signal(e.success);
            restartQueries = restartQueries || e.success;
            break;
        case AnswerEvent::Type::Update:
            emit updateAnswer(e.op, e.status);
            break;
        }
    }
    if (restartQueries)
        m_link->startQueries();
}

// The three slots on messageReady note which open windows the pass brought data for; the
// windows are handed the newest data together, at most once per screen refresh
// (presentViews), however many passes arrive in between.
void MainWindow::updateOpenGLwidget(QVector<double>)
{
    noteViewData(ViewKind::Display3D);
}

void MainWindow::getSenseData(QVector<double>)
{
    m_parser.trimHistory(m_historyLimit);
    noteViewData(ViewKind::Location);
    noteViewData(ViewKind::RealLocation);
    noteViewData(ViewKind::SenseData);
}

void MainWindow::getImuData(QVector<double> samples)
{
    if (!samples.isEmpty())
        noteViewData(ViewKind::Imu);
}

void MainWindow::noteViewData(ViewKind kind)
{
    if (m_views->notePass(kind))
        m_refreshPacer->request();
}

void MainWindow::presentViews()
{
    QElapsedTimer clock;
    clock.start();
    if (m_views->takePending(ViewKind::Display3D))
        m_views->feed(ViewKind::Display3D);
    if (m_views->takePending(ViewKind::Location)) {
        m_views->feed(ViewKind::Location);
        emit imuVelocityMmessage();
    }
    if (m_views->takePending(ViewKind::RealLocation)) {
        m_views->feed(ViewKind::RealLocation);
        emit imuLocationMmessage();
    }
    if (m_views->takePending(ViewKind::SenseData)) {
        m_views->feed(ViewKind::SenseData);
        emit imuASMmessage();
    }
    if (m_views->takePending(ViewKind::Imu)) {
        m_views->feed(ViewKind::Imu);
        emit imuRPYmessage();
    }
    for (ViewKind kind : {ViewKind::Temperature, ViewKind::Utc, ViewKind::CombinedState})
        if (m_views->takePending(kind))
            m_views->feed(kind);
    // The plots replot now rather than from their own timers, so that everything the views
    // changed reaches the screen in one refresh of the window.
    m_views->flushRedraws();
    // New label texts may change sizes: settle the layouts now, not after the refresh,
    // which would then need a second one.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    // Replotting is part of what a refresh costs: the pacer weighs it with the painting.
    m_handOverMs = double(clock.nsecsElapsed()) / 1e6;
}

bool MainWindow::event(QEvent *event)
{
    if (event->type() != QEvent::UpdateRequest)
        return QMainWindow::event(event);
    // A screen refresh: every dirty widget of the window is painted and the window composed.
    QElapsedTimer clock;
    clock.start();
    const bool handled = QMainWindow::event(event);
    // Only refreshes that show handed-over data count: the odd small repaint in between
    // (a status label, a tool tip) would make drawing look cheaper than it is.
    if (m_handOverMs > 0.0)
        m_refreshPacer->noteRefreshCost(double(clock.nsecsElapsed()) / 1e6 + m_handOverMs);
    m_handOverMs = 0.0;
    return handled;
}

void MainWindow::product_forbidden_function()
{
    // The model check of the configuration dialogs hooks in here.
}

// ------------------------------------------------------------------ recording hook

void MainWindow::stopRecording()
{
    if (!recordingStarted)
        return;
    m_ui.stopRecordAction->setChecked(true);
    slotExportStop();
}

void MainWindow::slotExportStop()
{
    if (!recordingStarted || !m_ui.stopRecordAction->isChecked())
        return;
    recordingStarted = false;
    m_ui.recordAction->setEnabled(m_portOpen && bool(m_recordWriter));
    m_ui.stopRecordAction->setEnabled(false);
    m_ui.recordAction->setChecked(false);
    m_ui.stopRecordAction->setChecked(false);
    recordFileBusy = false;
    recordingActive = false;
}

// ------------------------------------------------------------------ statistics

void MainWindow::updateLinkStatistics()
{
    const LinkStatistics &s = m_parser.statistics();
    const qint64 ms = m_statsClock.restart();
    if (ms > 0 && s.frames >= m_statsFrames && s.bytes >= m_statsBytes) {
        m_framesPerSecond = double(s.frames - m_statsFrames) * 1000.0 / double(ms);
        m_bytesPerSecond = double(s.bytes - m_statsBytes) * 1000.0 / double(ms);
    } else {
        m_framesPerSecond = 0;
        m_bytesPerSecond = 0;
    }
    m_statsFrames = s.frames;
    m_statsBytes = s.bytes;
    showLinkStatistics();
}

void MainWindow::showLinkStatistics()
{
    const LinkStatistics &s = m_parser.statistics();
    if (!m_portOpen) {
        m_ui.statsLabel->clear();
        return;
    }
    m_ui.statsLabel->setText(
        Language::text("帧/秒 %1   字节/秒 %2   校验失败 %3   丢弃字节 %4   TID 间断 %5",
                       "Frames/s %1   Bytes/s %2   Checksum failures %3   Bytes discarded %4   "
                       "TID gaps %5")
            .arg(qRound(m_framesPerSecond))
            .arg(qRound64(m_bytesPerSecond))
            .arg(s.checksumFailures)
            .arg(s.bytesDiscarded)
            .arg(s.tidGaps));
}
