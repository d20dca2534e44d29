// Reader of the fixed file version (VS_FIXEDFILEINFO) of a PE image (.exe, .dll). Portable: it
// parses the bytes, never trusts them, and gives up on anything malformed.
#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

namespace tivra::platform {

using PeFileVersion = std::array<quint16, 4>;

std::optional<PeFileVersion> readPeFileVersion(const QByteArray &image);
std::optional<PeFileVersion> readPeFileVersionFromFile(const QString &path);

}  // namespace tivra::platform
