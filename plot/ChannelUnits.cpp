#include "ChannelUnits.h"

#include "NumberText.h"

#include <algorithm>
#include <cmath>

namespace adc {

namespace {

const ChannelUnits::Channel kDefault;

/// The fields of `text` between colons.
std::vector<std::string_view> fieldsOf(std::string_view text)
{
    std::vector<std::string_view> fields;
    for (std::size_t at = 0;;) {
        const std::size_t colon = text.find(':', at);
        fields.push_back(text.substr(at, colon - at));
        if (colon == std::string_view::npos) {
            return fields;
        }
        at = colon + 1;
    }
}

} // namespace

std::optional<double> ChannelUnits::number(std::string_view text)
{
    const std::size_t slash = text.find('/');
    std::optional<double> value = numberFromText(text.substr(0, slash));
    if (value && slash != std::string_view::npos) {
        const std::optional<double> below = numberFromText(text.substr(slash + 1));
        value = below && *below != 0.0 ? std::optional(*value / *below) : std::nullopt;
    }
    return value && std::isfinite(*value) ? value : std::nullopt;
}

namespace {

std::optional<ChannelUnits::Setting> refused(std::string &error, std::string why)
{
    error = std::move(why);
    return std::nullopt;
}

} // namespace

std::optional<ChannelUnits::Setting> ChannelUnits::parse(std::string_view text, std::string &error)
{
    const std::vector<std::string_view> fields = fieldsOf(text);
    if (fields.size() > 5) {
        return refused(error, "--channel takes N:NAME:GAIN:OFFSET:UNIT, not '" + std::string(text) +
                                  "' (a field holds no colon).");
    }
    Setting setting;
    const std::optional<double> channel = numberFromText(fields[0]);
    if (!channel || *channel != std::floor(*channel) || *channel < 0 || *channel >= kMostChannels) {
        return refused(error, "--channel needs a channel number from 0 to " +
                                  std::to_string(kMostChannels - 1) + " first, not '" +
                                  std::string(fields[0]) + "'.");
    }
    setting.channel = static_cast<int>(*channel);
    const auto field = [&fields](std::size_t i) {
        return i < fields.size() ? fields[i] : std::string_view();
    };
    if (!field(1).empty()) {
        setting.name = std::string(field(1));
    }
    if (!field(2).empty()) {
        setting.gain = number(field(2));
        if (!setting.gain || *setting.gain == 0.0) {
            return refused(error, "--channel needs a gain such as 0.5 or 5/1023, not 0, not '" +
                                      std::string(field(2)) + "'.");
        }
    }
    if (!field(3).empty()) {
        setting.offset = number(field(3));
        if (!setting.offset) {
            return refused(error, "--channel needs an offset such as -2.5, not '" +
                                      std::string(field(3)) + "'.");
        }
    }
    if (!field(4).empty()) {
        setting.unit = std::string(field(4));
    }
    return setting;
}

void ChannelUnits::apply(const Setting &setting)
{
    Channel c = channel(setting.channel);
    c.name = setting.name.value_or(c.name);
    c.gain = setting.gain.value_or(c.gain);
    c.offset = setting.offset.value_or(c.offset);
    c.unit = setting.unit.value_or(c.unit);
    set(setting.channel, c);
}

void ChannelUnits::set(int channel, const Channel &settings)
{
    const auto k = static_cast<std::size_t>(channel);
    if (channel < 0 || channel >= kMostChannels) {
        return;
    }
    if (m_channels.size() <= k) {
        m_channels.resize(k + 1);
    }
    m_channels[k] = settings;
}

const ChannelUnits::Channel &ChannelUnits::channel(int channel) const
{
    const auto k = static_cast<std::size_t>(channel);
    return channel >= 0 && k < m_channels.size() ? m_channels[k] : kDefault;
}

bool ChannelUnits::isDefault() const
{
    return std::all_of(m_channels.begin(), m_channels.end(),
                       [](const Channel &c) { return c == kDefault; });
}

bool ChannelUnits::operator==(const ChannelUnits &other) const
{
    const std::size_t n = std::max(m_channels.size(), other.m_channels.size());
    for (std::size_t k = 0; k < n; ++k) {
        if (!(channel(static_cast<int>(k)) == other.channel(static_cast<int>(k)))) {
            return false;
        }
    }
    return true;
}

double ChannelUnits::toUnits(int channel, double raw) const
{
    const Channel &c = this->channel(channel);
    return raw * c.gain + c.offset;
}

double ChannelUnits::toRaw(int channel, double value) const
{
    const Channel &c = this->channel(channel);
    return (value - c.offset) / c.gain;
}

bool ChannelUnits::scaled(int channel) const
{
    const Channel &c = this->channel(channel);
    return c.gain != 1.0 || c.offset != 0.0 || !c.unit.empty();
}

std::string ChannelUnits::name(int channel, std::string_view runName) const
{
    const Channel &c = this->channel(channel);
    return c.name.empty() ? std::string(runName) : c.name;
}

bool ChannelUnits::sameScale(int a, int b) const
{
    const Channel &x = channel(a);
    const Channel &y = channel(b);
    return x.gain == y.gain && x.offset == y.offset && x.unit == y.unit;
}

} // namespace adc
