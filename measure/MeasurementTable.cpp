#include "MeasurementTable.h"

#include <array>
#include <charconv>

namespace adc {

namespace {

constexpr std::array<std::string_view, 9> kColumns = {
    "channel", "records", "min", "max", "mean", "std", "rms", "pp", "frequency"};
// The table's columns: the label's, then each figure's.
constexpr std::size_t kLabelWidth = 16;
constexpr std::size_t kFigureWidth = 12;

/// `text` as one CSV field: quoted when it holds a comma, a quote or a line end.
std::string csvField(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + '"';
}

void pad(std::string &line, std::string_view field, std::size_t width, bool left)
{
    const std::size_t fill = field.size() < width ? width - field.size() : 0;
    if (!left) {
        line.append(fill, ' ');
    }
    line += field;
    if (left) {
        line.append(fill, ' ');
    }
}

} // namespace

std::string MeasurementTable::header() const
{
    std::string line;
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
        if (m_style == Style::Csv) {
            line += c == 0 ? "" : ",";
            line += kColumns[c];
        } else {
            pad(line, kColumns[c], c == 0 ? kLabelWidth : kFigureWidth, c == 0);
        }
    }
    return line + '\n';
}

std::string MeasurementTable::number(double value) const
{
    // Enough digits for a report: seven in CSV (what the index's extremes hold), five in the
    // table so that every figure fits its column.
    std::array<char, 64> text{};
    const int digits = m_style == Style::Csv ? 7 : 5;
    const auto end = std::to_chars(text.data(), text.data() + text.size(), value,
                                   std::chars_format::general, digits)
                         .ptr;
    return std::string(text.data(), end);
}

std::string MeasurementTable::row(const Measurement &m, std::string_view label) const
{
    const bool any = m.records > 0;
    const std::array<std::string, 9> fields = {m_style == Style::Csv ? csvField(label)
                                                                     : std::string(label),
                                               std::to_string(m.records),
                                               any ? number(m.min) : "",
                                               any ? number(m.max) : "",
                                               any ? number(m.mean) : "",
                                               any ? number(m.std) : "",
                                               any ? number(m.rms) : "",
                                               any ? number(m.peakToPeak) : "",
                                               m.frequency ? number(*m.frequency) : ""};
    std::string line;
    for (std::size_t c = 0; c < fields.size(); ++c) {
        if (m_style == Style::Csv) {
            line += c == 0 ? "" : ",";
            line += fields[c];
        } else {
            pad(line, fields[c], c == 0 ? kLabelWidth : kFigureWidth, c == 0);
            line += c == 0 && fields[c].size() >= kLabelWidth ? " " : "";
        }
    }
    // No blanks after an empty frequency.
    line.erase(line.find_last_not_of(' ') + 1);
    return line + '\n';
}

std::string MeasurementTable::label(const ChannelUnits *units, int channel,
                                    std::string_view runName)
{
    if (units == nullptr) {
        return std::string(runName);
    }
    std::string text = units->name(channel, runName);
    if (!units->unit(channel).empty()) {
        text += " (" + units->unit(channel) + ")";
    }
    return text;
}

} // namespace adc
