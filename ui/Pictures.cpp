#include "ui/Pictures.h"

#include <QFile>
#include <QImage>

#include "ui/LookConstants.h"

namespace {

QPixmap ReadPicture(const QString& prefix, const char* name) {
    QFile file(prefix + QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly)) throw std::runtime_error(std::string("picture missing: ") + name);
    QImage image;
    if (!image.loadFromData(file.readAll(), "PNG"))
        throw std::runtime_error(std::string("picture is not a PNG: ") + name);
    return QPixmap::fromImage(image);
}

}  // namespace

TPictures LoadPictures(const QString& prefix) {
    TPictures pictures;
    pictures.pngBackground = ReadPicture(prefix, "imgBackground");
    pictures.pngLines = ReadPicture(prefix, "imgLines");
    pictures.pngLogoInstall = ReadPicture(prefix, "imgLogo");
    pictures.pngAlert = ReadPicture(prefix, "imgAlert");
    pictures.pngClose = ReadPicture(prefix, "imgClose");
    pictures.pngCloseOver = ReadPicture(prefix, "imgCloseOnOver");
    pictures.pngCloseClick = ReadPicture(prefix, "imgCloseOnClick");
    pictures.pngLogoProgress =
        look::bHasProgressLogo ? ReadPicture(prefix, "imgLogo2") : pictures.pngLogoInstall;
    return pictures;
}

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitPictureResourcesImpl() { Q_INIT_RESOURCE(pictures); }

void InitPictureResources() { InitPictureResourcesImpl(); }
