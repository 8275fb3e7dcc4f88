#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <utility>

class QMdiArea;

// Every window that opens in the multi-document area, at most once each.
enum class ViewKind
{
    Display3D,     // combineWidget with the 3D view
    SenseData,     // senseDataWidget
    Imu,           // imuWidget
    Location,      // LocationQWidget (velocity plot)
    RealLocation,  // RealLocationQWidget (position)
    Utc,           // UTCWidget
    Temperature,   // Temperature
    CombinedState, // Combined_State_Widget
    PostureCourse, // attitude and heading reset dialog
    CommandWrite,  // command write window
    Count
};

// How a kind of view is made and fed. create builds the window (parent given);
// feed, when set, hands it the current data (called by the main window while it is open,
// at most once per screen refresh); collect, when set, is called on every parse pass that
// brought data for the open window, to keep what only that pass carries (read-out texts,
// the quaternion) until the next feed.
struct ViewBinding
{
    using Create = std::function<QWidget *(QWidget *parent)>;
    using Feed = std::function<void(QWidget *)>;
    ViewBinding() = default;
    ViewBinding(Create c, Feed f = {}, std::function<void()> k = {})
        : create(std::move(c)), feed(std::move(f)), collect(std::move(k))
    {
    }

    std::function<QWidget *(QWidget *parent)> create;
    std::function<void(QWidget *)> feed;
    std::function<void()> collect;
};

// Open-once management: one pointer and one open flag per kind. A window reports its
// closing through its closeWidget(bool) signal, which goes to the open-flag slot of the
// receiver; a window that is deleted without that report counts as closed as well.
class ViewManager : public QObject
{
    Q_OBJECT
public:
    ViewManager(QMdiArea *area, QObject *receiver, QObject *parent = nullptr);

    void bind(ViewKind kind, ViewBinding binding);
    bool isBound(ViewKind kind) const;

    // Opens the window of this kind unless it is open. closeSlot: SLOT() of the receiver
    // that stores the open flag; paintSignal: SIGNAL() of the receiver to connect to the
    // window's realtimePaintSlot(), or nullptr. Returns the window (new or already open),
    // or nullptr when the kind has no binding.
    QWidget *open(ViewKind kind, const char *closeSlot, const char *paintSignal);

    bool isOpen(ViewKind kind) const;
    QWidget *window(ViewKind kind) const;
    void setOpenFlag(ViewKind kind, bool open);
    // Hands the open window its data through the binding's feed.
    void feed(ViewKind kind) const;
    // The last pass brought data for this kind: when its window is open, the binding's
    // collect runs and the window is marked for the next feed. False when it is not open.
    bool notePass(ViewKind kind);
    // True (and the mark cleared) when the open window of this kind awaits a feed.
    bool takePending(ViewKind kind);
    // Runs the pending throttled redraws of every open window at once.
    void flushRedraws() const;

private:
    struct Slot
    {
        ViewBinding binding;
        QPointer<QWidget> window;
        bool open = false;
        bool pending = false;
    };
    Slot &slot(ViewKind kind) { return m_slots[std::size_t(kind)]; }
    const Slot &slot(ViewKind kind) const { return m_slots[std::size_t(kind)]; }

    QMdiArea *m_area;
    QObject *m_receiver;
    std::array<Slot, std::size_t(ViewKind::Count)> m_slots;
};
