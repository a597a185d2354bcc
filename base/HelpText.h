#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/EditionConstants.h"

// The usage text shown for "/?" or an unacceptable command line.

struct THelpText {
    std::string strTitle;               // window caption: "<product> - Ajuda" / "- Help" / "- Ayuda"
    std::vector<std::string> lstLines;  // the text box's lines; "" is an empty line, "\t" a tab
};

// The help in the language's block: 1 English, 2 Spanish, any other value
// Portuguese. `exeName` is the running program's file name without its folder
// (see ProgramFileName); the usage lines show it. Portuguese and English have 16
// lines; Spanish has 15, as it has no "/st" line.
THelpText BuildHelpText(const std::string& exeName, uint8_t language,
                        const std::string& productName = edition::strShortcutName);

// The file name part of a program path (after the last "/" or "\").
std::string ProgramFileName(const std::string& programPath);

// The help for a run without a display: the title, a blank line, then the lines,
// each ended by "\n".
std::string HelpTextForTerminal(const THelpText& help);

// Geometry of the help window, in pixels. The client size follows from the
// text box and the button with a margin of 8 around them.
namespace helpwindow {
inline constexpr const char* strFontName = "Tahoma";
inline constexpr int nFontHeight = 11;
inline constexpr int nMargin = 8;

inline constexpr int nMemoLeft = 8;  // mmoAjuda
inline constexpr int nMemoTop = 8;
inline constexpr int nMemoWidth = 585;
inline constexpr int nMemoHeight = 221;

inline constexpr int nButtonWidth = 75;  // Button1, caption "OK"
inline constexpr int nButtonHeight = 25;

inline constexpr int nClientWidth = nMemoLeft + nMemoWidth + nMargin;
inline constexpr int nButtonTop = nMemoTop + nMemoHeight + nMargin;
inline constexpr int nClientHeight = nButtonTop + nButtonHeight + nMargin;

static_assert(nClientWidth == 601 && nButtonTop == 237 && nClientHeight == 270);

// The button is centred on the window's outer width (frame included), with
// integer division, as the window computes it once it knows its frame.
constexpr int ButtonLeft(int nOuterWidth) { return nOuterWidth / 2 - nButtonWidth / 2; }
}  // namespace helpwindow
