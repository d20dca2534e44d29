#include "core/userinterface.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <gtest/gtest.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

using namespace tivra;

TEST(UnattendedUserInterface, WritesCaptionAndTextAndTakesTheDefaultAnswer)
{
    UnattendedUserInterface ui;
    // Capture standard error around the call.
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(QDir::toNativeSeparators(dir.filePath(QStringLiteral("stderr.txt"))));
    std::fflush(stderr);
    FILE *capture = std::fopen(path.constData(), "wb");
    ASSERT_NE(capture, nullptr);
    const int saved = dup(fileno(stderr));
    dup2(fileno(capture), fileno(stderr));
    const auto answer = ui.question("Encerrar Atualizador", "Confirma a saída da ferramenta de Atualização?");
    const auto noAnswer = ui.messageBox({"Caption", "Text", UserInterface::Icon::Warning,
                                         UserInterface::Yes | UserInterface::No, UserInterface::No});
    std::fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);
    std::fclose(capture);
    EXPECT_EQ(answer, UserInterface::Yes);
    EXPECT_EQ(noAnswer, UserInterface::No);
    FILE *f = std::fopen(path.constData(), "rb");
    ASSERT_NE(f, nullptr);
    char buffer[512] = {};
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    // The capture file is opened in binary mode, and standard error takes its mode: on Windows
    // too the lines end as written.
    const char *end = "\n";
    EXPECT_EQ(std::string(buffer, n), std::string("Encerrar Atualizador: Confirma a saída da ferramenta de Atualização?") + end
                                          + "Caption: Text" + end);
    EXPECT_TRUE(ui.chooseFolder("t", "").isEmpty());
}
