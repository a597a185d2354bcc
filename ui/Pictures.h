#pragma once
#include <QPixmap>
#include <QString>
#include <stdexcept>

// The shared pictures of the wizard, loaded once by the main window and copied
// by the frames.
struct TPictures {
    QPixmap pngBackground;
    QPixmap pngLines;
    QPixmap pngLogoInstall;
    QPixmap pngLogoProgress;
    QPixmap pngAlert;
    QPixmap pngClose;
    QPixmap pngCloseOver;
    QPixmap pngCloseClick;
};

// Reads the pictures from the program's resources "<prefix>imgBackground", ...
// (the default prefix is the program's own picture resources). Throws
// std::runtime_error naming the first picture that is missing or not a PNG.
TPictures LoadPictures(const QString& prefix = QStringLiteral(":/pictures/"));

// Makes sure the picture resources linked from the static library are
// registered. Call once before LoadPictures.
void InitPictureResources();
