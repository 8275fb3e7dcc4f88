#include "app/MainWindow.h"

#include "app/AboutDialog.h"
#include "app/AppLog.h"
#include "app/AppSettings.h"
#include "app/RefreshPacer.h"
#include "app/ViewKinds.h"
#include "app/WindowMenu.h"
#include "common/Language.h"
#include "config/ConfigLog.h"
#include "config/ConfigTexts.h"
#include "config/ContentBoxes.h"
#include "config/PortRestart.h"
#include "config/ProductRules.h"
#include "config/QModelDialog.h"
#include "config/QModelSwitchDialog.h"
#include "config/QtArvCommandSystem.h"
#include "config/Serial_Write_Widget.h"
#include "config/SettingSender.h"
#include "record/DlgPreSettings.h"
#include "record/RecordFolderSetting.h"
#include "serial/ArvSimHost.h"
#include "serial/CommandSender.h"
#include "serial/SerialLink.h"
#include "serial/SerialLog.h"
#include "serial/SerialWriteResult.h"
#include "serial/SimulatedUnitHost.h"
#include "views/ReadoutTexts.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QTreeWidget>
#include <QUrl>

#include <algorithm>
#include <utility>

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    m_link = new SerialLink(&m_parser.identification(), this);
    m_link->setSimulatedUnitHost(std::make_unique<ArvSimHost>());
    m_sender = new CommandSender(m_link, this);
    setWindowIcon(QIcon(QStringLiteral(":/Lumeno/mainWindow-icon")));
    setWindowTitle(QStringLiteral("Quilvar ARV Manager"));
    m_ui.build(this);
    m_views = new ViewManager(m_ui.mdiArea, this);
    m_refreshPacer = new RefreshPacer(this);
    connect(m_refreshPacer, &RefreshPacer::due, this, &MainWindow::presentViews);

    connect(m_ui.closeAction, &QAction::triggered, this, &MainWindow::closeFile);
    connect(m_ui.quitAction, &QAction::triggered, this, &MainWindow::quitApplication);
    // Every view kind's entry opens its window; a kind stays disabled until it is bound.
    for (const ViewKindInfo &info : viewKinds()) {
        QAction *action = m_ui.*info.action;
        if (info.open)
            connect(action, &QAction::triggered, this, info.open);
        else
            connect(action, &QAction::triggered, this,
                    [this, kind = info.kind] { openView(kind); });
        action->setEnabled(false);
    }
    new WindowMenu(m_ui.windowMenu, m_ui.tileAction, m_ui.cascadeAction, m_ui.closeAllAction,
                   m_ui.mdiArea, this);
    connect(m_ui.chineseAction, &QAction::triggered, this, &MainWindow::slot_translate_Chinese);
    connect(m_ui.englishAction, &QAction::triggered, this, &MainWindow::slot_translate_English);
    connect(m_ui.websiteAction, &QAction::triggered, this, &MainWindow::slotYes);
    connect(m_ui.aboutAction, &QAction::triggered, this, &MainWindow::slotAbout);
    connect(m_ui.recordAction, &QAction::triggered, this, &MainWindow::slotExportStart);
    connect(m_ui.stopRecordAction, &QAction::triggered, this, &MainWindow::slotExportStop);
    connect(m_ui.pathSettingAction, &QAction::triggered, this, &MainWindow::slotSettings);
    connect(m_ui.exportAction, &QAction::triggered, this, &MainWindow::exportFile);
    connect(m_ui.refreshPortAction, &QAction::triggered, this, &MainWindow::updateAvailablePorts);
    connect(m_ui.portButton, &QPushButton::clicked, this, &MainWindow::slot_open_uart);

    // The windows of later work stay disabled until they are built.
    for (QAction *a : {m_ui.gyroBiasAction, m_ui.mag3DAction, m_ui.mag2DAction, m_ui.updateAction})
        a->setEnabled(false);
    bindViewWindows(*this);
    setUpConfiguration();

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
    connect(m_ui.portTree, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *item) { choosePort(item->text(0)); });

    // The recorder starts in the documents folder (useSettings() brings an earlier run's).
    m_recording = new RecordingController(this);
    connect(m_recording, &RecordingController::message, this, &MainWindow::addMessage);
    connect(m_recording, &RecordingController::writingChanged, this,
            &MainWindow::showRecordingState);
    m_recordTimer.setInterval(100);
    connect(&m_recordTimer, &QTimer::timeout, this, &MainWindow::slotRecordUpdate);

    statusBar()->show();
    slot_translate_Chinese();
    updateLinkStatistics();
}

