// The readers of the repository's listing and the support site's user list, and the sign-in
// rules over them: the edges a maker's file or a hostile answer can reach.
#include "remote/packagelisting.h"

#include <gtest/gtest.h>

using namespace tivra::remote;

TEST(ListingTest, OnlyFiveFieldLinesWithValidVersionsAndSizesAreRead)
{
    const QString text = QStringLiteral("2.1.0=1000000=Todos=x=S\r\n"
                                        "2.1.1=999999=A1;B2==S\n"
                                        "2.2.0=5=Todos=x\r"              // four fields
                                        "2.3.0=5=Todos=x=S=extra\r\n"    // six fields
                                        "2.4.0=5=Todos=x=N\r\n"          // not published
                                        "2.x.0=5=Todos=x=S\r\n"          // not digits and dots
                                        "2.5.0=99999999999999999999=Todos=x=S\r\n"  // size beyond 64 bits
                                        "1.2.3.4.5.6.7.8.9.1.2.3.4.5.6.7.8.9.1.2=1=Todos=x=S\r\n"  // 20 digits
                                        "\r\n");
    const VersionListing listing = parseVersionListing(text);
    ASSERT_EQ(listing.lines.size(), 6u);
    EXPECT_EQ(listing.otherLines, 2);
    EXPECT_TRUE(listing.lines[0].valid);
    EXPECT_EQ(listing.lines[0].versionNumber, 210);
    EXPECT_EQ(listing.lines[0].sizeBytes, 1000000);
    EXPECT_EQ(listing.lines[1].audience, QStringLiteral("A1;B2"));
    EXPECT_TRUE(listing.lines[2].valid);
    EXPECT_EQ(listing.lines[2].published, QStringLiteral("N"));
    EXPECT_FALSE(listing.lines[3].valid);
    EXPECT_FALSE(listing.lines[4].valid);
    EXPECT_FALSE(listing.lines[5].valid);
    EXPECT_EQ(listing.lines[5].lineNumber, 8);

    // Audience: "Todos", or one of the codes exactly; unpublished lines are never offered.
    EXPECT_TRUE(listingLineOffered(listing.lines[0], QStringLiteral("ZZ")));
    EXPECT_TRUE(listingLineOffered(listing.lines[1], QStringLiteral("A1")));
    EXPECT_TRUE(listingLineOffered(listing.lines[1], QStringLiteral("B2")));
    EXPECT_FALSE(listingLineOffered(listing.lines[1], QStringLiteral("a1")));
    EXPECT_FALSE(listingLineOffered(listing.lines[1], QStringLiteral("A")));
    EXPECT_FALSE(listingLineOffered(listing.lines[1], QString()));
    EXPECT_FALSE(listingLineOffered(listing.lines[2], QStringLiteral("ZZ")));

    // Version numbers order 3.10.0 after 3.9.9.
    EXPECT_EQ(listingVersionNumber(QStringLiteral("3.10.0")), 3100);
    EXPECT_EQ(listingVersionNumber(QStringLiteral("3.9.9")), 399);
    EXPECT_FALSE(listingVersionNumber(QStringLiteral("3..1")).has_value());
    EXPECT_FALSE(listingVersionNumber(QStringLiteral(".3")).has_value());
    EXPECT_FALSE(listingVersionNumber(QString()).has_value());
}

