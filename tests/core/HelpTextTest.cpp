#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/HelpText.h"

namespace {

bool AnyLineContains(const THelpText& help, const std::string& part) {
    return std::any_of(help.lstLines.begin(), help.lstLines.end(),
                       [&](const std::string& line) { return line.find(part) != std::string::npos; });
}

struct HelpBlockCase {
    uint8_t language;
    const char* title;
    size_t lineCount;
    const char* usageWord;
    const char* installLine;  // for the program name "setup-2.exe"
    const char* helpLine;
    const char* lastLine;
    bool listsSingleThread;
};

class HelpBlockTable : public ::testing::TestWithParam<HelpBlockCase> {};

TEST_P(HelpBlockTable, TitleLinesAndUsage) {
    const auto& c = GetParam();
    THelpText help = BuildHelpText("setup-2.exe", c.language);
    EXPECT_EQ(help.strTitle, c.title);
    ASSERT_EQ(help.lstLines.size(), c.lineCount);
    EXPECT_EQ(help.lstLines[0], c.usageWord);
    EXPECT_EQ(help.lstLines[1], c.installLine);
    EXPECT_EQ(help.lstLines.back(), c.lastLine);
    EXPECT_EQ(AnyLineContains(help, "/st"), c.listsSingleThread);
    EXPECT_EQ(help.lstLines[c.listsSingleThread ? 4 : 3], c.helpLine);
    if (c.listsSingleThread) {
        EXPECT_EQ(help.lstLines[3], "setup-2.exe /st - Single threaded");
    }
    // The six return values, each behind a tab.
    EXPECT_EQ(std::count_if(help.lstLines.begin(), help.lstLines.end(),
                            [](const std::string& line) { return line.starts_with("\t"); }),
              6);
    // Empty lines after the usage lines and before the return values.
    size_t usageEnd = c.listsSingleThread ? 5 : 4;
    EXPECT_EQ(help.lstLines[usageEnd], "");
    EXPECT_EQ(help.lstLines[usageEnd + 3], "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HelpBlockTable,
    ::testing::Values(HelpBlockCase{0, "Orla Desk - Ajuda", 16, "Modo de uso:", "setup-2.exe /install [nome]",
                                    "setup-2.exe /? - Exibe esta ajuda", "\t-1 -> Ocorreu algum erro inesperado.",
                                    true},
                      HelpBlockCase{1, "Orla Desk - Help", 16, "Usage:", "setup-2.exe /install [name]",
                                    "setup-2.exe /? - Show this help", "\t-1 -> There was an unexpected error.", true},
                      HelpBlockCase{2, "Orla Desk - Ayuda", 15, "Modo de uso:", "setup-2.exe /install [nombre]",
                                    "setup-2.exe /? - Exibe esta ayuda", "\t-1 -> Ocurrio un error inesperado.", false},
                      HelpBlockCase{9, "Orla Desk - Ajuda", 16, "Modo de uso:", "setup-2.exe /install [nome]",
                                    "setup-2.exe /? - Exibe esta ajuda", "\t-1 -> Ocorreu algum erro inesperado.",
                                    true}));

TEST(HelpText, ProductNameFillsTheTitleAndTheTwoProductLines) {
    struct Case {
        uint8_t language;
        const char* machineLine;
        const char* runningLine;
    };
    const Case cases[] = {
        {0, "Ele serve para que seja possivel ter mais do que uma instalação do Acme Chart na mesma máquina.",
         "\t 3 -> O Acme Chart está em execução e precisa ser fechado antes de ser feita alguma alteração no "
         "sistema."},
        {1, "It is so that it is possible to have more than one Acme Chart installation on the same machine.",
         "\t 3 -> Acme Chart is running and needs to be closed before any changes are made to the system."},
        {2, "Sirve para que sea posible tener mas de uma instalación de Acme Chart en la misma máquina.",
         "\t 3 -> Acme Chart está en ejecución y necesita ser cerrado antes de ser hecha alguna alteración en el "
         "sistema."},
    };
    for (const Case& c : cases) {
        THelpText help = BuildHelpText("x", c.language, "Acme Chart");
        EXPECT_TRUE(help.strTitle.starts_with("Acme Chart - ")) << help.strTitle;
        EXPECT_TRUE(AnyLineContains(help, c.machineLine)) << int(c.language);
        EXPECT_TRUE(AnyLineContains(help, c.runningLine)) << int(c.language);
        EXPECT_FALSE(AnyLineContains(help, "Orla Desk")) << int(c.language);
    }
}

TEST(HelpText, ProgramNameAppearsInEveryUsageLine) {
    THelpText help = BuildHelpText("OrlaDesk-renamed", 1);
    EXPECT_EQ(help.lstLines[1], "OrlaDesk-renamed /install [name]");
    EXPECT_EQ(help.lstLines[2], "OrlaDesk-renamed /update [name]");
    EXPECT_EQ(help.lstLines[3], "OrlaDesk-renamed /st - Single threaded");
    EXPECT_EQ(help.lstLines[4], "OrlaDesk-renamed /? - Show this help");
}

TEST(HelpText, ReturnValueLinesKeepTheirOddSpacing) {
    THelpText english = BuildHelpText("x", 1);
    EXPECT_EQ(english.lstLines[10], "\t 0 -> Installation completed successfully.");
    EXPECT_EQ(english.lstLines[11], "\t 1 -> An installation with this name already exists (only with / install).");
    THelpText portuguese = BuildHelpText("x", 0);
    EXPECT_EQ(portuguese.lstLines[12],
              "\t 2 -> Não foi encontrada uma instalação com o nome selecionado (somente com atualizar/reparar).");
}

TEST(HelpText, TerminalFormHasTitleBlankLineAndOneLinePerEntry) {
    THelpText help{"T - Help", {"Usage:", "", "\t 0 -> ok"}};
    EXPECT_EQ(HelpTextForTerminal(help), "T - Help\n\nUsage:\n\n\t 0 -> ok\n");
}

TEST(HelpText, ProgramFileNameDropsTheFolder) {
    struct Case {
        const char* path;
        const char* name;
    };
    const Case cases[] = {
        {"/usr/local/bin/OrlaDesk", "OrlaDesk"},
        {"C:\\Users\\ana\\Downloads\\OrlaDesk.exe", "OrlaDesk.exe"},
        {"./OrlaDesk", "OrlaDesk"},
        {"OrlaDesk", "OrlaDesk"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ProgramFileName(c.path), c.name) << c.path;
}

TEST(HelpWindow, ButtonIsCentredOnTheOuterWidthWithIntegerDivision) {
    EXPECT_EQ(helpwindow::ButtonLeft(helpwindow::nClientWidth), 263);  // 300 - 37
    EXPECT_EQ(helpwindow::ButtonLeft(617), 271);                       // 308 - 37
}

}  // namespace
