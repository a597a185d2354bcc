// The name of a new installation, the list of installations to repair and the
// progress figures, without a window.
#include <gtest/gtest.h>

#include "base/Texts.h"
#include "wizard/InstallListModel.h"
#include "wizard/NewInstallationName.h"
#include "wizard/ProgressFigures.h"

namespace {

using P = TNameProblem;

TEST(WizardNewInstallationName, ChecksRunInOrder) {
    struct Case {
        std::string name;
        std::vector<std::string> installs;
        std::optional<TNameProblem> problem;
    };
    const std::string placeholder = "Nome Escolhido";
    const std::vector<Case> cases = {
        {"Nome Escolhido", {}, P::FillName},
        {"my desk", {}, P::NoSpaces},
        {" ", {"OrlaDesk"}, P::NoSpaces},  // the blank is found before the name is looked up
        {"Alpha", {"ORLADESK_alpha"}, P::NameUsed},
        {"alpha", {"OrlaDesk_Alpha"}, P::NameUsed},
        {"", {"OrlaDesk"}, P::NameUsed},
        {"", {"OrlaDesk_alpha"}, std::nullopt},  // only named installations: the plain one is free
        {"beta", {"OrlaDesk", "OrlaDesk_alpha"}, std::nullopt},
        {"OrlaDesk", {"OrlaDesk"}, std::nullopt},  // would be OrlaDesk_OrlaDesk
        {"alphabet", {"OrlaDesk_alpha"}, std::nullopt},
        // The registry ignores the case of accented letters too.
        {"Ação", {"OrlaDesk_AÇÃO"}, P::NameUsed},
        {"Мой", {"OrlaDesk_мой"}, P::NameUsed},
        {"Ação", {"OrlaDesk_Acao"}, std::nullopt},
        {"a\xC3", {"OrlaDesk_a\xC3\x83"}, std::nullopt},  // a broken byte matches no letter
        // Names that would lead the installation folder out of its place,
        // even beside an installation the path climbs through.
        {"x/..", {"OrlaDesk_x"}, P::FillName},
        {"x/../..", {"OrlaDesk_x"}, P::FillName},
        {"x\\..", {"OrlaDesk_x"}, P::FillName},
        {"..", {}, P::FillName},
        {".", {}, P::FillName},
        {"a/b", {}, P::FillName},
        {"a\tb", {}, P::FillName},
        {"x.", {"OrlaDesk_x"}, P::FillName},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TNewInstallationName::Check(c.name, placeholder, c.installs), c.problem) << c.name;
}

TEST(WizardNewInstallationName, EachProblemShowsItsNameFrameText) {
    EXPECT_EQ(TNewInstallationName::Text(P::FillName), txtFillName);
    EXPECT_EQ(TNewInstallationName::Text(P::NoSpaces), txtNoSpaces);
    EXPECT_EQ(TNewInstallationName::Text(P::NameUsed), txtNameUsed);
}

TEST(WizardInstallList, ChoicesShowTheNameAfterTheRegistryName) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"OrlaDesk", "OrlaDesk"},
        {"OrlaDesk_alpha", "alpha"},
        {"orladesk_beta", "orladesk_beta"},  // no exact "OrlaDesk_"
        {"xOrlaDesk_y", "xOrlaDesk_y"},      // only the start is taken off
        {"OrlaDesk_OrlaDesk_z", "OrlaDesk_z"},
        {"ORLADESKx_OrlaDesk_", "x_OrlaDesk_"},  // the start in any case, its "_" only when it follows
        {"OrlaDesk_", ""},
    };
    for (const auto& [key, shown] : cases) EXPECT_EQ(TInstallListModel::DisplayText(key), shown) << key;
}

TEST(WizardInstallList, AtMostOneChoiceAndItsLabelTogglesIt) {
    TInstallListModel list;
    EXPECT_FALSE(list.MultipleInstall());
    list.SetInstalls({"OrlaDesk", "OrlaDesk_a", "OrlaDesk_b"});
    EXPECT_TRUE(list.MultipleInstall());
    EXPECT_EQ(list.ChosenName(), "");
    list.Toggle(2);
    EXPECT_EQ(list.ChosenName(), "b");
    list.Choose(0);
    EXPECT_EQ(list.ChosenName(), "OrlaDesk");
    list.Choose(0);
    EXPECT_EQ(list.Chosen(), 0);
    list.Toggle(0);
    EXPECT_EQ(list.Chosen(), TInstallListModel::nNoChoice);
    list.Choose(7);  // no such choice
    EXPECT_EQ(list.ChosenName(), "");
    list.Choose(1);
    list.SetInstalls({"OrlaDesk_c"});  // a new list starts unchosen
    EXPECT_EQ(list.Chosen(), TInstallListModel::nNoChoice);
}

