#include "DeviceName.h"

#include <QByteArrayView>

namespace adc {

namespace {

constexpr char16_t kKeptByte = 0xDC00;

bool isKeptByte(QChar c)
{
    return c.unicode() >= kKeptByte + 0x80 && c.unicode() <= kKeptByte + 0xFF;
}

/// Whether `name` came from bytes that are not UTF-8: ASCII and kept bytes only, one at least.
bool holdsKeptBytes(const QString &name)
{
    bool kept = false;
    for (const QChar c : name) {
        if (isKeptByte(c)) {
            kept = true;
        } else if (c.unicode() >= 0x80) {
            return false;
        }
    }
    return kept;
}

} // namespace

QString DeviceName::fromBytes(const QByteArray &bytes)
{
    if (QByteArrayView(bytes).isValidUtf8()) {
        return QString::fromUtf8(bytes);
    }
    QString name;
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        name += b < 0x80 ? QChar(b) : QChar(char16_t(kKeptByte + b));
    }
    return name;
}

QByteArray DeviceName::toBytes(const QString &name)
{
    if (!holdsKeptBytes(name)) {
        return name.toUtf8();
    }
    QByteArray bytes;
    for (const QChar c : name) {
        bytes += static_cast<char>(isKeptByte(c) ? c.unicode() - kKeptByte : c.unicode());
    }
    return bytes;
}

QByteArray DeviceName::filePath(const QString &name)
{
    QByteArray bytes = toBytes(name);
    if (!bytes.startsWith('/') && !bytes.startsWith("./") && !bytes.startsWith("../")) {
        bytes.prepend("/dev/");
    }
    return bytes;
}

QString DeviceName::shown(const QString &name)
{
    QString text = name;
    if (holdsKeptBytes(name)) {
        text.clear();
        for (const QChar c : name) {
            text += isKeptByte(c) ? QStringLiteral("\\x%1").arg(c.unicode() - kKeptByte, 2, 16)
                                  : QString(c);
        }
    }
    if (text.size() <= kShownLength) {
        return text;
    }
    const qsizetype kept = (kShownLength - 1) / 2;
    return text.left(kept) + QChar(0x2026) + text.right(kept);
}

} // namespace adc
