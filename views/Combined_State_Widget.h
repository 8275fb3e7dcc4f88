#pragma once

#include <QWidget>

class QLabel;

// The GNSS/INS fusion state read-out: the navigation (INS) state and the GNSS solution.
class Combined_State_Widget : public QWidget
{
    Q_OBJECT
public:
    explicit Combined_State_Widget(QWidget *parent = nullptr);
    ~Combined_State_Widget() override;

    // True while no fusion state window exists (process-wide).
    static bool isAbsent();

    // The state names as ReadoutTexts picks them.
    void setStateTexts(const QString &insState, const QString &gnssState);
    QString insStateText() const;
    QString gnssStateText() const;
    bool isOpen() const { return m_open; }

signals:
    void closeWidget(bool isOpen);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QLabel *m_fusion = nullptr;
    QLabel *m_gnss = nullptr;
    bool m_open = true;
};