MainWindow::~MainWindow()
{
    // A window that goes without a close event still completes and closes its record file.
    stopRecording(RecordingController::StopCause::WindowClosed);
    // The link stops its query thread and the simulated unit before anything goes.
    m_link->close();
}

// ------------------------------------------------------------------ wiring

void MainWindow::bindView(ViewKind kind, ViewBinding binding)
{
    const ViewKindInfo &info = viewKindInfo(kind);
    // A window the main window could not connect would never report its closing or be
    // repainted: such a binding is refused, loudly.
    if (binding.create && (!binding.connectClose || (info.paint && !binding.repaint))) {
        qCWarning(lcApp) << "view" << info.name
                         << "not bound: its window lacks closeWidget(bool) or realtimePaintSlot()";
        return;
    }
    m_views->bind(kind, std::move(binding));
    (m_ui.*info.action)->setEnabled(m_views->isBound(kind));
}

void MainWindow::setCalibrationStopper(std::function<void()> stopper)
{
    m_calibrationStopper = std::move(stopper);
}

void MainWindow::setSimulatedUnitHost(std::unique_ptr<SimulatedUnitHost> host)
{
    m_link->setSimulatedUnitHost(std::move(host));
}

namespace {
constexpr int LayoutVersion = 1; // of the saved dock and tool bar layout
}

void MainWindow::useSettings(AppSettings *settings)
{
    m_settings = settings;
    if (!settings)
        return;
    if (settings->isChinese())
        slot_translate_Chinese();
    else
        slot_translate_English();
    fillPortList(m_systemPorts); // with the typed paths
    if (!settings->lastPort().isEmpty())
        choosePort(settings->lastPort());
    const int baud = m_ui.baudCombo->findText(QString::number(settings->lastBaudRate()));
    if (baud >= 0)
        m_ui.baudCombo->setCurrentIndex(baud);
    const QByteArray geometry = settings->windowGeometry();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    const QByteArray state = settings->windowState();
    if (!state.isEmpty())
        restoreState(state, LayoutVersion);
    m_recording->setRecordDir(
        RecordFolderSetting::load(settings->store(), m_recording->recordDir()));
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
    if (m_settings)
        m_settings->setChinese(true);
    applyTexts();
}

void MainWindow::slot_translate_English()
{
    Language::setChinese(false);
    if (m_settings)
        m_settings->setChinese(false);
    applyTexts();
}

void MainWindow::applyTexts()
{
    m_ui.applyTexts(m_portButtonFlag);
    showLinkStatistics();
    showRecordingState();
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
    if (m_settings)
        m_settings->setWindowLayout(saveGeometry(), saveState(LayoutVersion));
    if (m_calibrationStopper)
        m_calibrationStopper();
    stopRecording(RecordingController::StopCause::WindowClosed);
    if (m_link->isOpen())
        closePort();
    event->accept();
}

// ------------------------------------------------------------------ views

