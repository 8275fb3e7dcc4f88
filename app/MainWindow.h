#pragma once

#include "app/MainWindowUi.h"
#include "app/ViewManager.h"
#include "calib/CalibrationCollector.h"
#include "calib/GyroBiasCollector.h"
#include "protocol/FrameParser.h"
#include "record/RecordingController.h"
#include "serial/LinkRateMeter.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QSerialPort>
#include <QTimer>
#include <QVector>

#include <functional>
#include <memory>

class AppSettings;
class CommandSender;
class DlgPreSettings;
class PortRestart;
class QLabel;
class QModelDialog;
class RefreshPacer;
class SerialLink;
class Serial_Write_Widget;
class SettingSender;
class SimulatedUnitHost;
enum class Setting;
struct SerialWriteResult;

// The program's only top-level window. It owns the serial link, the frame parser and
// the data they produce, and shows it; the work is done by MainWindowUi (widgets),
// SerialLink (the port), FrameParser (the bytes), ViewManager (the view windows) and
// RecordingController (the record files).
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int LossPollMs = 4000;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // ---- Wiring for later parts ----
    // Makes a view kind available: its action is enabled and its slot opens it. A binding
    // whose window cannot report its closing, or lacks the repaint slot its kind needs, is
    // refused with a warning (see ViewBinding::forWindow).
    void bindView(ViewKind kind, ViewBinding binding);
    ViewManager *views() const { return m_views; }
    RefreshPacer *refreshPacer() const { return m_refreshPacer; }
    // Stops a running magnetometer calibration thread (close and loss call it).
    void setCalibrationStopper(std::function<void()> stopper);
    void setSimulatedUnitHost(std::unique_ptr<SimulatedUnitHost> host);
    // Restores what the settings hold (language, port and baud rate, typed device paths,
    // window geometry and dock layout) and keeps them up to date from now on: the language
    // when it is switched, the port, baud rate and typed path when a port opens, the layout
    // when the window closes. The settings must outlive the window; nullptr stops saving.
    void useSettings(AppSettings *settings);

    // ---- State read by other parts ----
    const MainWindowUi &ui() const { return m_ui; }
    FrameParser &parser() { return m_parser; }
    const SampleHistory &history() const { return m_parser.history(); }
    double latestTemperature() const { return m_parser.latestTemperature(); }
    int historyLimit() const { return m_historyLimit; }
    // The port itself lives on the link's I/O thread; everything goes through the link.
    SerialLink *serialLink() const { return m_link; }
    // The one way the dialogs write commands to the unit.
    CommandSender *commandSender() const { return m_sender; }

    // ---- Configuration ----
    // The output settings dialog, made once; the unit's answers to the frequency, contents
    // and algorithm mode commands are emitted as its freqSignal, contents_Signal and
    // algorithm_Signal.
    QModelDialog *outputDialog() const { return m_outputDialog; }
    // The configuration dialogs' sender, with its no-answer watch.
    SettingSender *settingSender() const { return m_settingSender; }
    // The port restart after new output settings.
    PortRestart *portRestart() const { return m_restart; }
    // The command write window while it exists (one at a time).
    Serial_Write_Widget *commandWriteWindow() const;
    bool isPortOpen() const { return m_portOpen; }
    QString selectedPortName() const { return m_selectedPort; }
    int selectedBaudRate() const { return m_selectedBaud; }
    QString productModel() const { return m_parser.productModel(); }
    QString versionSuffix() const { return m_parser.versionSuffix(); }
    bool content(Content c) const { return m_parser.content(c); }
    // The values of the last pass (what messageReady carried).
    const QVector<double> &sampleVector() const { return m_parser.sampleVector(); }

    // ---- Recording ----
    // The record folder and name, the recording flags and the writer.
    RecordingController &recorder() { return *m_recording; }
    const RecordingController &recorder() const { return *m_recording; }
    // A record file is in use: the port is neither opened nor the port list refreshed.
    bool recordFileBusy() const { return m_recording->recordFileBusy(); }
    // The parse passes' frames go to the record file.
    bool recordingActive() const { return m_recording->recordingActive(); }
    bool recordingStarted() const { return m_recording->recordingStarted(); }

    // Ends a running recording the way the Stop action does (through slotExportStop): the
    // rows received so far are written, the record file is complete and closed,
    // recordFileBusy(), recordingActive() and recordingStarted() are clear, Record is enabled
    // again (the port stays open) and Stop disabled, the status-bar labels go. One message
    // item says that the recording ended because the data settings changed, how many rows
    // went to which file. Returns false, and does nothing, when no recording runs.
    // For the data settings dialog: call it when the unit has accepted new data settings
    // (its columns change), before the port is restarted; a new recording is the user's
    // choice.
    bool stopRecordingForDataSettings();

    // The collectors the parse pass feeds for a calibration and a gyro-bias estimation.
    CalibrationCollector &calibrationCollector() { return m_calibration; }
    GyroBiasCollector &gyroBiasCollector() { return m_gyroBias; }

    // Adds one line to the message list.
    void addMessage(const QString &text);
    // Tests: the next parse pass first holds the GUI thread for ms milliseconds, as building a
    // window or a busy machine would.
    void stallNextPassForTesting(int ms) { m_stallNextPassMs = ms; }
    // Selects "ARV-SIM" and opens it (the --demo start).
    void openSimulatedUnit();

