#include "ScopeKeys.h"

#include <algorithm>
#include <iterator>

namespace adc {

namespace {

using Row = ScopeKeys::Row;

// In the order of ScopeKeys::Action.
constexpr Row kActions[] = {
    {"Pause", "Space", "pause or resume the view (the run goes on)"},
    {"Fit all", "Home", "show the whole run"},
    {"Save PNG", "Ctrl+S", "save the plot as a PNG picture"},
    {"Export CSV", "Ctrl+E", "write the records in view as a recording (raw counts)"},
    {"Measurements", "Ctrl+M", "show the measurements of each channel between the markers"},
    {"Trigger", "Ctrl+T", "hold a repeating signal still at a level"},
    {"Channels", "Ctrl+U", "name the channels and set their units"},
    {"Line view", "Ctrl+L", "show the lines as they came from the port, and send one back"},
};

constexpr Row kGestures[] = {
    {"", "Wheel", "zoom in time around the mouse (with Ctrl: in value)"},
    {"", "Drag", "move along the run"},
    {"", "Double click", "show the whole run"},
    {"", "Click", "set marker A (with Shift: marker B)"},
    {"", "Click a name", "hide or show that channel"},
    {"", "Right click", "the actions above as a menu"},
};

} // namespace

const ScopeKeys::Row &ScopeKeys::row(Action action)
{
    return kActions[static_cast<std::size_t>(action)];
}

std::span<const ScopeKeys::Row> ScopeKeys::actions()
{
    return kActions;
}

std::span<const ScopeKeys::Row> ScopeKeys::gestures()
{
    return kGestures;
}

std::string ScopeKeys::helpText(int indent)
{
    std::size_t width = 0;
    for (const std::span<const Row> rows : {actions(), gestures()}) {
        for (const Row &r : rows) {
            width = std::max(width, r.keys.size());
        }
    }
    std::string text;
    for (const std::span<const Row> rows : {actions(), gestures()}) {
        for (const Row &r : rows) {
            text.append(static_cast<std::size_t>(indent), ' ');
            text.append(r.keys);
            text.append(width - r.keys.size() + 2, ' ');
            text.append(r.does);
            text += '\n';
        }
    }
    return text;
}

} // namespace adc
