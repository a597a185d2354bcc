#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "base/Texts.h"

// Which texts each frame shows and when a showing writes them. A frame is
// built with the Portuguese texts; each showing then writes the texts of the
// language value that the rules of base/Texts let it write, so Portuguese keeps
// what the controls hold (the user's typing in the name box included).
class TWizardTexts {
public:
    static constexpr uint8_t nBuildLanguage = lngPortuguese;

    // The keys of a frame's controls; empty outside the frame table. The name
    // frame's message texts (FillName, NoSpaces, NameUsed) are no control's:
    // see TNewInstallationName.
    static std::span<const TFrameTextKey> Keys(int frame);
    // Whether a showing in `language` writes `key`'s caption.
    static bool WrittenOnShowing(TFrameTextKey key, uint8_t language);
    // The name frame translates its process-wide texts and puts the
    // placeholder back into the box only in the languages that rewrite them.
    static bool NameFrameTranslates(uint8_t language);
};