void MainWindow::openView(ViewKind kind)
{
    const ViewKindInfo &info = viewKindInfo(kind);
    m_views->open(kind, [this, &info](QWidget *window, const ViewBinding &binding) {
        if (info.openFlag)
            binding.connectClose(window, this,
                                 [this, slot = info.openFlag](bool open) { (this->*slot)(open); });
        else
            binding.connectClose(window, this, [this, kind = info.kind](bool open) {
                m_views->setOpenFlag(kind, open);
            });
        if (info.paint && binding.repaint)
            connect(this, info.paint, window,
                    [window, repaint = binding.repaint] { repaint(window); });
    });
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
    m_commandWriteOpen = open;
}

// ------------------------------------------------------------------ serial link

void MainWindow::fillPortList(const QStringList &systemPorts)
{
    m_systemPorts = systemPorts;
    const QString simulated = QString::fromLatin1(SerialLink::SimulatedPortName);
    QStringList available = systemPorts;
    available.append(simulated);
    // The box also offers the device paths typed before, ahead of the simulated unit.
    QStringList offered = systemPorts;
    if (m_settings)
        for (const QString &path : m_settings->recentPaths())
            if (!offered.contains(path) && path != simulated)
                offered.append(path);
    offered.append(simulated);
    {
        const QSignalBlocker block(m_ui.portCombo);
        // A refresh keeps the chosen port while it is still offered.
        const int kept = offered.indexOf(m_ui.portCombo->currentText());
        m_ui.portCombo->clear();
        m_ui.portCombo->addItems(offered);
        m_ui.portCombo->setCurrentIndex(std::max(kept, 0));
    }
    m_selectedPort = m_ui.portCombo->currentText();
    m_ui.portTree->clear();
    for (const QString &name : available)
        new QTreeWidgetItem(m_ui.portTree, QStringList{name});
}

void MainWindow::selectPort()
{
    m_selectedPort = m_ui.portCombo->currentText().trimmed();
}

void MainWindow::choosePort(const QString &name)
{
    const int index = m_ui.portCombo->findText(name);
    if (index >= 0)
        m_ui.portCombo->setCurrentIndex(index);
    // The index may have been the current one already, under a typed text.
    if (m_ui.portCombo->currentText() != name)
        m_ui.portCombo->setEditText(name);
    selectPort();
}

void MainWindow::rememberConnection()
{
    if (!m_settings)
        return;
    m_settings->setLastConnection(m_selectedPort, m_selectedBaud);
    // A path typed into the box (not a listed system port, not the simulated unit) is
    // offered from now on.
    if (m_systemPorts.contains(m_selectedPort) ||
        m_selectedPort == QLatin1String(SerialLink::SimulatedPortName))
        return;
    m_settings->addRecentPath(m_selectedPort);
    if (m_ui.portCombo->findText(m_selectedPort) < 0) {
        const QSignalBlocker block(m_ui.portCombo);
        const QString text = m_ui.portCombo->currentText();
        m_ui.portCombo->insertItem(m_ui.portCombo->count() - 1, m_selectedPort);
        m_ui.portCombo->setEditText(text);
    }
}

void MainWindow::selectBaudrate()
{
    m_selectedBaud = m_ui.baudCombo->currentText().toInt();
}

void MainWindow::updateAvailablePorts()
{
    if (m_portOpen || recordFileBusy())
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
    else if (m_link->isOpen() && m_portOpen)
        closePort();
}

void MainWindow::openPort()
{
    if (recordFileBusy())
        return;
    selectPort();
    m_parser.reset(); // content and identification flags, statistics, model and suffix
    m_parser.setLineBaudRate(m_selectedBaud);
    QString failure;
    if (!m_link->open(m_selectedPort, m_selectedBaud, &failure)) {
        addMessage(failure);
        return;
    }
    m_ui.recordAction->setEnabled(true);
    connectSession();
    m_portOpen = true;
    rememberConnection();
    addMessage(Language::isChinese() ? QStringLiteral("设备成功连接到") + m_selectedPort
                                     : QStringLiteral("Connect to ") + m_selectedPort +
                                           QStringLiteral(" successfully."));
    m_ui.portButton->setText(Language::text("关闭串口", "Close Port"));
    m_portButtonFlag = true;
    m_rates.restart();
    m_statsClock.restart();
    m_overflowReported = 0;
    m_lastPortError = QSerialPort::NoError;
    QThread::msleep(10); // intended: the port settles for 10 ms before the first query
    m_link->startQueries();
    qCDebug(lcSerial) << "开始解析";
}

