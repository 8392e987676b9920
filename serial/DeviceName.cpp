#include "DeviceName.h"

namespace adc {

namespace {

constexpr char16_t kKeptByte = 0xDC00;

/// The length of the valid UTF-8 character at the start of `s` (`left` bytes), or 0.
int characterLength(const unsigned char *s, qsizetype left)
{
    const unsigned char lead = s[0];
    int length = 0;
    char32_t code = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (left < length) {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (s[i] & 0x3F);
    }
    // No overlong forms, no surrogates, nothing past U+10FFFF.
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool valid =
        code >= least[length] && (code < 0xD800 || code > 0xDFFF) && code <= 0x10FFFF;
    return valid ? length : 0;
}

/// Whether `name[i]` stands for a kept byte (and is not the second half of a character).
bool isKeptByte(const QString &name, qsizetype i)
{
    const char16_t c = name[i].unicode();
    return c >= kKeptByte + 0x80 && c <= kKeptByte + 0xFF &&
           (i == 0 || !name[i - 1].isHighSurrogate());
}

} // namespace

QString DeviceName::fromBytes(const QByteArray &bytes)
{
    QString name;
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.constData());
    for (qsizetype i = 0; i < bytes.size();) {
        const int length = characterLength(s + i, bytes.size() - i);
        if (length == 0) {
            name += QChar(char16_t(kKeptByte + s[i]));
            ++i;
        } else {
            name += QString::fromUtf8(bytes.constData() + i, length);
            i += length;
        }
    }
    return name;
}

QByteArray DeviceName::toBytes(const QString &name)
{
    QByteArray bytes;
    qsizetype plain = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        if (i == name.size() || isKeptByte(name, i)) {
            bytes += QStringView(name).mid(plain, i - plain).toUtf8();
            if (i < name.size()) {
                bytes += static_cast<char>(name[i].unicode() - kKeptByte);
            }
            plain = i + 1;
        }
    }
    return bytes;
}

QString DeviceName::shown(const QString &name)
{
    QString text;
    for (qsizetype i = 0; i < name.size(); ++i) {
        text += isKeptByte(name, i) ? QStringLiteral("\\x%1").arg(name[i].unicode() - kKeptByte, 2,
                                                                  16, QLatin1Char('0'))
                                    : QString(name[i]);
    }
    if (text.size() <= kShownLength) {
        return text;
    }
    const qsizetype kept = (kShownLength - 1) / 2;
    return text.left(kept) + QChar(0x2026) + text.right(kept);
}

} // namespace adc
