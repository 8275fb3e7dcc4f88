#pragma once

#include <QObject>
#include <QWidget>

#include <functional>
#include <type_traits>
#include <utility>

// How a kind of view is made, connected and fed. Made with forWindow<Window>(), which
// connects with function pointers: a window class without closeWidget(bool) does not compile.
//
// create builds the window (parent given); feed, when set, hands it the current data (called
// by the main window while it is open, at most once per screen refresh); collect, when set,
// is called on every parse pass that brought data for the open window, to keep what only that
// pass carries (read-out texts, the quaternion) until the next feed.
struct ViewBinding
{
    using Create = std::function<QWidget *(QWidget *parent)>;
    using Feed = std::function<void(QWidget *)>;
    // Connects a new window's closeWidget(bool) to `closed`, ending with `context`.
    using ConnectClose =
        std::function<void(QWidget *window, QObject *context, std::function<void(bool)> closed)>;
    // Calls a window's realtimePaintSlot().
    using Repaint = std::function<void(QWidget *window)>;

    Create create;
    Feed feed;
    std::function<void()> collect;
    ConnectClose connectClose;
    Repaint repaint; // empty for a window without realtimePaintSlot()
    // A window of its own beside the main window (a tool window), not a sub-window of the
    // multi-document area: made with the main window as parent, so that it goes with it, and
    // expected to delete itself when closed.
    bool topLevel = false;

    // A binding for windows of class Window, built with new Window(parent) after fresh() has
    // run (fresh forgets what was kept for the previous window of the kind).
    template <typename Window>
    static ViewBinding forWindow(std::function<void(Window *)> feed = {},
                                 std::function<void()> collect = {},
                                 std::function<void()> fresh = {});
};

namespace ViewBindingDetail {
template <typename W, typename = void> struct HasRepaintSlot : std::false_type
{
};
template <typename W>
struct HasRepaintSlot<W, std::void_t<decltype(std::declval<W &>().realtimePaintSlot())>>
    : std::true_type
{
};
} // namespace ViewBindingDetail

template <typename Window>
ViewBinding ViewBinding::forWindow(std::function<void(Window *)> feed,
                                   std::function<void()> collect, std::function<void()> fresh)
{
    ViewBinding b;
    b.collect = std::move(collect);
    b.create = [fresh](QWidget *parent) -> QWidget * {
        if (fresh)
            fresh();
        return new Window(parent);
    };
    if (feed)
        b.feed = [feed](QWidget *w) {
            if (auto *window = qobject_cast<Window *>(w))
                feed(window);
        };
    b.connectClose = [](QWidget *w, QObject *context, std::function<void(bool)> closed) {
        if (auto *window = qobject_cast<Window *>(w))
            QObject::connect(window, &Window::closeWidget, context, std::move(closed));
    };
    if constexpr (ViewBindingDetail::HasRepaintSlot<Window>::value)
        b.repaint = [](QWidget *w) {
            if (auto *window = qobject_cast<Window *>(w))
                window->realtimePaintSlot();
        };
    return b;
}
