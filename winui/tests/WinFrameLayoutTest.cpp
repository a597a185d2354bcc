// The Win32 frames against the Qt window: the same controls in the same places,
// language by language. The Qt places come from vx_layout_dump's committed
// output (a Linux test keeps it current). Both windows measure their texts with
// the same stand-in font but different rasterisers, so a control placed by the
// width of a text may sit a pixel or two apart; everything else must match to
// the pixel.
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "WinTestSupport.h"
#include "base/Texts.h"
#include "winui/WinFrame.h"

namespace {

const char* const kLanguageNames[] = {"pt", "en", "es"};

using TFrameRects = std::map<std::string, TRect>;  // control -> rectangle

// language -> frame -> control -> rectangle
std::map<std::string, std::map<std::string, TFrameRects>> QtLayout() {
    std::ifstream file(VX_SOURCE_DIR "/winui/tests/data/qt-layout.txt");
    EXPECT_TRUE(file.good()) << "the Qt layout is missing";
    std::map<std::string, std::map<std::string, TFrameRects>> layout;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream words(line);
        std::string language, frame, control;
        TRect r;
        if (words >> language >> frame >> control >> r.x >> r.y >> r.w >> r.h) layout[language][frame][control] = r;
    }
    return layout;
}

// Controls whose place follows a measured text: the sentence, the links, the
// choices and what stands below or beside them.
bool TextPlaced(const std::string& frame, const std::string& control) {
    static const std::set<std::string> kMeasured = {"lblText", "lblText2", "lblLink", "lblDot", "lblConfigInternet"};
    if (kMeasured.count(control)) return true;
    if (frame == "select-install" && (control.rfind("radio", 0) == 0 || control.rfind("choice", 0) == 0)) return true;
    return (frame == "install" || frame == "install-update") && (control == "btnInstall" || control == "btnUpdate");
}

constexpr int kTextTolerance = 3;

void ExpectNear(const TRect& win, const TRect& qt, int tolerance, const std::string& where) {
    EXPECT_NEAR(win.x, qt.x, tolerance) << where << " x";
    EXPECT_NEAR(win.y, qt.y, tolerance) << where << " y";
    EXPECT_NEAR(win.w, qt.w, tolerance) << where << " width";
    EXPECT_NEAR(win.h, qt.h, tolerance) << where << " height";
}

class WinFrameLayoutTest : public TWinFormTest {};

TEST_F(WinFrameLayoutTest, EveryFrameMatchesTheQtWindowInEveryLanguage) {
    const auto qt = QtLayout();
    for (uint8_t language : {lngPortuguese, lngEnglish, lngSpanish}) {
        SetLanguage(language);
        TranslateEngineTexts(language);
        MakeForm();
        FeedInstalls({"OrlaDesk", "OrlaDesk_trading", "OrlaDesk_backtest", "OrlaDesk_demo"});
        Feed(WM_SET_RETRY_MSG, 0, 0, txtCheckConnection);
        Feed(WM_SET_ABORT_MSG, 0, 0, txtUnexpectedError, "1A2B3C4D_10-12-09-41");
        const std::string lang = kLanguageNames[language];
        for (const TWizardFrame& row : TWizardFrames::lstFrames) {
            m_Form->ShowFrame(row.index);
            const std::string frame(row.name);
            const TFrameRects& expected = qt.at(lang).at(frame);
            TFrameRects actual;
            for (const auto& [name, rect] : m_Form->Frame(row.index)->Layout()) actual[name] = rect;
            for (const auto& [name, rect] : expected) {
                const std::string where = lang + " " + frame + " " + name;
                ASSERT_TRUE(actual.count(name)) << where << " is missing";
                ExpectNear(actual[name], rect, TextPlaced(frame, name) ? kTextTolerance : 0, where);
            }
            for (const auto& [name, rect] : actual)
                EXPECT_TRUE(expected.count(name)) << lang << " " << frame << " " << name << " is not in the Qt window";
        }
        m_Form.reset();
    }
}

}  // namespace
