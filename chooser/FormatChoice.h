#pragma once

#include "ModeTable.h"

#include <QString>

#include <array>

class QComboBox;

namespace adc {

/// What the lines on the port are, as the start dialog and the windows offer it.
class FormatChoice {
public:
    /// Every format, in the order offered.
    static constexpr std::array<Format, 3> kFormats = {Format::Board, Format::Csv,
                                                       Format::KeyValue};

    /// The format for people, with an example of its lines: "Lines of numbers (CSV):
    /// 23.5,1013.2,40".
    static QString label(Format format);
    /// Fills `list` with every format, each entry's data its Format as an int, and selects
    /// `current`.
    static void fill(QComboBox &list, Format current);
    /// The format `list`'s entry shows.
    static Format chosen(const QComboBox &list);
};

} // namespace adc