void MainWindow::connectSession()
{
    connect(m_link, &SerialLink::readyRead, this, &MainWindow::newMessageFromSerialPortReady,
            Qt::QueuedConnection);
    connect(m_link, &SerialLink::portError, this, &MainWindow::getErrorFromSerial);
    connect(m_link, &SerialLink::queryWriteFailed, this, &MainWindow::queryNotWritten);
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
    disconnect(m_link, &SerialLink::queryWriteFailed, this, &MainWindow::queryNotWritten);
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
    stopRecording(RecordingController::StopCause::PortClosed);
    m_ui.recordAction->setEnabled(false);
    disconnectSession();
    m_link->close(); // stops the query thread first
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
    qCDebug(lcSerial) << "传输中断";
    // Intended: the loss is reported in Chinese, and the button reads "打开串口", whatever the
    // interface language.
    addMessage(QStringLiteral("设备未连接"));
    stopRecording(RecordingController::StopCause::DeviceLost);
    m_ui.mdiArea->closeAllSubWindows();
    disconnectSession();
    m_ui.recordAction->setEnabled(false);
    if (m_link->isOpen()) {
        m_link->close();
        clearStateLabels();
        m_portButtonFlag = false;
        m_ui.portButton->setText(QStringLiteral("打开串口"));
        m_portOpen = false;
    }
    if (m_calibrationStopper)
        m_calibrationStopper();
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
    qCDebug(lcSerial) << "出现错误";
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
        QTimer::singleShot(0, this, &MainWindow::captureSerialExceptions);
}

void MainWindow::queryNotWritten(const SerialWriteResult &result)
{
    addMessage(Language::text("设备识别查询未能发出：%1", "Identification query not sent: %1")
                   .arg(result.text()));
}

void MainWindow::captureSerialExceptions()
{
    if (m_link->isOpen() && m_portOpen && m_link->error() != QSerialPort::NoError)
        loseDevice();
}

void MainWindow::newMessageFromSerialPortReady()
{
    if (!m_portOpen)
        return;
    if (m_stallNextPassMs > 0)
        QThread::msleep(unsigned(std::exchange(m_stallNextPassMs, 0)));
    // Everything the I/O thread has handed over since the last pass.
    m_link->takeReceived(m_chunk);
    if (!m_chunk.isEmpty())
        parsePass(m_chunk);
}

// ------------------------------------------------------------------ parse pass

void MainWindow::parsePass(const QByteArray &chunk)
{
    m_parser.setRecording(recordingActive());
    m_parser.feed(chunk);
    if (!m_parser.passHadData())
        return;

    if (m_parser.namesChanged() && m_parser.lastLayout()) {
        const bool chinese = Language::isChinese();
        m_ui.contentsValue->setText(
            ReadoutTexts::contents(m_parser.lastLayout()->groupNames(chinese), chinese));
    }
    if (m_parser.passHasTemperature())
        noteViews(ViewFeed::Temperature);
    if (m_parser.passHasUtc())
        noteViews(ViewFeed::Utc);
    if (m_parser.passHasFusion())
        noteViews(ViewFeed::FusionState);

    applyAnswers();

    if (recordingActive() && m_parser.framesInPass() > 0)
        writeRecordBatch();

    m_calibration.collect(m_parser.passSeries());

    // The parser's own vector, shared with the slots for the time of the signal: it is not
    // kept beyond, so that the next pass refills it in place instead of allocating.
    emit messageReady(m_parser.sampleVector());

    m_gyroBias.collect(m_parser.passSeries());
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
            else
                applyProductRules(); // a unit without suffix: nothing is restricted
            break;
        case AnswerEvent::Type::Frequency:
            m_ui.frequencyValue->setText(e.text);
            m_outputDialog->setUnitFrequency(e.rate);
            break;
        case AnswerEvent::Type::FrequencySet:
            emit m_outputDialog->freqSignal(e.success);
            break;
        case AnswerEvent::Type::Contents:
            emit m_outputDialog->contents_Signal(e.success);
            break;
        case AnswerEvent::Type::Algorithm:
            m_ui.algorithmValue->setText(e.text);
            break;
        case AnswerEvent::Type::AlgorithmSet:
            emit m_outputDialog->algorithm_Signal(e.success);
            break;
        case AnswerEvent::Type::Update:
            emit updateAnswer(e.op, e.status);
            break;
        }
        restartQueries = restartQueries || e.restartsQueries();
    }
    if (restartQueries)
        m_link->startQueries();
}

