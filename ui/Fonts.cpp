#include "ui/Fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace {

// Debian's fonts-dejavu-extra, read at run time rather than copied into the
// program. The condensed cut is close to Segoe UI's widths, so the wizard's
// fixed-size labels hold their texts as they were written for.
const char* const kStandInFiles[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf",
};
const char* const kStandInFamily = "DejaVu Sans Condensed";

bool Installed(const QString& family) { return QFontDatabase::families().contains(family, Qt::CaseInsensitive); }

}  // namespace

void LoadStandInFonts() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    if (Installed(kStandInFamily)) return;
    for (const char* file : kStandInFiles) QFontDatabase::addApplicationFont(QString::fromUtf8(file));
}

QFont UiFont(const char* face, int pixelHeight, bool bold) {
    const QString wanted = QString::fromUtf8(face);
    QFont font;
    const bool semibold = wanted.endsWith(" Semibold");
    if (Installed(wanted)) {
        font.setFamily(wanted);
    } else if (semibold && Installed(wanted.chopped(9))) {
        font.setFamily(wanted.chopped(9));
        font.setWeight(QFont::DemiBold);
    } else {
        font.setFamily(kStandInFamily);
        if (semibold) font.setWeight(QFont::DemiBold);
    }
    font.setPixelSize(pixelHeight);
    if (bold) font.setBold(true);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}
