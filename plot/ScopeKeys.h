#pragma once

#include <span>
#include <string>
#include <string_view>

namespace adc {

/// The scope's actions, their keys and what they do, and what the mouse does on the plot: the
/// toolbar, the right-click menu, the tooltips, --help and so the manual page read them here.
class ScopeKeys {
public:
    enum class Action {
        Pause,
        FitAll,
        SavePicture,
        ExportCsv,
        Measurements,
        Trigger,
        Channels,
        LineView
    };
    struct Row {
        std::string_view name; ///< the button's text ("Pause")
        std::string_view keys; ///< as QKeySequence reads them in portable text ("Ctrl+S")
        std::string_view does; ///< from a small letter, without a full stop
    };

    static const Row &row(Action action);
    /// Every action, in the toolbar's order.
    static std::span<const Row> actions();
    /// The mouse on the plot.
    static std::span<const Row> gestures();
    /// "keys  what they do", a line each, indented by `indent` spaces.
    static std::string helpText(int indent);
};

} // namespace adc
