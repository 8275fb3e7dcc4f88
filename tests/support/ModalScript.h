#pragma once

// Plays a user through modal dialogs: steps run in order, each when its condition holds. A
// polling timer checks the current step's condition; the step's action runs from a timer of
// its own, so that an action that opens a modal dialog (a nested event loop) does not hold
// back the next steps, which then act on that dialog.
#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

class ModalScript : public QObject
{
public:
    using Condition = std::function<bool()>;
    using Action = std::function<void()>;

    ModalScript()
    {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (m_next >= m_steps.size() || !m_steps[m_next].when())
                return;
            Action act = m_steps[m_next].act;
            ++m_next;
            QTimer::singleShot(0, this, act);
        });
    }

    ModalScript &then(Condition when, Action act)
    {
        m_steps.push_back({std::move(when), std::move(act)});
        return *this;
    }

    // When the active modal window is a T (matching `match`, when given).
    template <typename T>
    ModalScript &onModal(std::function<void(T *)> act, std::function<bool(T *)> match = {})
    {
        return then(
            [match] {
                T *w = qobject_cast<T *>(QApplication::activeModalWidget());
                return w && w->isVisible() && (!match || match(w));
            },
            [act] {
                if (T *w = qobject_cast<T *>(QApplication::activeModalWidget()))
                    act(w);
            });
    }

    // Answers the next message box whose text contains `text` with `button`; the box's text
    // and informative text are kept in boxes().
    ModalScript &answer(const QString &text, QMessageBox::StandardButton button)
    {
        return onModal<QMessageBox>(
            [this, button](QMessageBox *box) {
                m_boxes << box->text() + QLatin1Char('|') + box->informativeText();
                box->button(button)->click();
            },
            [text](QMessageBox *box) { return box->text().contains(text); });
    }

    void start() { m_timer.start(); }
    bool done() const { return m_next >= m_steps.size(); }
    std::size_t stepsDone() const { return m_next; }
    const QStringList &boxes() const { return m_boxes; }

private:
    struct Step
    {
        Condition when;
        Action act;
    };
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    QTimer m_timer;
    QStringList m_boxes;
};
