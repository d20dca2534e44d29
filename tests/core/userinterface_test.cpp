#include "core/userinterface.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace tivra;

TEST(UnattendedUserInterface, WritesCaptionAndTextAndTakesTheDefaultAnswer)
{
    UnattendedUserInterface ui;
    // Capture standard error around the call.
    fflush(stderr);
    char path[] = "/tmp/tivra-stderr-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const int saved = dup(2);
    dup2(fd, 2);
    const auto answer = ui.question("Encerrar Atualizador", "Confirma a saída da ferramenta de Atualização?");
    const auto noAnswer = ui.messageBox({"Caption", "Text", UserInterface::Icon::Warning,
                                         UserInterface::Yes | UserInterface::No, UserInterface::No});
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
    EXPECT_EQ(answer, UserInterface::Yes);
    EXPECT_EQ(noAnswer, UserInterface::No);
    FILE *f = fopen(path, "rb");
    char buffer[512] = {};
    const size_t n = fread(buffer, 1, sizeof buffer - 1, f);
    fclose(f);
    close(fd);
    unlink(path);
    EXPECT_EQ(std::string(buffer, n),
              "Encerrar Atualizador: Confirma a saída da ferramenta de Atualização?\nCaption: Text\n");
    EXPECT_TRUE(ui.chooseFolder("t", "").isEmpty());
}
