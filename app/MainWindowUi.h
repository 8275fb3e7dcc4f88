#pragma once

#include <QString>

class QAction;
class QComboBox;
class QDockWidget;
class QLabel;
class QMainWindow;
class QMdiArea;
class QMenu;
class QPushButton;
class QToolBar;
class QTreeWidget;

// The widgets of the main window: docks, menus, actions, tool bars, the multi-document
// area and the status-bar statistics. Builds them once and puts the texts of the current
// language on them; holds no behaviour.
class MainWindowUi
{
public:
    void build(QMainWindow *window);
    // Every text of the main window in the current language. portOpen picks the port
    // button's text.
    void applyTexts(bool portOpen);

    // Central area
    QMdiArea *mdiArea = nullptr;

    // Docks
    QDockWidget *portsDock = nullptr;
    QTreeWidget *portTree = nullptr;
    QDockWidget *productDock = nullptr;
    QLabel *serialNumberCaption = nullptr;
    QLabel *serialNumberValue = nullptr;
    QLabel *softwareVersionCaption = nullptr;
    QLabel *softwareVersionValue = nullptr;
    QDockWidget *stateDock = nullptr;
    QLabel *frequencyCaption = nullptr;
    QLabel *frequencyValue = nullptr;
    QLabel *contentsCaption = nullptr;
    QLabel *contentsValue = nullptr;
    QLabel *algorithmCaption = nullptr;
    QLabel *algorithmValue = nullptr;
    QDockWidget *messageDock = nullptr;
    QTreeWidget *messageTree = nullptr;

    // Menus
    QMenu *fileMenu = nullptr;
    QMenu *viewMenu = nullptr;
    QMenu *toolMenu = nullptr;
    QMenu *configMenu = nullptr;
    QMenu *calibrationMenu = nullptr;
    QMenu *magnetometerMenu = nullptr;
    QMenu *languageMenu = nullptr;
    QMenu *windowMenu = nullptr;
    QMenu *helpMenu = nullptr;

    // Actions
    QAction *closeAction = nullptr;
    QAction *exportAction = nullptr;
    QAction *quitAction = nullptr;
    QAction *display3DAction = nullptr;
    QAction *dataAction = nullptr;
    QAction *imuAction = nullptr;
    QAction *velocityAction = nullptr;
    QAction *locationAction = nullptr;
    QAction *utcAction = nullptr;
    QAction *temperatureAction = nullptr;
    QAction *combinedStateAction = nullptr;
    QAction *portsDockAction = nullptr;
    QAction *messageDockAction = nullptr;
    QAction *pathSettingAction = nullptr;
    QAction *commandWriteAction = nullptr;
    QAction *outputFormatAction = nullptr;
    QAction *dataSettingAction = nullptr;
    QAction *functionSettingAction = nullptr;
    QAction *postureResetAction = nullptr;
    QAction *gyroBiasAction = nullptr;
    QAction *mag3DAction = nullptr;
    QAction *mag2DAction = nullptr;
    QAction *chineseAction = nullptr;
    QAction *englishAction = nullptr; // the two language entries: the active one is checked
    QAction *tileAction = nullptr;
    QAction *cascadeAction = nullptr;
    QAction *closeAllAction = nullptr;
    QAction *websiteAction = nullptr;
    QAction *aboutAction = nullptr;
    QAction *updateAction = nullptr;
    QAction *recordAction = nullptr;
    QAction *stopRecordAction = nullptr;
    QAction *refreshPortAction = nullptr;

    // Tool bars
    QToolBar *viewToolBar = nullptr;
    QToolBar *portToolBar = nullptr;
    QToolBar *baudToolBar = nullptr;
    QToolBar *importToolBar = nullptr;
    QComboBox *portCombo = nullptr;
    QLabel *baudLabel = nullptr;
    QComboBox *baudCombo = nullptr;
    QPushButton *portButton = nullptr;

    // Status bar: link statistics
    QLabel *statsLabel = nullptr;
};
