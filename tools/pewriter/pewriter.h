// Builds small but well-formed PE images (PE32 or PE32+) with a chosen fixed file version: .exe or
// .dll files with or without a version resource, for the tests and for the demo site (tivra-pe-file).
#pragma once

#include <QByteArray>
#include <QString>
#include <array>

namespace tivra::pewriter {

using PeVersion = std::array<quint16, 4>;

enum class PeFormat { Pe32, Pe32Plus };

enum class PeResources {
    Version,         // a .rsrc section with an RT_VERSION resource
    None,            // no resource section at all
    WithoutVersion,  // a .rsrc section holding only a manifest (RT_MANIFEST), no RT_VERSION
};

struct PeImageOptions {
    PeFormat format = PeFormat::Pe32;
    PeResources resources = PeResources::Version;
    PeVersion fileVersion{1, 0, 0, 0};
    PeVersion productVersion{1, 0, 0, 0};
    bool dll = true;  // a library image (else an executable)
};

// The image bytes.
QByteArray buildPeImage(const PeImageOptions &options);
// A PE32 library image with that file (and product) version.
QByteArray buildPeImage(const PeVersion &fileVersion);

// Writes the image to path, replacing the file. Returns false (and fills error) on failure.
bool writePeFile(const QString &path, const PeImageOptions &options, QString *error = nullptr);
bool writePeFile(const QString &path, const PeVersion &fileVersion, QString *error = nullptr);

}  // namespace tivra::pewriter
