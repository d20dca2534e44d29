#include "platform/pe.h"

#include "support/pewriter.h"
#include "testutil.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace tivra::platform;
using namespace tivra::platform::test;
using namespace tivra::testsupport;

namespace {

PeImageOptions optionsFor(PeFormat format, PeVersion version, PeResources resources = PeResources::Version, bool dll = true)
{
    PeImageOptions s;
    s.format = format;
    s.fileVersion = version;
    s.productVersion = {9, 8, 7, 6};
    s.resources = resources;
    s.dll = dll;
    return s;
}

void put32(QByteArray &image, qsizetype at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        image[at + i] = char(value >> (8 * i));
}

quint32 get32(const QByteArray &image, qsizetype at)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(image.at(at + i));
    return v;
}

// Offsets of the parts of a writer image, found by walking it the plain way.
struct Layout {
    qsizetype optional = 0;
    qsizetype resourceDirectoryEntry = 0;  // data directory 2 in the optional header
    qsizetype resourceSection = 0;         // file offset of .rsrc
    qsizetype fixedInfo = 0;               // VS_FIXEDFILEINFO
};

Layout layoutOf(const QByteArray &image)
{
    Layout l;
    const qsizetype pe = get32(image, 0x3C);
    l.optional = pe + 24;
    const bool plus = static_cast<unsigned char>(image.at(l.optional + 1)) == 2;
    l.resourceDirectoryEntry = l.optional + (plus ? 112 : 96) + 16;
    l.resourceSection = 0x400;
    l.fixedInfo = image.indexOf(QByteArray("\xBD\x04\xEF\xFE", 4));
    return l;
}

}  // namespace

TEST(PeReader, ReadsTheFixedFileVersionOfPe32AndPe32PlusImages)
{
    for (const PeFormat format : {PeFormat::Pe32, PeFormat::Pe32Plus}) {
        for (const bool dll : {true, false}) {
            const PeVersion version{2, 4, 107, 65535};
            EXPECT_EQ(readPeFileVersion(buildPeImage(optionsFor(format, version, PeResources::Version, dll))), version);
        }
        EXPECT_EQ(readPeFileVersion(buildPeImage(optionsFor(format, {0, 0, 0, 0}))), (PeFileVersion{0, 0, 0, 0}));
        EXPECT_FALSE(readPeFileVersion(buildPeImage(optionsFor(format, {1, 2, 3, 4}, PeResources::None))));
        EXPECT_FALSE(readPeFileVersion(buildPeImage(optionsFor(format, {1, 2, 3, 4}, PeResources::WithoutVersion))));
    }
}

TEST(PeReader, RejectsWhatIsNoPeImage)
{
    EXPECT_FALSE(readPeFileVersion(QByteArray()));
    EXPECT_FALSE(readPeFileVersion("MZ"));
    EXPECT_FALSE(readPeFileVersion(QByteArray(4096, '\0')));
    EXPECT_FALSE(readPeFileVersion("[Versoes]\r\nApp.dll=1.0.0.0\r\n"));
    QByteArray mzOnly(0x40, '\0');
    mzOnly[0] = 'M';
    mzOnly[1] = 'Z';
    put32(mzOnly, 0x3C, 0xFFFFFFF0);  // PE header offset far beyond the end
    EXPECT_FALSE(readPeFileVersion(mzOnly));
}

