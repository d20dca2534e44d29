#include "platform/trash.h"

#include "testutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using namespace tivra::platform;
using namespace tivra::platform::test;

namespace {

// A home folder and a trash of their own, so that nothing reaches the real ones.
class Trash : public ::testing::Test {
protected:
    void SetUp() override
    {
#ifdef _WIN32
        GTEST_SKIP() << "the freedesktop.org trash of Linux; the Recycle Bin is tested in tests/platform/windows_test.cpp";
#endif
    }
    Trash()
        : m_home("HOME", m_dir.path().toLocal8Bit())
        , m_data("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit())
    {
    }

    QString makeTree(const QString &name)
    {
        const QString root = m_dir.filePath(name);
        EXPECT_TRUE(QDir().mkpath(root + QStringLiteral("/sub/deeper")));
        EXPECT_TRUE(writeBytes(root + QStringLiteral("/a.txt"), "a"));
        EXPECT_TRUE(writeBytes(root + QStringLiteral("/sub/deeper/b.dll"), "b"));
        return root;
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    EnvironmentOverride m_home;
    EnvironmentOverride m_data;
};

}  // namespace

TEST_F(Trash, AMissingFolderCountsAsDeleted)
{
    EXPECT_TRUE(deleteFolderToTrash(path("never-there")));
    EXPECT_TRUE(deleteFolderToTrash(QString()));
}

TEST_F(Trash, MovesTheFolderToTheTrash)
{
    // The data folder does not exist yet, as on a fresh server account.
    const QString tree = makeTree("Pacote tmp");
    EXPECT_TRUE(deleteFolderToTrash(tree + u'/'));
    EXPECT_FALSE(QFileInfo::exists(tree));
    EXPECT_TRUE(QFileInfo::exists(path("data/Trash/files/Pacote tmp/sub/deeper/b.dll")));
    const QByteArray record = readBytes(path("data/Trash/info/Pacote tmp.trashinfo"));
    EXPECT_TRUE(record.startsWith(QByteArray("[Trash Info]\nPath=" + QUrl::toPercentEncoding(tree, "/") + "\nDeletionDate=")))
        << record.toStdString();

    // A second folder of the same name gets a name of its own in the trash.
    makeTree("Pacote tmp");
    EXPECT_TRUE(deleteFolderToTrash(tree));
    EXPECT_FALSE(QFileInfo::exists(tree));
    EXPECT_TRUE(QFileInfo::exists(path("data/Trash/files/Pacote tmp.1/a.txt")));
    EXPECT_TRUE(QFileInfo::exists(path("data/Trash/info/Pacote tmp.1.trashinfo")));
    EXPECT_TRUE(QFileInfo::exists(path("data/Trash/files/Pacote tmp/a.txt")));
}

TEST_F(Trash, DeletesForGoodWhenTheTrashIsBroken)
{
    ASSERT_TRUE(QDir().mkpath(path("data/Trash/files")));
    ASSERT_TRUE(writeBytes(path("data/Trash/info"), "a file where the info folder belongs"));
    const QString tree = makeTree("tmp");
    EXPECT_TRUE(deleteFolderToTrash(tree));
    EXPECT_FALSE(QFileInfo::exists(tree));
    EXPECT_TRUE(QDir(path("data/Trash/files")).isEmpty());
}

TEST_F(Trash, DeletesForGoodWhereNoTrashServes)
{
    // A file where the trash folder would have to be: no trash can be made.
    EnvironmentOverride data("XDG_DATA_HOME", path("blocked/data").toLocal8Bit());
    ASSERT_TRUE(writeBytes(path("blocked"), "not a folder"));
    const QString tree = makeTree("tmp");
    EXPECT_TRUE(deleteFolderToTrash(tree));
    EXPECT_FALSE(QFileInfo::exists(tree));
}

TEST_F(Trash, RemovesALinkButNotWhatItPointsTo)
{
    EnvironmentOverride data("XDG_DATA_HOME", path("blocked/data").toLocal8Bit());
    ASSERT_TRUE(writeBytes(path("blocked"), "not a folder"));
    const QString target = makeTree("target");
    const QString link = path("link");
    ASSERT_TRUE(QFile::link(target, link));
    EXPECT_TRUE(deleteFolderToTrash(link));
    EXPECT_FALSE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(target + QStringLiteral("/sub/deeper/b.dll")));
}
