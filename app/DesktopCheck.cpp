#include "DesktopCheck.h"

#include <QtGlobal>

#include <xcb/xcb.h>

#include <memory>

namespace adc {

namespace {

const char kWithout[] = "Without one, start the program on a virtual display (xvfb-run -a "
                        "adconverter), or log without a window (adconverter --headless, see "
                        "adconverter --help).";

} // namespace

QString DesktopCheck::problem()
{
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    const bool wayland = platform.isEmpty() && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (wayland || (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb")))) {
        return {};
    }
    const QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty()) {
        return QStringLiteral("a graphical desktop is needed (DISPLAY or WAYLAND_DISPLAY is not "
                              "set). ") +
               QLatin1String(kWithout);
    }
    // The same connection Qt is about to make, tried first. It stays open while the program
    // runs: an X server whose only client disconnects starts afresh (Xvfb does, as xvfb-run
    // starts it), and Qt's own connection, made a moment later, would find it resetting.
    static const std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t *)> connection(
        xcb_connect(nullptr, nullptr), xcb_disconnect);
    if (xcb_connection_has_error(connection.get()) == 0) {
        return {};
    }
    return QStringLiteral("the display %1 cannot be reached (no X server answers there, or it "
                          "refused this program). ")
               .arg(display) +
           QLatin1String(kWithout);
}

} // namespace adc
