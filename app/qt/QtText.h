#pragma once

// The program's texts are bytes (drive identifications are whatever the drive returned);
// they cross into Qt as Latin-1, one character per byte, so they come back unchanged.

#include <QString>
#include <string>
#include <string_view>

namespace flashtool {

inline QString ToQString(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToBytes(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace flashtool
