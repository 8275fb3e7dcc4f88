#pragma once

#include <array>
#include <cstddef>
#include <memory>

class MainWindow;
class MainWindowUi;
class QAction;
struct ViewBinding;
struct ViewStaging;

// Every window that opens in the multi-document area, at most once each. The order is that
// of the table below.
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
    Count
};
constexpr std::size_t ViewKindCount = std::size_t(ViewKind::Count);

// Which parse passes bring an open window of the kind new data.
enum class ViewFeed
{
    Never,          // a dialog: not fed
    EveryPass,      // every pass (updateOpenGLwidget)
    History,        // every pass, after the history was trimmed (getSenseData)
    PassWithValues, // every pass that decoded values (getImuData)
    Temperature,    // a pass with a temperature item
    Utc,            // a pass with a UTC item
    FusionState,    // a pass with a named fusion state
};

// One row of the view-kind table: everything the main window, the tests and the benchmarks
// need to know about a kind. Adding a view kind is one row here (and its binding in
// ViewKinds.cpp), its action in MainWindowUi and its window class.
struct ViewKindInfo
{
    ViewKind kind;
    const char *name;
    QAction *MainWindowUi::*action;     // the menu entry that opens it
    void (MainWindow::*open)();         // the entry's slot (nullptr: opened directly)
    void (MainWindow::*openFlag)(bool); // gets closeWidget(bool) (nullptr: set directly)
    void (MainWindow::*paint)();        // drives realtimePaintSlot() after a feed (or nullptr)
    ViewFeed feed;
    // The window's binding, made once per main window; nullptr for kinds whose windows are
    // bound later with MainWindow::bindView (the dialogs).
    ViewBinding (*bind)(MainWindow &window, const std::shared_ptr<ViewStaging> &staging);
};

// The table, in ViewKind order.
const std::array<ViewKindInfo, ViewKindCount> &viewKinds();
inline const ViewKindInfo &viewKindInfo(ViewKind kind)
{
    return viewKinds()[std::size_t(kind)];
}

// Binds every kind whose row has a binding; the main window calls this once, at construction.
// A later bindView() for a kind replaces its binding (tests use stand-ins).
void bindViewWindows(MainWindow &window);