TEST(ListingTest, SplittingRuleKeepsInnerEmptyPiecesOnly)
{
    EXPECT_EQ(splitPieces(QStringLiteral("a==b="), QStringLiteral("=")),
              (QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")}));
    EXPECT_TRUE(splitPieces(QString(), QStringLiteral("=")).isEmpty());
    EXPECT_EQ(splitPieces(QStringLiteral("="), QStringLiteral("=")), QStringList{QString()});
    EXPECT_EQ(splitPieces(QStringLiteral("x<BR><BR>y<BR>"), QStringLiteral("<BR>")),
              (QStringList{QStringLiteral("x"), QString(), QStringLiteral("y")}));
}

TEST(ListingTest, SizeTextIsTruncatedNotRounded)
{
    EXPECT_EQ(sizeText(1000000, QLatin1Char(',')), QStringLiteral("1 Mb"));
    EXPECT_EQ(sizeText(999999, QLatin1Char(',')), QStringLiteral("0,99 Mb"));
    EXPECT_EQ(sizeText(1500000, QLatin1Char('.')), QStringLiteral("1.5 Mb"));
    EXPECT_EQ(sizeText(1059999, QLatin1Char(',')), QStringLiteral("1,05 Mb"));
    EXPECT_EQ(sizeText(9999, QLatin1Char(',')), QStringLiteral("0 Mb"));
    EXPECT_EQ(sizeText(0, QLatin1Char(',')), QStringLiteral("0 Mb"));
    EXPECT_EQ(sizeText(std::numeric_limits<qint64>::max(), QLatin1Char(',')), QStringLiteral("9223372036854,77 Mb"));
}

TEST(ListingTest, GarbageAndLargeListingsNeverFail)
{
    QString garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += QChar(char16_t((i * 7919) % 0xD7FF));
    const VersionListing listing = parseVersionListing(garbage + QStringLiteral("\n=\n====\n=====\n"));
    for (const ListingLine &line : listing.lines)
        EXPECT_FALSE(line.valid && line.version.isEmpty());
    const QString big = QStringLiteral("9.9.9=1=Todos=x=S\n").repeated(20000);
    EXPECT_EQ(parseVersionListing(big).lines.size(), 20000u);
    EXPECT_FALSE(parseUserList(garbage).empty());
}

TEST(UserListTest, RecordsAreCutAtBreaksAndLineEndsBelongToNoField)
{
    const std::vector<SacUser> users = parseUserList(
        QStringLiteral("MARIA,%1,C01<BR>joao,abc<BR> PEDRO,%1,C03<BR>\r\nANA,%1,C04\n").arg(md5Hex(QStringLiteral("s"))));
    ASSERT_EQ(users.size(), 4u);
    EXPECT_EQ(users[0].name, QStringLiteral("MARIA"));
    EXPECT_EQ(users[0].customerCode, QStringLiteral("C01"));
    EXPECT_EQ(users[1].digest, QStringLiteral("abc"));
    EXPECT_TRUE(users[1].customerCode.isEmpty());  // fewer than three fields
    EXPECT_EQ(users[2].name, QStringLiteral(" PEDRO"));
    EXPECT_EQ(users[3].name, QStringLiteral("ANA"));
    EXPECT_EQ(users[3].customerCode, QStringLiteral("C04"));  // no CR LF left on the last field
    EXPECT_TRUE(parseUserList(QString()).empty());
}

TEST(UserListTest, PasswordsWithAccentsAreDigestedAsWindows1252Text)
{
    // Digests as the support site's list holds them: MD5 over the single-byte text.
    EXPECT_EQ(md5Hex(QString::fromUtf8("Ação2024")), QStringLiteral("7bbc8a9793eeb48b209f0c0f5f3621c5"));
    EXPECT_EQ(md5Hex(QString::fromUtf8("Señor€")), QStringLiteral("33fce68372984e2ecb28904ea8ec7240"));
    const std::vector<SacUser> users =
        parseUserList(QStringLiteral("JOÃO,7bbc8a9793eeb48b209f0c0f5f3621c5,C07<BR>"
                                     "ANA,e59a65955178f29198fa5ae00789bd2a,C08<BR>"));
    EXPECT_EQ(authenticateSacUser(users, QString::fromUtf8("joão"), QString::fromUtf8(" Ação2024 "), QString()),
              QStringLiteral("C07"));
    EXPECT_FALSE(authenticateSacUser(users, QString::fromUtf8("joão"), QString::fromUtf8("Acao2024"), QString()));
    // A digest of the UTF-8 bytes is not the list's digest of that password.
    EXPECT_FALSE(authenticateSacUser(users, QStringLiteral("ana"), QString::fromUtf8("Ação2024"), QString()));
}

TEST(UserListTest, SignInRules)
{
    const QString digest = md5Hex(QStringLiteral("segredo"));
    EXPECT_EQ(digest.size(), 32);
    EXPECT_EQ(md5Hex(QStringLiteral("abc")), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    const std::vector<SacUser> users = parseUserList(
        QStringLiteral("MARIA,%1,C01<BR> PEDRO,%1,C03<BR>JOSE,%1<BR>ANA,zz,C05<BR>ANA,%1,C06").arg(digest));
    const QString noMaster;
    const QString master = QStringLiteral("MASTER12345");
    // The name is trimmed and compared without case; the password trimmed.
    EXPECT_EQ(authenticateSacUser(users, QStringLiteral("  maria "), QStringLiteral(" segredo\t"), noMaster),
              QStringLiteral("C01"));
    EXPECT_FALSE(authenticateSacUser(users, QStringLiteral("maria"), QStringLiteral("Segredo"), noMaster));
    // A record whose name begins with a blank matches no typed name.
    EXPECT_FALSE(authenticateSacUser(users, QStringLiteral("pedro"), QStringLiteral("segredo"), noMaster));
    EXPECT_FALSE(authenticateSacUser(users, QStringLiteral(" pedro"), QStringLiteral("segredo"), noMaster));
    // A record with two fields signs in with an empty customer code.
    EXPECT_EQ(authenticateSacUser(users, QStringLiteral("jose"), QStringLiteral("segredo"), noMaster), QString());
    // The first record that accepts the password wins.
    EXPECT_EQ(authenticateSacUser(users, QStringLiteral("ana"), QStringLiteral("segredo"), noMaster),
              QStringLiteral("C06"));
    // Master password: any listed name, never an unlisted one; an empty master accepts nothing.
    EXPECT_EQ(authenticateSacUser(users, QStringLiteral("ana"), master, master), QStringLiteral("C05"));
    EXPECT_FALSE(authenticateSacUser(users, QStringLiteral("ninguem"), master, master));
    EXPECT_FALSE(authenticateSacUser(users, QStringLiteral("ana"), QString(), QString()));
    EXPECT_FALSE(authenticateSacUser(users, QStringLiteral("ana"), QStringLiteral(" "), QString()));
    // An error page is no user list.
    const auto page = parseUserList(QStringLiteral("<html><body>403 Forbidden, access denied</body></html>"));
    EXPECT_FALSE(authenticateSacUser(page, QStringLiteral("<html><body>403 Forbidden"), QStringLiteral("x"), noMaster));

    EXPECT_TRUE(constantTimeEquals(digest, digest));
    EXPECT_FALSE(constantTimeEquals(digest, digest.left(31)));
    EXPECT_FALSE(constantTimeEquals(digest, QString()));
}
