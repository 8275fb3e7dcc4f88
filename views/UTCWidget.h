#pragma once

#include <QWidget>

class QLabel;

// The UTC clock: the local time of the newest UTC item in large digits.
class UTCWidget : public QWidget
{
    Q_OBJECT
public:
    explicit UTCWidget(QWidget *parent = nullptr);
    ~UTCWidget() override;

    // True while no UTC window exists (process-wide).
    static bool isAbsent();

    // The text as ReadoutTexts builds it ("yyyy-MM-dd HH:mm:ss.zzz").
    void setUtcText(const QString &text);
    QString utcText() const;
    bool isOpen() const { return m_open; }

signals:
    void closeWidget(bool isOpen);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QLabel *m_clock = nullptr;
    bool m_open = true;
};
