#pragma once

#include <QMainWindow>

class QAction;
class QMenu;

// The program's only top-level window.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

public slots:
    void slot_translate_Chinese();
    void slot_translate_English();
    void slotAbout();

private:
    void buildMenus();
    // Puts the texts of the current language on every menu and action.
    void applyTexts();

    QMenu *m_languageMenu = nullptr;
    QMenu *m_helpMenu = nullptr;
    QAction *m_chineseAction = nullptr;
    QAction *m_englishAction = nullptr;
    QAction *m_aboutAction = nullptr;
};