signals:
    void messageReady(QVector<double> samples);
    void imuRPYmessage();
    void imuASMmessage();
    void imuVelocityMmessage();
    void imuLocationMmessage();
    void product_forbidden_message();
    // A firmware-update answer (update mode only).
    void updateAnswer(int op, int status);

public slots:
    void slot_translate_Chinese();
    void slot_translate_English();
    void slotAbout();
    void slotYes();

    void closeFile();
    void quitApplication();

    void showDisplay();
    void dataVisualization();
    void imuVisualization();
    void showLocation();
    void showRealLocation();
    void showUTC();
    void showTemp();
    void showCombinedState();
    void slot_posture_course_reset();

    // ---- Configuration ----
    // "Serial Output Format Setting": the output settings dialog; after a frequency command,
    // the port restart.
    void slotOutputConfig();
    // "Data Setting": the data settings dialog; once accepted, the recording is ended and the
    // port restarted. Without an open port, a message item.
    void slotCommandUI();
    // "Function Setting": the function settings dialog.
    void slotModelConfig();
    // "Write Command": the command write window (raised when it is open already); without an
    // open port, a message box.
    void slotCommandWrite();
    // Result items of the configuration commands.
    void slotApplyBaudrate(bool mark, int ibaud);
    void slotApplyFrequency(bool mark);
    void slotApplyAlgorithm(bool mark);
    void slotApplyContents(bool mark);
    void slotModelSwitch(bool mark);
    void slotAgreement(bool mark);
    void slotHighLow(bool mark);

    void isSenseWidgetOpen(bool open);
    void isMainWidgetOpen(bool open);
    void isImuWidgetOpen(bool open);
    void isLocationWidgetOpen(bool open);
    void isRealLocationWidgetOpen(bool open);
    void isUTCWidgetOpen(bool open);
    void isTempWidgetOpen(bool open);
    void isCombinedStateWidgetOpen(bool open);
    void isposture_course_open(bool open);
    void iscommandwrite_open(bool open);

    void selectPort();
    // Makes the named port the port box's choice (a double-click in the port list).
    void choosePort(const QString &name);
    void selectBaudrate();
    void updateAvailablePorts();
    void slot_open_uart();
    void newMessageFromSerialPortReady();
    void getErrorFromSerial(QSerialPort::SerialPortError error);
    void captureSerialExceptions();
    // An identification query could not be written: said in the message list.
    void queryNotWritten(const SerialWriteResult &result);

    void updateOpenGLwidget(QVector<double> samples);
    void getSenseData(QVector<double> samples);
    void getImuData(QVector<double> samples);
    // Adapts the frequency list and the menus to the unit's model and suffix: the menus the
    // unit cannot use are disabled, and enabled again for a unit that can.
    void product_forbidden_function();

    // Record: starts a recording into the next free record file of the record folder.
    void slotExportStart();
    // Stop: ends it (also run by closing the port, the loss of the device, closing the
    // window and stopRecordingForDataSettings()).
    void slotExportStop();
    // The 100 ms tick while recording: the elapsed time, and the rows handed to the file.
    void slotRecordUpdate();
    // "&File Path Setting" (Tool) and "Export" (File): the record folder dialog; the folder
    // chosen is used from the next recording on and kept for the next runs.
    void slotSettings();
    void exportFile();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;

