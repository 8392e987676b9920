#include "ChannelDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace adc {

namespace {

const QString kGroup = QStringLiteral("scope/channels");

QString numberText(double v)
{
    return QString::number(v, 'g', 17);
}

} // namespace

ChannelDialog::ChannelDialog(const ChannelUnits &units, const QStringList &runNames,
                             QWidget *parent)
    : QDialog(parent), m_problem(new QLabel(this)), m_units(units)
{
    setWindowTitle(tr("Channels"));
    auto *grid = new QGridLayout;
    const QStringList titles{tr("Name"), tr("Gain (units per count)"), tr("Offset"), tr("Unit")};
    for (int c = 0; c < titles.size(); ++c) {
        grid->addWidget(new QLabel(titles[c], this), 0, c + 1);
    }
    for (int k = 0; k < runNames.size(); ++k) {
        const ChannelUnits::Channel &channel = units.channel(k);
        std::array<QLineEdit *, 4> row{};
        const QString texts[4] = {QString::fromStdString(channel.name), numberText(channel.gain),
                                  numberText(channel.offset), QString::fromStdString(channel.unit)};
        for (int c = 0; c < 4; ++c) {
            row[static_cast<std::size_t>(c)] = new QLineEdit(texts[c], this);
            grid->addWidget(row[static_cast<std::size_t>(c)], k + 1, c + 1);
        }
        row[0]->setPlaceholderText(runNames[k]);
        row[1]->setToolTip(tr("Units per count; a fraction such as 5/1023 is fine"));
        grid->addWidget(new QLabel(runNames[k], this), k + 1, 0);
        m_fields.push_back(row);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_keepButton = buttons->addButton(tr("Keep"), QDialogButtonBox::ActionRole);
    m_keepButton->setToolTip(tr("Use these and keep them for the next time"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { finish(false); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_keepButton, &QPushButton::clicked, this, [this] { finish(true); });
    m_problem->setStyleSheet(QStringLiteral("color: #c00000"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Shown value = count x gain + offset. The recording keeps "
                                    "the counts."),
                                 this));
    layout->addLayout(grid);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
}

QLineEdit *ChannelDialog::field(int channel, int column) const
{
    return m_fields[static_cast<std::size_t>(channel)][static_cast<std::size_t>(column)];
}

bool ChannelDialog::read()
{
    ChannelUnits units = m_units;
    for (std::size_t k = 0; k < m_fields.size(); ++k) {
        const auto &row = m_fields[k];
        const std::optional<double> gain = ChannelUnits::number(row[1]->text().toStdString());
        const std::optional<double> offset = ChannelUnits::number(row[2]->text().toStdString());
        if (!gain || *gain == 0.0 || !offset) {
            m_problem->setText(tr("Channel %1: the gain needs a number other than 0 (such as "
                                  "5/1023) and the offset a number.")
                                   .arg(k));
            (!gain || *gain == 0.0 ? row[1] : row[2])->setFocus();
            return false;
        }
        units.set(static_cast<int>(k), {row[0]->text().trimmed().toStdString(), *gain, *offset,
                                        row[3]->text().trimmed().toStdString()});
    }
    m_units = units;
    return true;
}

void ChannelDialog::finish(bool keep)
{
    if (read()) {
        m_keep = keep;
        accept();
    }
}

ChannelUnits ChannelDialog::kept(QSettings &settings)
{
    ChannelUnits units;
    settings.beginGroup(kGroup);
    for (const QString &key : settings.childGroups()) {
        bool ok = false;
        const int k = key.toInt(&ok);
        const std::optional<double> gain = ChannelUnits::number(
            settings.value(key + QStringLiteral("/gain")).toString().toStdString());
        const std::optional<double> offset = ChannelUnits::number(
            settings.value(key + QStringLiteral("/offset")).toString().toStdString());
        if (ok && gain && *gain != 0.0 && offset) {
            units.set(k, {settings.value(key + QStringLiteral("/name")).toString().toStdString(),
                          *gain, *offset,
                          settings.value(key + QStringLiteral("/unit")).toString().toStdString()});
        }
    }
    settings.endGroup();
    return units;
}

void ChannelDialog::keepIn(QSettings &settings, const ChannelUnits &units)
{
    settings.remove(kGroup);
    settings.beginGroup(kGroup);
    for (int k = 0; k < ChannelUnits::kMostChannels; ++k) {
        const ChannelUnits::Channel &c = units.channel(k);
        if (c == ChannelUnits::Channel{}) {
            continue;
        }
        const QString key = QString::number(k) + QLatin1Char('/');
        settings.setValue(key + QStringLiteral("name"), QString::fromStdString(c.name));
        settings.setValue(key + QStringLiteral("gain"), numberText(c.gain));
        settings.setValue(key + QStringLiteral("offset"), numberText(c.offset));
        settings.setValue(key + QStringLiteral("unit"), QString::fromStdString(c.unit));
    }
    settings.endGroup();
}

} // namespace adc