TEST(PeReader, RejectsHostileStructures)
{
    const QByteArray good = buildPeImage(PeVersion{1, 2, 3, 4});
    const Layout l = layoutOf(good);
    ASSERT_GT(l.fixedInfo, 0);
    ASSERT_TRUE(readPeFileVersion(good));
    const qsizetype rsrc = l.resourceSection;

    auto patched = [&](auto change) {
        QByteArray image = good;
        change(image);
        return readPeFileVersion(image);
    };
    // The type directory's entry points at the type directory itself: a loop a recursive reader
    // would follow forever.
    EXPECT_FALSE(patched([&](QByteArray &i) { put32(i, rsrc + 20, 0x80000000u); }));
    // The name directory points back at the root.
    EXPECT_FALSE(patched([&](QByteArray &i) { put32(i, rsrc + 44, 0x80000000u); }));
    // Entry counts far beyond the section, with no RT_VERSION among the entries that are there.
    EXPECT_FALSE(patched([&](QByteArray &i) { put32(i, rsrc + 12, 0xFFFFFFFFu); put32(i, rsrc + 16, 3); }));
    // Offsets and sizes that overflow 32 bits or leave the image.
    EXPECT_FALSE(patched([&](QByteArray &i) { put32(i, rsrc + 68, 0x7FFFFFFFu); }));
    EXPECT_FALSE(patched([&](QByteArray &i) { put32(i, rsrc + 72, 0xFFFFFFFCu); }));
    EXPECT_FALSE(patched([&](QByteArray &i) { put32(i, rsrc + 76, 0xFFFFFFFFu); }));
    EXPECT_FALSE(patched([&](QByteArray &i) { put32(i, l.resourceDirectoryEntry, 0xFFFFFFF0u); }));
    EXPECT_FALSE(patched([&](QByteArray &i) { i[l.optional - 4] = char(0xFF); i[l.optional - 3] = char(0xFF); }));
    EXPECT_FALSE(patched([&](QByteArray &i) { put32(i, l.optional + 92, 2); }));  // no resource directory slot
    EXPECT_FALSE(patched([&](QByteArray &i) { i[l.optional - 18] = char(0xFF); i[l.optional - 17] = char(0xFF); }));
    // A version block that claims more than the resource holds, a wrong key, a wrong signature.
    EXPECT_FALSE(patched([&](QByteArray &i) { i[rsrc + 88] = char(0xFF); i[rsrc + 89] = char(0xFF); }));
    EXPECT_FALSE(patched([&](QByteArray &i) { i[rsrc + 88 + 6] = 'X'; }));
    EXPECT_FALSE(patched([&](QByteArray &i) { i[l.fixedInfo] = 0; }));
}

TEST(PeReader, TruncatedImagesNeverGiveAWrongVersion)
{
    for (const PeFormat format : {PeFormat::Pe32, PeFormat::Pe32Plus}) {
        const PeVersion version{3, 1, 4, 1};
        const QByteArray image = buildPeImage(optionsFor(format, version));
        for (qsizetype length = 0; length < image.size(); ++length) {
            const auto read = readPeFileVersion(image.left(length));
            EXPECT_TRUE(!read || *read == version) << length;
        }
    }
}

TEST(PeReader, CorruptedImagesNeverGiveAWrongVersion)
{
    for (const PeFormat format : {PeFormat::Pe32, PeFormat::Pe32Plus}) {
        const PeVersion version{5, 6, 7, 8};
        const QByteArray image = buildPeImage(optionsFor(format, version));
        const qsizetype fixed = layoutOf(image).fixedInfo;
        for (qsizetype at = 0; at < image.size(); ++at) {
            for (const char mask : {'\x01', '\x80', '\xFF'}) {
                QByteArray damaged = image;
                damaged[at] = char(damaged.at(at) ^ mask);
                const auto read = readPeFileVersion(damaged);
                const bool inVersionNumbers = at >= fixed + 8 && at < fixed + 16;
                if (!inVersionNumbers) {
                    EXPECT_TRUE(!read || *read == version) << "offset " << at;
                }
            }
        }
        // Many bytes at once, at random.
        std::mt19937 random(7);
        for (int round = 0; round < 3000; ++round) {
            QByteArray damaged = image;
            const int flips = 1 + int(random() % 16);
            for (int i = 0; i < flips; ++i)
                damaged[random() % damaged.size()] = char(random());
            readPeFileVersion(damaged);
        }
    }
}

