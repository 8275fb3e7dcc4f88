#include "app/ViewBindings.h"

#include "app/MainWindow.h"
#include "views/Combined_State_Widget.h"
#include "views/LocationQWidget.h"
#include "views/ReadoutTexts.h"
#include "views/RealLocationQWidget.h"
#include "views/Temperature.h"
#include "views/UTCWidget.h"
#include "views/combineWidget.h"
#include "views/imuWidget.h"
#include "views/senseDataWidget.h"

#include <array>
#include <memory>

namespace {

// Between the history series and the windows. The plot windows copy what they are given
// into storage of their own, so three staging vectors serve every window, one after the
// other; their capacity is kept, so feeding allocates nothing once the history is full.
struct Staging
{
    std::array<QVector<double>, 3> v;

    // What a single pass carries, kept from the pass to the next feed of an open window
    // (and forgotten when a new window is built).
    bool hasQuaternion = false;
    double q[4] = {0.0, 0.0, 0.0, 0.0};
    QString celsius, fahrenheit, utc, ins, gnss;

    // Copies the series into the first three staging vectors.
    void take(const HistorySeries &a, const HistorySeries &b, const HistorySeries &c)
    {
        a.copyTo(v[0]);
        b.copyTo(v[1]);
        c.copyTo(v[2]);
    }
};

// fresh: forgets what was kept for the previous window of the kind.
template <typename Window>
ViewBinding binding(std::function<void(Window *)> feed, std::function<void()> collect = {},
                    std::function<void()> fresh = {})
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
    return b;
}

double newest(const HistorySeries &s)
{
    return s.isEmpty() ? 0.0 : s.last();
}

} // namespace

void bindViewWindows(MainWindow &window)
{
    MainWindow *mw = &window;
    auto staging = std::make_shared<Staging>();

    // Sensor data: acceleration, angular velocity and normalised magnetic field.
    window.bindView(ViewKind::SenseData,
                    binding<senseDataWidget>([mw, staging](senseDataWidget *view) {
                        const SampleHistory &h = mw->history();
                        auto &v = staging->v;
                        staging->take(h[Quantity::AccX], h[Quantity::AccY], h[Quantity::AccZ]);
                        view->setAcceleration(v[0], v[1], v[2]);
                        staging->take(h[Quantity::GyroX], h[Quantity::GyroY], h[Quantity::GyroZ]);
                        view->setAngularVelocity(v[0], v[1], v[2]);
                        staging->take(h[Quantity::MagX], h[Quantity::MagY], h[Quantity::MagZ]);
                        view->setMagnetic(v[0], v[1], v[2]);
                        view->setDisplayLength(mw->historyLimit());
                    }));

    window.bindView(ViewKind::Imu, binding<imuWidget>([mw, staging](imuWidget *view) {
                        const SampleHistory &h = mw->history();
                        auto &v = staging->v;
                        staging->take(h[Quantity::Roll], h[Quantity::Pitch], h[Quantity::Yaw]);
                        view->setEuler(v[0], v[1], v[2]);
                        view->setDisplayLength(mw->historyLimit());
                    }));

    window.bindView(ViewKind::Location,
                    binding<LocationQWidget>([mw, staging](LocationQWidget *view) {
                        const SampleHistory &h = mw->history();
                        auto &v = staging->v;
                        staging->take(h[Quantity::VelocityNorth], h[Quantity::VelocityEast],
                                      h[Quantity::VelocityGround]);
                        view->setVelocity(v[0], v[1], v[2]);
                        view->setDisplayLength(mw->historyLimit());
                    }));

    window.bindView(ViewKind::RealLocation,
                    binding<RealLocationQWidget>([mw, staging](RealLocationQWidget *view) {
                        const SampleHistory &h = mw->history();
                        auto &v = staging->v;
                        staging->take(h[Quantity::Latitude], h[Quantity::Longitude],
                                      h[Quantity::Altitude]);
                        view->setPosition(v[0], v[1], v[2]);
                        view->setDisplayLength(mw->historyLimit());
                    }));

    // The 3D view: the newest quaternion that a pass brought (that series holds the current
    // pass only); the newest angles and the temperature. Its setters schedule one coalesced
    // repaint.
    window.bindView(
        ViewKind::Display3D,
        binding<combineWidget>(
            [mw, staging](combineWidget *view) {
                const SampleHistory &h = mw->history();
                if (staging->hasQuaternion)
                    view->setQuaternion(staging->q[0], staging->q[1], staging->q[2], staging->q[3]);
                staging->hasQuaternion = false;
                view->setAngles(float(newest(h[Quantity::Pitch])), float(newest(h[Quantity::Roll])),
                                float(newest(h[Quantity::Yaw])));
                view->setTemperature(mw->latestTemperature());
            },
            [mw, staging] {
                const SampleHistory &h = mw->history();
                if (h[Quantity::Q0].isEmpty())
                    return;
                staging->q[0] = h[Quantity::Q0].last();
                staging->q[1] = h[Quantity::Q1].last();
                staging->q[2] = h[Quantity::Q2].last();
                staging->q[3] = h[Quantity::Q3].last();
                staging->hasQuaternion = true;
            },
            [staging] { staging->hasQuaternion = false; }));

    // The read-outs: the texts of the newest pass that carried them.
    window.bindView(ViewKind::Temperature,
                    binding<Temperature>(
                        [staging](Temperature *view) {
                            if (!staging->celsius.isEmpty() && !staging->fahrenheit.isEmpty())
                                view->setTemperatureTexts(staging->celsius, staging->fahrenheit);
                            staging->celsius.clear();
                            staging->fahrenheit.clear();
                        },
                        [mw, staging] {
                            const double celsius = mw->parser().passTemperature();
                            staging->celsius = ReadoutTexts::celsius(celsius);
                            staging->fahrenheit = ReadoutTexts::fahrenheit(celsius);
                        },
                        [staging] {
                            staging->celsius.clear();
                            staging->fahrenheit.clear();
                        }));

    window.bindView(ViewKind::Utc,
                    binding<UTCWidget>(
                        [staging](UTCWidget *view) {
                            if (!staging->utc.isEmpty())
                                view->setUtcText(staging->utc);
                            staging->utc.clear();
                        },
                        [mw, staging] { staging->utc = ReadoutTexts::utc(mw->parser().passUtc()); },
                        [staging] { staging->utc.clear(); }));

    window.bindView(ViewKind::CombinedState,
                    binding<Combined_State_Widget>(
                        [staging](Combined_State_Widget *view) {
                            if (!staging->ins.isEmpty() && !staging->gnss.isEmpty())
                                view->setStateTexts(staging->ins, staging->gnss);
                            staging->ins.clear();
                            staging->gnss.clear();
                        },
                        [mw, staging] {
                            staging->ins = ReadoutTexts::insState(mw->parser().passFusion());
                            staging->gnss = ReadoutTexts::gnssState(mw->parser().passFusion());
                        },
                        [staging] {
                            staging->ins.clear();
                            staging->gnss.clear();
                        }));
}
