#include "wizard/NewInstallationName.h"

#include "base/EditionConstants.h"
#include "base/InstallationName.h"
#include "base/Texts.h"
#include "wizard/CaseFold.h"

namespace {

bool Installed(const std::vector<std::string>& installs, const std::string& key) {
    for (const std::string& install : installs)
        if (SameIgnoringCase(install, key)) return true;
    return false;
}

}  // namespace

std::optional<TNameProblem> TNewInstallationName::Check(const std::string& name, const std::string& placeholder,
                                                        const std::vector<std::string>& installs) {
    const std::string regName = edition::strProductRegName;
    if (name == placeholder) return TNameProblem::FillName;
    if (name.find(' ') != std::string::npos) return TNameProblem::NoSpaces;
    // No text of its own: asking again for a name is the nearest there is.
    if (!IsSafeInstallationName(name)) return TNameProblem::FillName;
    if (Installed(installs, regName + "_" + name)) return TNameProblem::NameUsed;
    // The empty name is the plain installation, the one without a suffix.
    if (name.empty() && Installed(installs, regName)) return TNameProblem::NameUsed;
    return std::nullopt;
}

std::string TNewInstallationName::Text(TNameProblem problem) {
    switch (problem) {
        case TNameProblem::FillName:
            return txtFillName;
        case TNameProblem::NoSpaces:
            return txtNoSpaces;
        case TNameProblem::NameUsed:
            return txtNameUsed;
    }
    return txtFillName;
}