TEST(PeReader, ReadsFilesOfAnySizeAndRejectsOthers)
{
    QTemporaryDir dir;
    const QString dll = dir.filePath(QStringLiteral("App.dll"));
    ASSERT_TRUE(writePeFile(dll, PeVersion{2, 4, 107, 0}));
    EXPECT_EQ(readPeFileVersionFromFile(dll), (PeFileVersion{2, 4, 107, 0}));
    EXPECT_FALSE(readPeFileVersionFromFile(dir.filePath(QStringLiteral("missing.dll"))));
    EXPECT_FALSE(readPeFileVersionFromFile(dir.path()));
    ASSERT_TRUE(writeBytes(dir.filePath(QStringLiteral("empty.dll")), QByteArray()));
    EXPECT_FALSE(readPeFileVersionFromFile(dir.filePath(QStringLiteral("empty.dll"))));
}

// Cross-check with an independent PE parser where it is installed: for the writer's images and
// for damaged copies, every version this reader reports must be the one that parser finds.
TEST(PeReader, AgreesWithPefile)
{
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo(python).isExecutable())
        GTEST_SKIP() << "no /usr/bin/python3";

    QTemporaryDir dir;
    std::vector<QString> files;
    std::vector<std::optional<PeFileVersion>> ours;
    auto add = [&](const QByteArray &image) {
        const QString file = dir.filePath(QStringLiteral("f%1.bin").arg(files.size()));
        ASSERT_TRUE(writeBytes(file, image));
        files.push_back(file);
        ours.push_back(readPeFileVersion(image));
    };
    std::mt19937 random(2024);
    for (const PeFormat format : {PeFormat::Pe32, PeFormat::Pe32Plus}) {
        for (const PeResources resources : {PeResources::Version, PeResources::None, PeResources::WithoutVersion}) {
            const PeVersion version{quint16(random()), quint16(random()), quint16(random()), quint16(random())};
            const QByteArray image = buildPeImage(optionsFor(format, version, resources, format == PeFormat::Pe32));
            add(image);
            for (int i = 0; i < 40; ++i) {
                QByteArray damaged = image;
                damaged[random() % damaged.size()] = char(random());
                add(damaged);
            }
        }
    }
    const char *script =
        "import sys\n"
        "try:\n"
        "    import pefile\n"
        "except ImportError:\n"
        "    sys.exit(3)\n"
        "for path in sys.argv[1:]:\n"
        "    try:\n"
        "        pe = pefile.PE(path)\n"
        "        infos = getattr(pe, 'VS_FIXEDFILEINFO', None)\n"
        "        if not infos:\n"
        "            print('none')\n"
        "            continue\n"
        "        f = infos[0]\n"
        "        print('%d.%d.%d.%d' % (f.FileVersionMS >> 16, f.FileVersionMS & 0xFFFF,\n"
        "                               f.FileVersionLS >> 16, f.FileVersionLS & 0xFFFF))\n"
        "    except Exception:\n"
        "        print('error')\n";
    QStringList arguments{QStringLiteral("-c"), QString::fromLatin1(script)};
    for (const QString &file : files)
        arguments.append(file);
    QProcess pefile;
    pefile.start(python, arguments);
    ASSERT_TRUE(pefile.waitForFinished(120000));
    if (pefile.exitCode() == 3)
        GTEST_SKIP() << "python3 has no pefile module";
    const QStringList answers = QString::fromLatin1(pefile.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(answers.size(), qsizetype(files.size())) << pefile.readAllStandardError().toStdString();

    int compared = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto &v = ours[i];
        const QString mine = v ? QStringLiteral("%1.%2.%3.%4").arg((*v)[0]).arg((*v)[1]).arg((*v)[2]).arg((*v)[3])
                               : QStringLiteral("none");
        // Undamaged images (every 41st) must agree exactly; for damaged ones, every version this
        // reader still reports must be the one pefile finds.
        if (i % 41 == 0 || (v && answers.at(qsizetype(i)) != u"error")) {
            EXPECT_EQ(answers.at(qsizetype(i)), mine) << i;
            compared += v ? 1 : 0;
        }
    }
    EXPECT_GT(compared, 6);
}
