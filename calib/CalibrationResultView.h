#pragma once

#include <QVector>
#include <QWidget>

class CalibrationQuality;
class QCustomPlot;
class QLabel;
class QPushButton;
class QTextEdit;

// The content of the calibration result sub-window: the parameters as text with the quality
// figures and the verdict under them, the "Write to ARV" button beside them, and a plot
// below: the field magnitude per sample before and after a 3D calibration, or the raw points
// and the fitted ellipse of a 2D one. A new view is made for every calibration.
//
// "Write to ARV" stays disabled until a result is shown, and then follows setWriteEnabled().
// GUI thread only.
class CalibrationResultView : public QWidget
{
    Q_OBJECT
public:
    enum class Kind
    {
        Magnitudes, // 3D: plot at least 600 x 250
        Ellipse,    // 2D: plot at least 500 x 500
    };

    explicit CalibrationResultView(Kind kind, QWidget *parent = nullptr);

    Kind kind() const { return m_kind; }

    // The parameter text, and under it the quality lines (the verdict last, in its colour).
    void showText(const QString &resultText, const CalibrationQuality &quality);
    // 3D: graph 0 the magnitudes after calibration (blue, lightly filled), graph 1 before
    // (red), keys 0 ... pointNum - 1; the value axis 10 below and above both curves.
    void showMagnitudes(const QVector<double> &before, const QVector<double> &after, int pointNum);
    // 2D: graph 0 the raw points (blue), graph 1 the fitted curve (red), circles of size 2
    // without lines; the key axis spans the curve, the value axis 10 below and above both.
    void showEllipse(const QVector<double> &x, const QVector<double> &y, const QVector<double> &xR,
                     const QVector<double> &yR);
    void setWriteEnabled(bool enabled);

    QTextEdit *textBox() const { return m_text; }
    QLabel *qualityLabel() const { return m_quality; }
    QPushButton *writeButton() const { return m_write; }
    QCustomPlot *plot() const { return m_plot; }

signals:
    void writeClicked();

private:
    void finishPlot(const QVector<double> &a, const QVector<double> &b);

    Kind m_kind;
    QTextEdit *m_text = nullptr;
    QLabel *m_quality = nullptr;
    QPushButton *m_write = nullptr;
    QCustomPlot *m_plot = nullptr;
};
