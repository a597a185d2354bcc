#pragma once
#include <optional>
#include <string>
#include <vector>

// The installations the engine found, as the select-install frame offers them
// for repair: one choice per registry key name, at most one chosen.
class TInstallListModel {
public:
    static constexpr int nNoChoice = -1;

    // A new list from the engine; nothing is chosen in it.
    void SetInstalls(std::vector<std::string> keys);
    const std::vector<std::string>& Installs() const { return m_lstInstalls; }
    // Installations were found: a new one needs a name of its own and a
    // repair needs a choice.
    bool MultipleInstall() const { return !m_lstInstalls.empty(); }

    // What a choice shows for a registry key name: the name after
    // "<product>_", or the key itself.
    static std::string DisplayText(const std::string& key);

    int Chosen() const { return m_nChosen; }
    // The choice's own button: it is chosen, the others not.
    void Choose(int index);
    // Its label: it is chosen, or no longer chosen when it already was.
    void Toggle(int index);
    // The text of the chosen choice; empty when none is (the engine then
    // repairs the plain installation).
    std::string ChosenName() const;

    // Where the choices go: centred rows, a row wrapped where it would run
    // past the right edge. A wrapped list is centred as if it were as wide as
    // the frame less 20 pixels.
    struct TPlace {
        int nRadioX;
        int nLabelX;
        int nY;
    };
    struct TLayout {
        std::vector<TPlace> lstPlaces;
        std::optional<int> nButtonTop;  // the continue button, below the last row
    };
    static constexpr int nRowHeight = 25;
    static constexpr int nWrapLeft = 560;
    static TLayout Layout(const std::vector<int>& labelWidths, int radioSize, int frameWidth, int top);

private:
    std::vector<std::string> m_lstInstalls;
    int m_nChosen = nNoChoice;
};
