#include "winui/WinPictures.h"

#include <shlwapi.h>

#include <stdexcept>

#include "platform/windows/WideString.h"

namespace {

// Decoded pictures keep a reference to their stream; a copy in premultiplied
// form stands alone and draws fastest.
TPicture StandAlone(Gdiplus::Bitmap& decoded) {
    auto picture = std::make_shared<Gdiplus::Bitmap>(decoded.GetWidth(), decoded.GetHeight(), PixelFormat32bppPARGB);
    Gdiplus::Graphics graphics(picture.get());
    graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
    graphics.DrawImage(&decoded, 0, 0, decoded.GetWidth(), decoded.GetHeight());
    return picture;
}

}  // namespace

TPicture TWinPictures::LoadResource(const wchar_t* name) {
    const std::string what = "the picture " + Narrow(name);
    HRSRC resource = FindResourceW(nullptr, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL data = resource ? ::LoadResource(nullptr, resource) : nullptr;
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes) throw std::runtime_error(what + " is missing from the program");
    IStream* stream = SHCreateMemStream(static_cast<const BYTE*>(bytes), SizeofResource(nullptr, resource));
    if (!stream) throw std::runtime_error(what + " cannot be read");
    std::unique_ptr<Gdiplus::Bitmap> decoded(Gdiplus::Bitmap::FromStream(stream));
    TPicture picture;
    if (decoded && decoded->GetLastStatus() == Gdiplus::Ok && decoded->GetWidth() > 0) picture = StandAlone(*decoded);
    decoded.reset();
    stream->Release();
    if (!picture || picture->GetLastStatus() != Gdiplus::Ok) throw std::runtime_error(what + " is not a PNG picture");
    return picture;
}

TWinPictures TWinPictures::Load() {
    TWinPictures pictures;
    pictures.pngBackground = LoadResource(L"imgBackground");
    pictures.pngLines = LoadResource(L"imgLines");
    pictures.pngLogoInstall = LoadResource(L"imgLogo");
    pictures.pngAlert = LoadResource(L"imgAlert");
    pictures.pngClose = LoadResource(L"imgClose");
    pictures.pngCloseOver = LoadResource(L"imgCloseOnOver");
    pictures.pngCloseClick = LoadResource(L"imgCloseOnClick");
    pictures.pngLogoProgress = look::bHasProgressLogo ? LoadResource(L"imgLogo2") : pictures.pngLogoInstall;
    return pictures;
}

TRect TPictureDrawing::Size(const Gdiplus::Bitmap& picture) {
    auto& bitmap = const_cast<Gdiplus::Bitmap&>(picture);
    return {0, 0, static_cast<int>(bitmap.GetWidth()), static_cast<int>(bitmap.GetHeight())};
}

void TPictureDrawing::Draw(HDC dc, Gdiplus::Bitmap& picture, const TRect& box, const TDpiScale& scale) {
    int w = static_cast<int>(picture.GetWidth());
    int h = static_cast<int>(picture.GetHeight());
    if (w <= 0 || h <= 0 || box.w <= 0 || box.h <= 0) return;
    if (w > box.w || h > box.h) {
        // Qt's KeepAspectRatio: the larger of the two ratios decides.
        if (static_cast<long long>(w) * box.h > static_cast<long long>(h) * box.w) {
            h = static_cast<int>(static_cast<long long>(h) * box.w / w);
            w = box.w;
        } else {
            w = static_cast<int>(static_cast<long long>(w) * box.h / h);
            h = box.h;
        }
    }
    const TRect target{box.x + (box.w - w) / 2, box.y + (box.h - h) / 2, w, h};
    const RECT device = scale.Device(target);
    Gdiplus::Graphics graphics(dc);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics.DrawImage(&picture, Gdiplus::Rect(device.left, device.top, device.right - device.left,
                                               device.bottom - device.top));
}

TRgb TPictureDrawing::Pixel(Gdiplus::Bitmap& picture, int x, int y, TRgb outside) {
    if (x < 0 || y < 0 || x >= static_cast<int>(picture.GetWidth()) || y >= static_cast<int>(picture.GetHeight()))
        return outside;
    Gdiplus::Color colour;
    if (picture.GetPixel(x, y, &colour) != Gdiplus::Ok) return outside;
    return {colour.GetR(), colour.GetG(), colour.GetB()};
}