// The three slots on messageReady note which open windows the pass brought data for; the
// windows are handed the newest data together, at most once per screen refresh
// (presentViews), however many passes arrive in between.
void MainWindow::updateOpenGLwidget(QVector<double>)
{
    noteViews(ViewFeed::EveryPass);
}

void MainWindow::getSenseData(QVector<double>)
{
    m_parser.trimHistory(m_historyLimit);
    noteViews(ViewFeed::History);
}

void MainWindow::getImuData(QVector<double> samples)
{
    if (!samples.isEmpty())
        noteViews(ViewFeed::PassWithValues);
}

void MainWindow::noteViews(ViewFeed feed)
{
    for (const ViewKindInfo &info : viewKinds())
        if (info.feed == feed && m_views->notePass(info.kind))
            m_refreshPacer->request();
}

void MainWindow::presentViews()
{
    QElapsedTimer clock;
    clock.start();
    for (const ViewKindInfo &info : viewKinds()) {
        if (!m_views->takePending(info.kind))
            continue;
        m_views->feed(info.kind);
        if (info.paint)
            (this->*info.paint)(); // the kind's repaint signal
    }
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

// ------------------------------------------------------------------ configuration

void MainWindow::setUpConfiguration()
{
    m_settingSender = new SettingSender(m_sender, this);
    connect(m_settingSender, &SettingSender::noAnswer, this, &MainWindow::noAnswer);
    m_restart = new PortRestart({[this] { return m_portOpen; },
                                 [this] {
                                     if (m_portOpen)
                                         slot_open_uart(); // the port button: closes
                                 },
                                 [this] {
                                     if (!m_portOpen)
                                         slot_open_uart(); // and opens again
                                 }},
                                this);
    // The frequency the unit was given is in effect once the port was restarted.
    connect(m_restart, &PortRestart::finished, this,
            [this] { m_outputDialog->clearFrequencySent(); });

    m_outputDialog = new QModelDialog(m_settingSender, this);
    connect(m_outputDialog, &QModelDialog::freqSignal, this, &MainWindow::slotApplyFrequency);
    connect(m_outputDialog, &QModelDialog::algorithm_Signal, this, &MainWindow::slotApplyAlgorithm);
    connect(m_outputDialog, &QModelDialog::contents_Signal, this, &MainWindow::slotApplyContents);
    connect(m_outputDialog, &QModelDialog::baudSignal, this, &MainWindow::slotApplyBaudrate);
    // An answer, success or failure, ends the watch for it.
    connect(m_outputDialog, &QModelDialog::freqSignal, m_settingSender,
            [this] { m_settingSender->answered(Setting::Frequency); });
    connect(m_outputDialog, &QModelDialog::contents_Signal, m_settingSender,
            [this] { m_settingSender->answered(Setting::Contents); });
    connect(m_outputDialog, &QModelDialog::algorithm_Signal, m_settingSender,
            [this] { m_settingSender->answered(Setting::AlgorithmMode); });

    connect(m_ui.outputFormatAction, &QAction::triggered, this, &MainWindow::slotOutputConfig);
    connect(m_ui.dataSettingAction, &QAction::triggered, this, &MainWindow::slotCommandUI);
    connect(m_ui.functionSettingAction, &QAction::triggered, this, &MainWindow::slotModelConfig);
    connect(m_ui.commandWriteAction, &QAction::triggered, this, &MainWindow::slotCommandWrite);
}

void MainWindow::slotOutputConfig()
{
    m_outputDialog->setProduct(productModel(), versionSuffix());
    m_outputDialog->applyTexts();
    m_outputDialog->setWindowIcon(QIcon(QStringLiteral(":/Lumeno/mainWindow-icon")));
    m_outputDialog->exec();
    if (!m_outputDialog->frequencySent() || m_restart->isRunning())
        return;
    QMessageBox box(QMessageBox::Information, Language::text("提示框", "Information"),
                    ConfigTexts::restartSoon(), QMessageBox::Yes, this);
    box.exec();
    // Close, wait and open on timers: the event loop goes on meanwhile.
    m_restart->start();
}

void MainWindow::slotCommandUI()
{
    if (!m_link->isOpen()) {
        addMessage(ConfigTexts::notConnected());
        return;
    }
    QPointer<QtArvCommandSystem> dialog = new QtArvCommandSystem(
        m_settingSender, versionSuffix(),
        ContentBoxes::tickedAtOpening([this](ContentFlag c) { return content(c); }), this);
    dialog->setWindowIcon(QIcon(QStringLiteral(":/Lumeno/mainWindow-icon")));
    const int result = dialog->exec();
    if (!dialog)
        return;
    const bool sent = dialog->sent();
    const bool writeFailed = dialog->writeFailed();
    delete dialog;
    if (result == QDialog::Accepted) {
        addMessage(ConfigTexts::dataSettingsDone());
        // The record columns change with the contents: the file is completed and closed, and
        // the port can be opened again.
        stopRecordingForDataSettings();
    } else if (writeFailed) {
        slotApplyContents(false);
    }
    if (sent)
        m_restart->start();
    m_parser.clearContent();
}

void MainWindow::slotModelConfig()
{
    QPointer<QModelSwitchDialog> dialog =
        new QModelSwitchDialog(m_settingSender, versionSuffix(), this);
    connect(dialog, &QModelSwitchDialog::ModelSignal, this, &MainWindow::slotModelSwitch);
    connect(dialog, &QModelSwitchDialog::AgreementSignal, this, &MainWindow::slotAgreement);
    connect(dialog, &QModelSwitchDialog::FrequencySignal, this, &MainWindow::slotHighLow);
    dialog->setWindowIcon(QIcon(QStringLiteral(":/Lumeno/mainWindow-icon")));
    dialog->exec();
    delete dialog;
}

Serial_Write_Widget *MainWindow::commandWriteWindow() const
{
    return m_commandWrite;
}

void MainWindow::slotCommandWrite()
{
    if (m_commandWrite) {
        m_commandWrite->show();
        m_commandWrite->raise();
        m_commandWrite->activateWindow();
        return;
    }
    if (!m_portOpen) {
        // Intended: in Chinese only.
        QMessageBox box(QMessageBox::Information, QStringLiteral("提示框"),
                        QStringLiteral("请先打开串口"), QMessageBox::Ok, this);
        box.exec();
        return;
    }
    m_commandWrite = new Serial_Write_Widget(m_sender, this);
    m_commandWrite->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_commandWrite, &Serial_Write_Widget::closeWidget, this,
            &MainWindow::iscommandwrite_open);
    m_commandWriteOpen = true;
    // Over the main window, where the user looks.
    m_commandWrite->move(geometry().center() - m_commandWrite->rect().center());
    m_commandWrite->show();
    m_commandWrite->activateWindow();
}

