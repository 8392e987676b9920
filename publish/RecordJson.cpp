#include "RecordJson.h"

#include "RecordingFormat.h"

#include <array>
#include <charconv>
#include <cmath>

namespace adc {

namespace {

char *put(char *out, std::string_view text)
{
    return std::copy(text.begin(), text.end(), out);
}

/// The longest object: the fixed fields and the most channels, with their longest names and
/// values.
constexpr std::size_t kLongestObject =
    256 +
    kMaxTextChannels * (RecordingFormat::kMaxColumnName + 8 + RecordingFormat::kMaxValueLength);

} // namespace

RecordJson::RecordJson()
{
    for (int k = 0; k < kMaxTextChannels; ++k) {
        m_keys.push_back(",\"ch" + std::to_string(k) + "\":");
    }
}

void RecordJson::setNames(std::span<const std::string> names)
{
    m_keys.clear();
    for (const std::string &column : RecordingFormat::columnNames(names)) {
        m_keys.push_back(",\"" + column + "\":");
    }
}

void RecordJson::add(const AcceptedRecord &record)
{
    if (m_closed) {
        clear();
    }
    std::array<char, kLongestObject> text;
    char *out = text.data();
    if (m_records > 0) {
        *out++ = ',';
    }
    out = put(out, "{\"time\":\"");
    out = put(out, m_fields.time());
    out = put(out, "\",\"seconds\":");
    out = put(out, m_fields.seconds());
    out = put(out, ",\"run\":");
    out = put(out, m_fields.run());
    out = put(out, ",\"mode\":\"");
    out = put(out, RowFields::mode(record.mode));
    out = put(out, "\",\"count\":");
    out = RowFields::writeCount(out, record.count);
    for (std::size_t k = 0; k < record.values.size() && k < m_keys.size(); ++k) {
        out = put(out, m_keys[k]);
        const double value = record.values[k];
        out = std::isfinite(value) ? RowFields::writeValue(out, value) : put(out, "null");
    }
    *out++ = '}';
    m_buffer.append(text.data(), static_cast<std::size_t>(out - text.data()));
    ++m_records;
}

std::string_view RecordJson::message()
{
    if (m_records > 1 && !m_closed) {
        m_buffer.push_back(']');
        m_closed = true;
    }
    // The opening bracket is there from the start and left out for a single object.
    const std::string_view all = m_buffer;
    return m_records > 1 ? all : all.substr(1);
}

void RecordJson::clear()
{
    m_buffer.resize(1);
    m_records = 0;
    m_closed = false;
}

} // namespace adc
