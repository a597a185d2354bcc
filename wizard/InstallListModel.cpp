#include "wizard/InstallListModel.h"

#include "base/EditionConstants.h"
#include "wizard/CaseFold.h"

void TInstallListModel::SetInstalls(std::vector<std::string> keys) {
    m_lstInstalls = std::move(keys);
    m_nChosen = nNoChoice;
}

// Only a key holding "<product>_" as written is shortened, but the product
// name is then taken off its start whatever its case, with the "_" when it
// follows at once.
std::string TInstallListModel::DisplayText(const std::string& key) {
    const std::string regName = edition::strProductRegName;
    if (key.find(regName + "_") == std::string::npos) return key;
    size_t length = 0;
    if (!StartsWithIgnoringCase(key, regName, length)) return key;
    if (length < key.size() && key[length] == '_') ++length;
    return key.substr(length);
}

void TInstallListModel::Choose(int index) {
    if (index >= 0 && static_cast<size_t>(index) < m_lstInstalls.size())
        m_nChosen = index;
    else
        m_nChosen = nNoChoice;
}

void TInstallListModel::Toggle(int index) {
    if (index == m_nChosen)
        m_nChosen = nNoChoice;
    else
        Choose(index);
}

std::string TInstallListModel::ChosenName() const {
    if (m_nChosen == nNoChoice) return {};
    return DisplayText(m_lstInstalls[static_cast<size_t>(m_nChosen)]);
}

// Two passes: the first measures the rows as one line to learn whether it
// wraps, the second centres the rows on that width.
TInstallListModel::TLayout TInstallListModel::Layout(const std::vector<int>& labelWidths, int radioSize, int frameWidth,
                                                     int top) {
    int x = 0;
    bool wrapped = false;
    for (int labelWidth : labelWidths) {
        if (x > nWrapLeft) {
            x = 0;
            wrapped = true;
        }
        x += labelWidth + radioSize + 16;
    }
    if (wrapped) x = frameWidth - 20;

    TLayout layout;
    int y = top;
    int left = (frameWidth - x) / 2;
    for (int labelWidth : labelWidths) {
        if (left > nWrapLeft) {
            y += nRowHeight;
            left = (frameWidth - x) / 2;
        }
        TPlace place{left, left + radioSize + 4, y};
        layout.lstPlaces.push_back(place);
        left = place.nLabelX + labelWidth + 12;
    }
    if (!layout.lstPlaces.empty()) layout.nButtonTop = layout.lstPlaces.back().nY + radioSize + 26;
    return layout;
}