void MainWindow::slotApplyBaudrate(bool mark, int ibaud)
{
    addMessage(ConfigTexts::result(ConfigTexts::Result::Baudrate, mark));
    // The unit changed its rate at once; the host keeps its own until the user changes it.
    if (mark && ibaud != m_link->baudRate())
        addMessage(ConfigTexts::baudAdvice(ibaud));
}

void MainWindow::slotApplyFrequency(bool mark)
{
    addMessage(ConfigTexts::result(ConfigTexts::Result::Frequency, mark));
}

void MainWindow::slotApplyAlgorithm(bool mark)
{
    addMessage(ConfigTexts::result(ConfigTexts::Result::Algorithm, mark));
}

void MainWindow::slotApplyContents(bool mark)
{
    addMessage(ConfigTexts::result(ConfigTexts::Result::Contents, mark));
}

void MainWindow::slotModelSwitch(bool mark)
{
    if (m_portOpen)
        addMessage(ConfigTexts::result(ConfigTexts::Result::ModeSwitch, mark));
}

void MainWindow::slotAgreement(bool mark)
{
    if (m_portOpen)
        addMessage(ConfigTexts::result(ConfigTexts::Result::Agreement, mark));
}

void MainWindow::slotHighLow(bool mark)
{
    if (m_portOpen)
        addMessage(ConfigTexts::result(ConfigTexts::Result::HighLow, mark));
}