TEST(WizardInstallList, ShortListIsOneCentredRowAndLongOnesWrap) {
    const int radio = 13;
    const auto one = TInstallListModel::Layout({60, 10}, radio, 600, 127);
    const int width = 60 + radio + 16 + 10 + radio + 16;
    ASSERT_EQ(one.lstPlaces.size(), 2u);
    EXPECT_EQ(one.lstPlaces[0].nRadioX, (600 - width) / 2);
    EXPECT_EQ(one.lstPlaces[0].nLabelX, one.lstPlaces[0].nRadioX + radio + 4);
    EXPECT_EQ(one.lstPlaces[1].nRadioX, one.lstPlaces[0].nLabelX + 60 + 12);
    EXPECT_EQ(one.lstPlaces[1].nY, 127);
    EXPECT_EQ(one.nButtonTop, 127 + radio + 26);

    const auto wrapped = TInstallListModel::Layout(std::vector<int>(12, 90), radio, 600, 127);
    EXPECT_EQ(wrapped.lstPlaces[0].nRadioX, 10);  // centred as if 580 pixels wide
    for (const auto& place : wrapped.lstPlaces) {
        EXPECT_LE(place.nRadioX, TInstallListModel::nWrapLeft);
        EXPECT_EQ((place.nY - 127) % TInstallListModel::nRowHeight, 0);
    }
    EXPECT_GT(wrapped.lstPlaces.back().nY, 127);
    EXPECT_EQ(wrapped.nButtonTop, wrapped.lstPlaces.back().nY + radio + 26);
    EXPECT_FALSE(TInstallListModel::Layout({}, radio, 600, 127).nButtonTop);
}

TEST(WizardProgressFigures, ProgressIsClampedAndBadRangesAreIgnored) {
    struct Case {
        int64_t min, max, progress;
        int64_t wantMin, wantMax, wantProgress;
    };
    for (const Case& c : std::vector<Case>{{0, 100, 50, 0, 100, 50},
                                           {0, 100, -5, 0, 100, 0},
                                           {0, 100, 500, 0, 100, 100},
                                           {10, 20, 15, 10, 20, 15},
                                           {0, 0, 7, 0, 100, 7},      // Max not above Min: ignored
                                           {100, 100, 7, 0, 100, 7},  // Min not below Max: ignored
                                           {0, 5000000000LL, 4000000000LL, 0, 5000000000LL, 4000000000LL}}) {
        TProgressFigures figures;
        figures.SetMax(c.max);
        figures.SetMin(c.min);
        figures.SetProgress(c.progress);
        EXPECT_EQ(figures.Min(), c.wantMin);
        EXPECT_EQ(figures.Max(), c.wantMax);
        EXPECT_EQ(figures.Progress(), c.wantProgress);
    }
}

TEST(WizardProgressFigures, FillWidthIsTheCeilingOfTheShare) {
    struct Case {
        int width;
        int64_t max, progress;
        int fill;
    };
    for (const Case& c : std::vector<Case>{{528, 100, 0, 0},
                                           {528, 100, 100, 528},
                                           {528, 100, 50, 264},
                                           {528, 1000000, 1, 1},  // any progress shows a pixel
                                           {100, 3, 1, 34},
                                           {528, 5000000000LL, 2500000000LL, 264}}) {
        TProgressFigures figures;
        figures.SetMax(c.max);
        figures.SetProgress(c.progress);
        EXPECT_EQ(figures.FillWidth(c.width), c.fill);
    }
}

TEST(WizardProgressFigures, ReportsSetDoneBeforeTotal) {
    TProgressFigures figures;
    figures.Report(300, 1000);  // clamped to the earlier maximum, 100
    EXPECT_EQ(figures.Progress(), 100);
    EXPECT_EQ(figures.Max(), 1000);
    figures.Report(600, 1000);
    EXPECT_EQ(figures.FillWidth(528), 317);
    figures.Report(0, 0);  // a zero total is not a range
    EXPECT_EQ(figures.Max(), 1000);
    figures.Report(800, 1000);
    figures.SetMax(40);  // lowering the total leaves the position past it
    EXPECT_EQ(figures.Progress(), 800);
    EXPECT_GE(figures.FillWidth(528), 528);
}

}  // namespace
