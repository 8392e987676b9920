#pragma once

#include "StartSettings.h"

#include <memory>

class QSettings;

namespace adc {

/// The choices made in the start dialog or the window's menu, kept from one start of the
/// program to the next. The file is opened only once the user has chosen something: a program
/// started without the dialog, whose menu is not used, reads and writes no settings.
///
/// The recording's file is not kept (the next start would add to it unasked), only its folder.
class ChoiceStore {
public:
    /// The desktop's usual place for the program's settings
    /// ($XDG_CONFIG_HOME/adconverter/adconverter.conf, ~/.config unless set).
    static std::unique_ptr<QSettings> openUserSettings();

    /// What `settings` holds; anything missing or not understood is left as in `defaults`.
    static StartSettings load(const QSettings &settings, const StartSettings &defaults = {});
    /// Keeps `choices` in `settings`.
    static void save(QSettings &settings, const StartSettings &choices);
};

} // namespace adc