void MainWindow::noAnswer(Setting setting)
{
    addMessage(ConfigTexts::noAnswer(setting, SettingSender::AnswerTimeoutMs));
}

void MainWindow::product_forbidden_function()
{
    qCDebug(lcConfig) << "屏蔽某些功能";
    applyProductRules();
}

void MainWindow::applyProductRules()
{
    const QString model = productModel();
    const QString suffix = versionSuffix();
    m_outputDialog->setFrequencyList(ProductRules::frequencies(model, suffix));
    // What this unit cannot use is disabled; what an earlier unit could not use comes back.
    const auto forbid = [](QAction *action, bool forbidden, Forbidden &state) {
        if (forbidden && !state.active) {
            state = {true, action->isEnabled()};
            action->setEnabled(false);
        } else if (!forbidden && state.active) {
            state.active = false;
            action->setEnabled(state.wasEnabled);
        }
    };
    forbid(m_ui.postureResetAction, ProductRules::disablesPostureReset(suffix), m_postureForbidden);
    forbid(m_ui.magnetometerMenu->menuAction(), ProductRules::disablesMagnetometer(suffix),
           m_magnetometerForbidden);
}

// ------------------------------------------------------------------ recording

void MainWindow::writeRecordBatch()
{
    m_recording->writePass(m_parser);
}

void MainWindow::slotExportStart()
{
    if (m_recording->recordingStarted() || !m_ui.recordAction->isChecked())
        return;
    m_ui.recordAction->setChecked(false);
    if (recordFileBusy() || !m_portOpen)
        return;
    m_recording->start(); // "File has been saved to " + the file
    m_ui.recordAction->setEnabled(false);
    m_ui.stopRecordAction->setEnabled(true);
    m_ui.stopRecordAction->setChecked(false);
    m_recordingLabel = new QLabel(statusBar());
    m_elapsedLabel = new QLabel(QStringLiteral("00:00:00"), statusBar());
    statusBar()->addWidget(m_recordingLabel);
    statusBar()->addWidget(m_elapsedLabel);
    showRecordingState();
    m_recordTimer.start();
}

void MainWindow::slotExportStop()
{
    const auto cause = std::exchange(m_stopCause, RecordingController::StopCause::User);
    if (!m_recording->recordingStarted() || !m_ui.stopRecordAction->isChecked())
        return;
    m_ui.recordAction->setEnabled(m_portOpen);
    m_ui.stopRecordAction->setEnabled(false);
    m_ui.recordAction->setChecked(false);
    m_ui.stopRecordAction->setChecked(false);
    m_recording->stop(cause); // the file complete and closed, the flags clear
    m_recordTimer.stop();
    delete std::exchange(m_recordingLabel, nullptr); // leaves the status bar
    delete std::exchange(m_elapsedLabel, nullptr);
}

