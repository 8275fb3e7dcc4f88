#include "app/ViewKinds.h"

#include "app/MainWindow.h"
#include "app/MainWindowUi.h"
#include "app/ViewBinding.h"
#include "views/Combined_State_Widget.h"
#include "views/LocationQWidget.h"
#include "views/ReadoutTexts.h"
#include "views/RealLocationQWidget.h"
#include "views/Temperature.h"
#include "views/UTCWidget.h"
#include "views/combineWidget.h"
#include "views/imuWidget.h"
#include "views/senseDataWidget.h"

#include <QAction>

// Between the history series and the windows. The plot windows copy what they are given
// into storage of their own, so three staging vectors serve every window, one after the
// other; their capacity is kept, so feeding allocates nothing once the history is full.
struct ViewStaging
{
    std::array<QVector<double>, 3> v;

    // What a single pass carries, kept from the pass to the next feed of an open window
    // (and forgotten when a new window is built). Kept as decoded: the texts are made only
    // when a window is about to show them, at most once per screen refresh, not per pass.
    bool hasQuaternion = false;
    double q[4] = {0.0, 0.0, 0.0, 0.0};
    bool hasTemperature = false;
    double celsius = 0.0;
    bool hasUtc = false;
    UtcFields utc;
    bool hasFusion = false;
    FusionState fusion;

    // Copies the series of three quantities into the staging vectors.
    void take(const SampleHistory &h, Quantity a, Quantity b, Quantity c)
    {
        h[a].copyTo(v[0]);
        h[b].copyTo(v[1]);
        h[c].copyTo(v[2]);
    }
};

