#pragma once

// A stand-in view window with the interface the main window expects of every view:
// closeWidget(bool) when it closes, realtimePaintSlot() for the repaint signal.
#include <QCloseEvent>
#include <QWidget>

class FakeView : public QWidget
{
    Q_OBJECT
public:
    explicit FakeView(QWidget *parent = nullptr) : QWidget(parent) { ++instances(); }
    ~FakeView() override { --instances(); }
    static int &instances()
    {
        static int n = 0;
        return n;
    }
    int paints = 0;

signals:
    void closeWidget(bool open);

public slots:
    void realtimePaintSlot() { ++paints; }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        emit closeWidget(false);
        QWidget::closeEvent(event);
    }
};