bool MainWindow::stopRecording(RecordingController::StopCause cause)
{
    if (!m_recording->recordingStarted())
        return false;
    m_stopCause = cause;
    m_ui.stopRecordAction->setChecked(true);
    slotExportStop();
    return true;
}

bool MainWindow::stopRecordingForDataSettings()
{
    return stopRecording(RecordingController::StopCause::DataSettings);
}

void MainWindow::slotRecordUpdate()
{
    // At most a tenth of a second of rows waits in memory (a crash, a pulled USB disk).
    m_recording->flush();
    if (m_elapsedLabel)
        m_elapsedLabel->setText(m_recording->elapsedText());
}

void MainWindow::showRecordingState()
{
    if (!m_recordingLabel)
        return;
    m_recordingLabel->setText(m_recording->statusText());
    m_recordingLabel->setStyleSheet(m_recording->isWriting()
                                        ? QString()
                                        : QStringLiteral("color: #c00000; font-weight: bold;"));
}

void MainWindow::slotSettings()
{
    chooseRecordFolder();
}

void MainWindow::exportFile()
{
    chooseRecordFolder();
}

void MainWindow::chooseRecordFolder()
{
    if (m_folderDialog)
        return;
    m_folderDialog = new DlgPreSettings(m_recording->recordDir(), this);
    const int result = m_folderDialog->exec();
    if (!m_folderDialog)
        return; // the window went meanwhile
    if (result == QDialog::Accepted) {
        // A recording in progress keeps its file; the next one goes to the new folder.
        m_recording->setRecordDir(m_folderDialog->folder());
        if (m_settings)
            RecordFolderSetting::save(m_settings->store(), m_recording->recordDir());
    }
    delete m_folderDialog;
}

// ------------------------------------------------------------------ statistics

void MainWindow::updateLinkStatistics()
{
    const LinkStatistics &s = m_parser.statistics();
    m_rates.sample(s.frames, s.bytes, m_statsClock.restart());
    // Bytes the hand-over buffer had to drop are lost frames: said in the message list as
    // well as in the status bar.
    const HandOverStatistics h = m_link->handOverStatistics();
    if (m_portOpen && h.overflowBytes > m_overflowReported) {
        addMessage(
            Language::text("接收缓冲区已满，丢失 %1 字节", "Receive buffer full: %1 bytes lost")
                .arg(h.overflowBytes - m_overflowReported));
        m_overflowReported = h.overflowBytes;
    }
    showLinkStatistics();
}

void MainWindow::showLinkStatistics()
{
    const LinkStatistics &s = m_parser.statistics();
    if (!m_portOpen) {
        m_ui.statsLabel->clear();
        return;
    }
    const HandOverStatistics h = m_link->handOverStatistics();
    QString text =
        Language::text("帧/秒 %1   字节/秒 %2   校验失败 %3   丢弃字节 %4   TID 间断 %5   "
                       "接收缓冲峰值 %6 KB",
                       "Frames/s %1   Bytes/s %2   Checksum failures %3   Bytes discarded %4   "
                       "TID gaps %5   Receive buffer peak %6 KB")
            .arg(qRound(m_rates.framesPerSecond()))
            .arg(qRound64(m_rates.bytesPerSecond()))
            .arg(s.checksumFailures)
            .arg(s.bytesDiscarded)
            .arg(s.tidGaps)
            .arg((h.highWater + 1023) / 1024);
    if (h.overflowBytes > 0)
        text += Language::text("   缓冲溢出丢失 %1 字节", "   Overflow lost %1 bytes")
                    .arg(h.overflowBytes);
    m_ui.statsLabel->setText(text);
}
