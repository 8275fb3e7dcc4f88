#include "app/MainWindow.h"

#include "app/AboutDialog.h"
#include "app/Language.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    setWindowIcon(QIcon(QStringLiteral(":/Lumeno/mainWindow-icon")));
    setWindowTitle(QStringLiteral("Quilvar ARV Manager"));
    buildMenus();
    statusBar();
    slot_translate_Chinese();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenus()
{
    m_languageMenu = menuBar()->addMenu(QString());
    m_chineseAction = m_languageMenu->addAction(QString());
    m_englishAction = m_languageMenu->addAction(QString());
    connect(m_chineseAction, &QAction::triggered, this, &MainWindow::slot_translate_Chinese);
    connect(m_englishAction, &QAction::triggered, this, &MainWindow::slot_translate_English);

    m_helpMenu = menuBar()->addMenu(QString());
    m_aboutAction = m_helpMenu->addAction(QString());
    connect(m_aboutAction, &QAction::triggered, this, &MainWindow::slotAbout);
}

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
    m_languageMenu->setTitle(Language::text("语言", "Language"));
    m_chineseAction->setText(Language::text("中文", "Chinese"));
    m_englishAction->setText(Language::text("英文", "English"));
    m_helpMenu->setTitle(Language::text("帮助", "&Help"));
    m_aboutAction->setText(Language::text("&关于", "&About"));
}

void MainWindow::slotAbout()
{
    AboutDialog about(this);
    about.setWindowTitle(QStringLiteral("Quilvar"));
    about.setWindowIcon(QIcon(QStringLiteral(":/Lumeno/mainWindow-icon")));
    about.exec();
}
