#pragma once

#include "StartSettings.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace adc {

class PortScanner;

/// `adconverter --choose`: the dialog before the main window. Port 1's device (the serial ports
/// found, the simulated board, or any other device file), the line speed, what the lines are
/// (the board's records, CSV or name:value lines), the run to start, a recording and the
/// window's options. OK checks the device first and, when it cannot be
/// opened, says why (a second OK goes on all the same); Cancel leaves the choices unmade.
///
/// The controls are public members, as the main window's are.
class StartDialog : public QDialog {
    Q_OBJECT

public:
    /// What the "Device" list holds in each entry's data: a device's path, or one of these.
    static constexpr const char *kSimulatedEntry = ":simulated";
    static constexpr const char *kOtherEntry = ":other";

    /// Shows `defaults`, and the ports `scanner` finds as they are found.
    StartDialog(const StartSettings &defaults, PortScanner &scanner, QWidget *parent = nullptr);

    /// The settings the dialog was given, with what its controls show now.
    StartSettings choices() const;
    /// Adds `device` to the list and selects it: what "Other device..." does once a file is
    /// chosen.
    void chooseOtherDevice(const QString &device);
    /// Shows a warning under the controls, e.g. why the recording's file cannot be had.
    void warn(const QString &text);

    QComboBox *device;
    QLabel *portsNote; ///< "Looking for serial ports..." until the first scan has ended
    QComboBox *speed;
    QComboBox *format;
    QSpinBox *channels; ///< a CSV line's values; 0: as many as the first line has
    QComboBox *mode;
    QCheckBox *record;
    QLineEdit *recordPath;
    QPushButton *recordBrowse;
    QCheckBox *sweep;
    QCheckBox *reconnect;
    QCheckBox *scope;
    QLabel *warning;
    QDialogButtonBox *buttons;

public slots:
    void accept() override;

private:
    static constexpr int kMinimumWidth = 520;

    void createControls();
    /// Shows `defaults` in the controls.
    void showSettings(const StartSettings &defaults);
    void layOut();
    void fillDevices();
    void deviceActivated(int index);
    void browseRecording();
    /// Offers what goes with the format chosen: the board's run to start and its chart, or the
    /// count of a CSV line's values.
    void formatChosen();
    QString chosenDevice() const;

    PortScanner &m_scanner;
    const StartSettings m_defaults;
    /// Devices listed beyond those found: the default one and any chosen as another device.
    QStringList m_extraDevices;
    QString m_current;
    /// Why the device could not be opened, as last told; OK with the same reason goes on.
    QString m_toldReason;
    QString m_recordFolder;
};

} // namespace adc