namespace {

using Staging = std::shared_ptr<ViewStaging>;
using Q = Quantity;

double newest(const HistorySeries &s)
{
    return s.isEmpty() ? 0.0 : s.last();
}

// ---- The bindings: how each window is built and handed the newest data.

// Sensor data: acceleration, angular velocity and normalised magnetic field.
ViewBinding senseData(MainWindow &window, const Staging &staging)
{
    MainWindow *mw = &window;
    return ViewBinding::forWindow<senseDataWidget>([mw, staging](senseDataWidget *view) {
        const SampleHistory &h = mw->history();
        auto &v = staging->v;
        staging->take(h, Q::AccX, Q::AccY, Q::AccZ);
        view->setAcceleration(v[0], v[1], v[2]);
        staging->take(h, Q::GyroX, Q::GyroY, Q::GyroZ);
        view->setAngularVelocity(v[0], v[1], v[2]);
        staging->take(h, Q::MagX, Q::MagY, Q::MagZ);
        view->setMagnetic(v[0], v[1], v[2]);
        view->setDisplayLength(mw->historyLimit());
    });
}

ViewBinding attitude(MainWindow &window, const Staging &staging)
{
    MainWindow *mw = &window;
    return ViewBinding::forWindow<imuWidget>([mw, staging](imuWidget *view) {
        auto &v = staging->v;
        staging->take(mw->history(), Q::Roll, Q::Pitch, Q::Yaw);
        view->setEuler(v[0], v[1], v[2]);
        view->setDisplayLength(mw->historyLimit());
    });
}

ViewBinding velocity(MainWindow &window, const Staging &staging)
{
    MainWindow *mw = &window;
    return ViewBinding::forWindow<LocationQWidget>([mw, staging](LocationQWidget *view) {
        auto &v = staging->v;
        staging->take(mw->history(), Q::VelocityNorth, Q::VelocityEast, Q::VelocityGround);
        view->setVelocity(v[0], v[1], v[2]);
        view->setDisplayLength(mw->historyLimit());
    });
}

ViewBinding position(MainWindow &window, const Staging &staging)
{
    MainWindow *mw = &window;
    return ViewBinding::forWindow<RealLocationQWidget>([mw, staging](RealLocationQWidget *view) {
        auto &v = staging->v;
        staging->take(mw->history(), Q::Latitude, Q::Longitude, Q::Altitude);
        view->setPosition(v[0], v[1], v[2]);
        view->setDisplayLength(mw->historyLimit());
    });
}

// The 3D view: the newest quaternion that a pass brought (that series holds the current
// pass only); the newest angles and the temperature. Its setters schedule one coalesced
// repaint.
ViewBinding display3D(MainWindow &window, const Staging &staging)
{
    MainWindow *mw = &window;
    return ViewBinding::forWindow<combineWidget>(
        [mw, staging](combineWidget *view) {
            const SampleHistory &h = mw->history();
            if (staging->hasQuaternion)
                view->setQuaternion(staging->q[0], staging->q[1], staging->q[2], staging->q[3]);
            staging->hasQuaternion = false;
            view->setAngles(float(newest(h[Q::Pitch])), float(newest(h[Q::Roll])),
                            float(newest(h[Q::Yaw])));
            view->setTemperature(mw->latestTemperature());
        },
        [mw, staging] {
            const SampleHistory &h = mw->history();
            if (h[Q::Q0].isEmpty())
                return;
            staging->q[0] = h[Q::Q0].last();
            staging->q[1] = h[Q::Q1].last();
            staging->q[2] = h[Q::Q2].last();
            staging->q[3] = h[Q::Q3].last();
            staging->hasQuaternion = true;
        },
        [staging] { staging->hasQuaternion = false; });
}

// The read-outs: the texts of the newest pass that carried them.
ViewBinding temperature(MainWindow &window, const Staging &staging)
{
    MainWindow *mw = &window;
    return ViewBinding::forWindow<Temperature>(
        [staging](Temperature *view) {
            if (staging->hasTemperature)
                view->setTemperatureTexts(ReadoutTexts::celsius(staging->celsius),
                                          ReadoutTexts::fahrenheit(staging->celsius));
            staging->hasTemperature = false;
        },
        [mw, staging] {
            staging->celsius = mw->parser().passTemperature();
            staging->hasTemperature = true;
        },
        [staging] { staging->hasTemperature = false; });
}

ViewBinding utcClock(MainWindow &window, const Staging &staging)
{
    MainWindow *mw = &window;
    return ViewBinding::forWindow<UTCWidget>(
        [staging](UTCWidget *view) {
            if (staging->hasUtc) {
                const QString text = ReadoutTexts::utc(staging->utc);
                if (!text.isEmpty())
                    view->setUtcText(text);
            }
            staging->hasUtc = false;
        },
        [mw, staging] {
            staging->utc = mw->parser().passUtc();
            staging->hasUtc = true;
        },
        [staging] { staging->hasUtc = false; });
}

ViewBinding fusionState(MainWindow &window, const Staging &staging)
{
    MainWindow *mw = &window;
    return ViewBinding::forWindow<Combined_State_Widget>(
        [staging](Combined_State_Widget *view) {
            if (staging->hasFusion) {
                const QString ins = ReadoutTexts::insState(staging->fusion);
                const QString gnss = ReadoutTexts::gnssState(staging->fusion);
                if (!ins.isEmpty() && !gnss.isEmpty())
                    view->setStateTexts(ins, gnss);
            }
            staging->hasFusion = false;
        },
        [mw, staging] {
            staging->fusion = mw->parser().passFusion();
            staging->hasFusion = true;
        },
        [staging] { staging->hasFusion = false; });
}

using M = MainWindow;
using U = MainWindowUi;
using F = ViewFeed;
using K = ViewKind;

constexpr std::array<ViewKindInfo, ViewKindCount> table = {{
    {K::Display3D, "3D view", &U::display3DAction, &M::showDisplay, &M::isSenseWidgetOpen, nullptr,
     F::EveryPass, display3D},
    {K::SenseData, "sensor data plot", &U::dataAction, &M::dataVisualization, &M::isMainWidgetOpen,
     &M::imuASMmessage, F::History, senseData},
    {K::Imu, "attitude plot", &U::imuAction, &M::imuVisualization, &M::isImuWidgetOpen,
     &M::imuRPYmessage, F::PassWithValues, attitude},
    {K::Location, "velocity plot", &U::velocityAction, &M::showLocation, &M::isLocationWidgetOpen,
     &M::imuVelocityMmessage, F::History, velocity},
    {K::RealLocation, "position plot", &U::locationAction, &M::showRealLocation,
     &M::isRealLocationWidgetOpen, &M::imuLocationMmessage, F::History, position},
    {K::Utc, "UTC clock", &U::utcAction, &M::showUTC, &M::isUTCWidgetOpen, nullptr, F::Utc,
     utcClock},
    {K::Temperature, "temperature", &U::temperatureAction, &M::showTemp, &M::isTempWidgetOpen,
     nullptr, F::Temperature, temperature},
    {K::CombinedState, "fusion state", &U::combinedStateAction, &M::showCombinedState,
     &M::isCombinedStateWidgetOpen, nullptr, F::FusionState, fusionState},
    {K::PostureCourse, "attitude and heading reset", &U::postureResetAction,
     &M::slot_posture_course_reset, &M::isposture_course_open, nullptr, F::Never, nullptr},
}};

constexpr bool inKindOrder()
{
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].kind != ViewKind(i) || !table[i].action)
            return false;
    return true;
}
static_assert(inKindOrder(), "one row per view kind, in ViewKind order, each with its action");

} // namespace

const std::array<ViewKindInfo, ViewKindCount> &viewKinds()
{
    return table;
}

void bindViewWindows(MainWindow &window)
{
    const auto staging = std::make_shared<ViewStaging>();
    for (const ViewKindInfo &info : table)
        if (info.bind)
            window.bindView(info.kind, info.bind(window, staging));
}
