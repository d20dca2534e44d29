#include "platform/filenames.h"

#include <gtest/gtest.h>

using namespace tivra::platform;

TEST(DeviceNames, AreTheBaseNamesWindowsKeepsWhateverTheExtensionAndCase)
{
    for (const char *name : {"CON", "prn", "Aux", "nul.txt", "Com1.cds", "COM9", "lpt1.dll", "com5.tar.gz", "NUL .x",
                             "con."})
        EXPECT_TRUE(isReservedDeviceName(QString::fromLatin1(name))) << name;
    for (const char *name : {"Com0.cds", "Com10.cds", "Col1.cds", "COMX", "console", "_Com1.cds", "LPT", "auxiliar.dll",
                             "", ".", "xCON"})
        EXPECT_FALSE(isReservedDeviceName(QString::fromLatin1(name))) << name;
}

TEST(DeviceNames, AreStoredUnderAChangedNameOnWindowsOnly)
{
#ifdef _WIN32
    EXPECT_EQ(storedName(QStringLiteral("Com1.cds")), QStringLiteral("_Com1.cds"));
    EXPECT_EQ(storedName(QStringLiteral("AppTivra/aux/Nul.dll")), QStringLiteral("AppTivra/_aux/_Nul.dll"));
#else
    EXPECT_EQ(storedName(QStringLiteral("Com1.cds")), QStringLiteral("Com1.cds"));
    EXPECT_EQ(storedName(QStringLiteral("AppTivra/aux/Nul.dll")), QStringLiteral("AppTivra/aux/Nul.dll"));
#endif
    EXPECT_EQ(storedName(QStringLiteral("Com10.cds")), QStringLiteral("Com10.cds"));
    EXPECT_EQ(storedName(QStringLiteral("Tab1.cds")), QStringLiteral("Tab1.cds"));
}
