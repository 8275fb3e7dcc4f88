#include "app/ViewBindings.h"

#include "app/MainWindow.h"
#include "views/Combined_State_Widget.h"
#include "views/LocationQWidget.h"
#include "views/RealLocationQWidget.h"
#include "views/Temperature.h"
#include "views/UTCWidget.h"
#include "views/combineWidget.h"
#include "views/imuWidget.h"
#include "views/senseDataWidget.h"

#include <array>
#include <memory>

namespace {

// Staging vectors between the history series and the windows. The plot windows copy what
// they are given into storage of their own, so one set serves every window; its capacity
// is kept from pass to pass, so feeding allocates nothing once the history is full.
struct Staging
{
    std::array<QVector<double>, 9> v;

    // Copies the series into the first three staging vectors.
    void take(const HistorySeries &a, const HistorySeries &b, const HistorySeries &c)
    {
        a.copyTo(v[0]);
        b.copyTo(v[1]);
        c.copyTo(v[2]);
    }
};

template <typename Window> ViewBinding binding(std::function<void(Window *)> feed)
{
    ViewBinding b;
    b.create = [](QWidget *parent) -> QWidget * { return new Window(parent); };
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
                        staging->take(h.accX, h.accY, h.accZ);
                        view->setAcceleration(v[0], v[1], v[2]);
                        staging->take(h.gyroX, h.gyroY, h.gyroZ);
                        view->setAngularVelocity(v[0], v[1], v[2]);
                        staging->take(h.magX, h.magY, h.magZ);
                        view->setMagnetic(v[0], v[1], v[2]);
                        view->setDisplayLength(mw->historyLimit());
                    }));

    window.bindView(ViewKind::Imu, binding<imuWidget>([mw, staging](imuWidget *view) {
                        const SampleHistory &h = mw->history();
                        auto &v = staging->v;
                        staging->take(h.roll, h.pitch, h.yaw);
                        view->setEuler(v[0], v[1], v[2]);
                        view->setDisplayLength(mw->historyLimit());
                    }));

    window.bindView(ViewKind::Location,
                    binding<LocationQWidget>([mw, staging](LocationQWidget *view) {
                        const SampleHistory &h = mw->history();
                        auto &v = staging->v;
                        staging->take(h.vel1, h.vel2, h.vel3);
                        view->setVelocity(v[0], v[1], v[2]);
                        view->setDisplayLength(mw->historyLimit());
                    }));

    window.bindView(ViewKind::RealLocation,
                    binding<RealLocationQWidget>([mw, staging](RealLocationQWidget *view) {
                        const SampleHistory &h = mw->history();
                        auto &v = staging->v;
                        staging->take(h.latitude, h.longitude, h.altitude);
                        view->setPosition(v[0], v[1], v[2]);
                        view->setDisplayLength(mw->historyLimit());
                    }));

    // The 3D view: the quaternion only when the pass brought one (that series holds the
    // current pass only); the angles and the temperature always. Its setters schedule one
    // coalesced repaint.
    window.bindView(ViewKind::Display3D, binding<combineWidget>([mw](combineWidget *view) {
                        const SampleHistory &h = mw->history();
                        if (!h.q0.isEmpty())
                            view->setQuaternion(h.q0.last(), h.q1.last(), h.q2.last(), h.q3.last());
                        view->setAngles(float(newest(h.pitch)), float(newest(h.roll)),
                                        float(newest(h.yaw)));
                        view->setTemperature(mw->latestTemperature());
                    }));

    // The read-outs are fed by the parse pass, only when it carried their texts.
    window.bindView(ViewKind::Temperature, binding<Temperature>([mw](Temperature *view) {
                        const QString c = mw->parser().temperatureCelsiusText();
                        const QString f = mw->parser().temperatureFahrenheitText();
                        if (!c.isEmpty() && !f.isEmpty())
                            view->setTemperatureTexts(c, f);
                    }));

    window.bindView(ViewKind::Utc, binding<UTCWidget>([mw](UTCWidget *view) {
                        const QString text = mw->parser().utcText();
                        if (!text.isEmpty())
                            view->setUtcText(text);
                    }));

    window.bindView(ViewKind::CombinedState,
                    binding<Combined_State_Widget>([mw](Combined_State_Widget *view) {
                        const QString ins = mw->parser().insText();
                        const QString gnss = mw->parser().gnssText();
                        if (!ins.isEmpty() && !gnss.isEmpty())
                            view->setStateTexts(ins, gnss);
                    }));
}
