#include "FormatChoice.h"

#include <QComboBox>
#include <QCoreApplication>

namespace adc {

QString FormatChoice::label(Format format)
{
    switch (format) {
    case Format::Board:
        return QCoreApplication::translate("FormatChoice", "The A/D board's records (PIC, MCP)");
    case Format::Csv:
        return QCoreApplication::translate("FormatChoice",
                                           "Lines of numbers (CSV): 23.5,1013.2,40");
    case Format::KeyValue:
        return QCoreApplication::translate("FormatChoice", "name:value pairs: temp:23.5 hum:40");
    }
    return {};
}

void FormatChoice::fill(QComboBox &list, Format current)
{
    list.clear();
    for (const Format format : kFormats) {
        list.addItem(label(format), static_cast<int>(format));
    }
    list.setCurrentIndex(list.findData(static_cast<int>(current)));
}

Format FormatChoice::chosen(const QComboBox &list)
{
    return static_cast<Format>(list.currentData().toInt());
}

} // namespace adc
