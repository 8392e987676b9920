#include "StartChoices.h"

#include "CommandLine.h"

namespace adc {

StartChoices StartChoices::of(const CommandLine &commandLine)
{
    StartChoices choices;
    choices.device = commandLine.port1Device();
    choices.simulated = commandLine.demo();
    choices.baud = commandLine.lineSettings().baud;
    choices.recordPath = commandLine.recordPath();
    choices.sweep = commandLine.sweep();
    choices.reconnect = commandLine.reconnect();
    choices.scope = commandLine.scope();
    return choices;
}

StartChoices StartChoices::overriddenBy(const CommandLine &commandLine) const
{
    StartChoices choices = *this;
    if (commandLine.portGiven()) {
        choices.device = commandLine.port1Device();
        choices.simulated = false;
    }
    if (commandLine.demo()) {
        choices.simulated = true;
    }
    if (commandLine.baudGiven()) {
        choices.baud = commandLine.lineSettings().baud;
    }
    if (!commandLine.recordPath().isEmpty()) {
        choices.recordPath = commandLine.recordPath();
    }
    choices.sweep = choices.sweep || commandLine.sweep();
    choices.reconnect = choices.reconnect || commandLine.reconnect();
    choices.scope = choices.scope || commandLine.scope();
    return choices;
}

} // namespace adc