private:
    // The parse pass over one chunk; applies its results to the docks, views and hooks.
    void parsePass(const QByteArray &chunk);
    void applyAnswers();
    void openPort();
    void closePort();
    void loseDevice();
    void connectSession();
    void disconnectSession();
    void clearStateLabels();
    // Hands the pass's frames to the record file, one row each.
    void writeRecordBatch();
    // Ends a running recording through slotExportStop; false when none runs.
    bool stopRecording(RecordingController::StopCause cause);
    void showRecordingState();
    void chooseRecordFolder();
    void updateLinkStatistics();
    void showLinkStatistics();
    void fillPortList(const QStringList &systemPorts);
    void rememberConnection();
    void applyTexts();
    void openView(ViewKind kind);
    void noteViews(ViewFeed feed);
    void presentViews();
    void setUpConfiguration();
    void applyProductRules();
    void noAnswer(Setting setting);

    MainWindowUi m_ui;
    FrameParser m_parser;
    SerialLink *m_link = nullptr;
    CommandSender *m_sender = nullptr;
    ViewManager *m_views = nullptr;
    RefreshPacer *m_refreshPacer = nullptr;
    double m_handOverMs = 0.0; // time the last hand-over of data to the views took
    AppSettings *m_settings = nullptr;
    QStringList m_systemPorts; // as last listed
    QTimer m_lossTimer;
    QTimer m_statsTimer;

    QString m_selectedPort = QStringLiteral("COM4");
    int m_selectedBaud = 460800;
    bool m_portOpen = false;
    bool m_portButtonFlag = false;
    QSerialPort::SerialPortError m_lastPortError = QSerialPort::NoError;
    int m_historyLimit = 1000;
    QByteArray m_chunk; // the bytes of the pass, its storage reused
    int m_stallNextPassMs = 0;

    RecordingController *m_recording = nullptr;
    RecordingController::StopCause m_stopCause = RecordingController::StopCause::User;
    QTimer m_recordTimer;
    QLabel *m_recordingLabel = nullptr; // "Recording", or that nothing is written
    QLabel *m_elapsedLabel = nullptr;   // "hh:mm:ss:zzz"
    QPointer<DlgPreSettings> m_folderDialog;

    // Configuration
    SettingSender *m_settingSender = nullptr;
    QModelDialog *m_outputDialog = nullptr;
    PortRestart *m_restart = nullptr;
    QPointer<Serial_Write_Widget> m_commandWrite;
    bool m_commandWriteOpen = false;
    // Entries that product_forbidden_function disabled, and whether they were enabled before.
    struct Forbidden
    {
        bool active = false;
        bool wasEnabled = false;
    };
    Forbidden m_postureForbidden;
    Forbidden m_magnetometerForbidden;

    std::function<void()> m_calibrationStopper;
    CalibrationCollector m_calibration;
    GyroBiasCollector m_gyroBias;

    // Link statistics: the rates since the previous tick.
    QElapsedTimer m_statsClock;
    LinkRateMeter m_rates;
    quint64 m_overflowReported = 0; // hand-over overflow bytes already in the message list
};
