#include "views/ViewWindow.h"

#include <QCloseEvent>

ViewWindow::ViewWindow(QWidget *parent) : QWidget(parent) {}

void ViewWindow::closeEvent(QCloseEvent *event)
{
    m_open = false;
    emit closeWidget(false);
    QWidget::closeEvent(event);
}
