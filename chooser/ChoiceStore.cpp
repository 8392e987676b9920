#include "ChoiceStore.h"
#include "LineSettings.h"
#include "ModeTable.h"

#include <QSettings>

namespace adc {

namespace {

const QString kDevice = QStringLiteral("port/device");
const QString kSimulated = QStringLiteral("port/simulated");
const QString kBaud = QStringLiteral("port/baud");
const QString kReconnect = QStringLiteral("port/reconnect");
const QString kMode = QStringLiteral("run/mode");
const QString kFormat = QStringLiteral("run/format");
const QString kChannels = QStringLiteral("run/channels");
const QString kSweep = QStringLiteral("chart/sweep");
const QString kScope = QStringLiteral("window/scope");
const QString kRecordFolder = QStringLiteral("recording/folder");

QString modeName(const std::optional<Mode> &mode)
{
    if (!mode) {
        return QStringLiteral("none");
    }
    return QString::fromLatin1(modeInfo(*mode).optionName);
}

} // namespace

std::unique_ptr<QSettings> ChoiceStore::openUserSettings()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("adconverter"),
                                       QStringLiteral("adconverter"));
}

StartSettings ChoiceStore::load(const QSettings &settings, const StartSettings &defaults)
{
    StartSettings choices = defaults;
    if (const QString device = settings.value(kDevice).toString(); !device.isEmpty()) {
        choices.device = device;
    }
    choices.simulated = settings.value(kSimulated, defaults.simulated).toBool();
    if (const auto baud = LineSettings::readBaud(settings.value(kBaud).toString().toStdString())) {
        choices.baud = *baud;
    }
    const QString mode = settings.value(kMode).toString();
    if (const std::optional<Mode> named = modeForOption(mode.toStdString())) {
        choices.mode = named;
    } else if (mode == QLatin1String("none")) {
        choices.mode.reset();
    }
    const QString format = settings.value(kFormat).toString();
    choices.format = formatForOption(format.toStdString()).value_or(defaults.format);
    const int channels = settings.value(kChannels, defaults.channels).toInt();
    choices.channels = channels >= 0 && channels <= kMaxTextChannels ? channels : defaults.channels;
    choices.recordFolder = settings.value(kRecordFolder, defaults.recordFolder).toString();
    choices.sweep = settings.value(kSweep, defaults.sweep).toBool();
    choices.reconnect = settings.value(kReconnect, defaults.reconnect).toBool();
    choices.scope = settings.value(kScope, defaults.scope).toBool();
    return choices;
}

void ChoiceStore::save(QSettings &settings, const StartSettings &choices)
{
    settings.setValue(kDevice, choices.device);
    settings.setValue(kSimulated, choices.simulated);
    settings.setValue(kBaud, choices.baud);
    settings.setValue(kMode, modeName(choices.mode));
    settings.setValue(kFormat, QString::fromLatin1(formatOptionName(choices.format)));
    settings.setValue(kChannels, choices.channels);
    settings.setValue(kRecordFolder, choices.recordFolder);
    settings.setValue(kSweep, choices.sweep);
    settings.setValue(kReconnect, choices.reconnect);
    settings.setValue(kScope, choices.scope);
}

} // namespace adc
