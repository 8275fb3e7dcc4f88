#pragma once

#include <QWidget>

#include <atomic>

// What every view window shares: an open flag, and closeWidget(false) when it closes, which
// the main window connects to the window kind's open-flag slot.
class ViewWindow : public QWidget
{
    Q_OBJECT
public:
    bool isOpen() const { return m_open; }

signals:
    void closeWidget(bool isOpen);

protected:
    explicit ViewWindow(QWidget *parent);
    // Clears the open flag and reports the closing; windows that override it call it last.
    void closeEvent(QCloseEvent *event) override;

private:
    bool m_open = true;
};

// The process-wide flag of a read-out class that says no window of the class exists: a base
// of the class (Window) counts its instances.
template <typename Window> class InstanceCount
{
public:
    // True while no window of this class exists.
    static bool isAbsent() { return count().load() <= 0; }

protected:
    InstanceCount() { ++count(); }
    ~InstanceCount() { --count(); }
    InstanceCount(const InstanceCount &) = delete;
    InstanceCount &operator=(const InstanceCount &) = delete;

private:
    static std::atomic<int> &count()
    {
        static std::atomic<int> instances{0};
        return instances;
    }
};
