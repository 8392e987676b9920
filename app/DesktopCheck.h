#pragma once

#include <QString>

namespace adc {

/// Whether the window can be shown, asked before Qt is: Qt aborts (status 134, with a hint about
/// reinstalling it) when its window system cannot be reached.
class DesktopCheck {
public:
    /// Why no window can be shown here, with what to do instead; empty when one can (or when a
    /// window system other than X is chosen, which Qt is left to judge).
    static QString problem();
};

} // namespace adc
