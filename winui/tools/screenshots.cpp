// Renders every wizard frame of the Win32 window in every language, the help
// window and the proxy dialog to PNG files named as the Qt window's are, so
// that the two can be put side by side (scripts/screenshots does):
//
//   scripts/wine-xvfb build-win/bin/vx_win_screenshots.exe build/screenshots-windows
//
// The window runs with an idle engine; the data a frame shows during a run
// (choices, progress, failure texts) is fed to it as the engine would post it.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "base/HelpText.h"
#include "base/MessageIds.h"
#include "base/Texts.h"
#include "platform/windows/WideString.h"
#include "winui/GdiPlusSession.h"
#include "winui/WinFonts.h"
#include "winui/WinHelpForm.h"
#include "winui/WinInternetConfig.h"
#include "winui/WinSetupForm.h"
#include "winui/WindowClass.h"
#include "wizard/tools/IdleRun.h"

namespace {

void Pump() {
    for (int round = 0; round < 3; ++round) {
        ProcessPendingMessages();
        Sleep(20);
    }
}

bool EncoderClsid(CLSID& clsid) {
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::string buffer(size, '\0');
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, codecs);
    for (UINT i = 0; i < count; ++i)
        if (std::wstring(codecs[i].MimeType) == L"image/png") {
            clsid = codecs[i].Clsid;
            return true;
        }
    return false;
}

// What the window shows on the screen now: its client area, children included.
bool Save(HWND window, const std::filesystem::path& path) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
    RECT client;
    GetClientRect(window, &client);
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, client.right, client.bottom, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    CLSID png{};
    bool ok = EncoderClsid(png);
    {
        Gdiplus::Bitmap image(bitmap, nullptr);
        ok = ok && image.Save(path.wstring().c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    DeleteObject(bitmap);
    if (!ok) std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
    return ok;
}

void Feed(TWinSetupForm& form, TMessage msg) {
    form.Post(std::move(msg));
    Pump();
}

std::filesystem::path FileName(const std::filesystem::path& folder, const std::string& stem, uint8_t language) {
    return folder / (stem + "-" + LanguageShortName(language) + ".png");
}

bool RenderFrames(TWinSetupForm& form, uint8_t language, const std::filesystem::path& folder) {
    bool ok = true;
    for (const TWizardFrame& row : TWizardFrames::lstFrames) {
        form.ShowFrame(row.index);
        if (row.index == fiProgress)
            for (TMessage& msg : IdleRunProgress()) Feed(form, std::move(msg));
        ok &= Save(form.Handle(),
                   FileName(folder, "frame" + std::to_string(row.index) + "-" + std::string(row.name), language));
    }
    // The aborted frame also says when a release could not be verified.
    Feed(form, IdleRunUnverifiedAbort());
    form.ShowFrame(fiAborted);
    ok &= Save(form.Handle(), FileName(folder, "aborted-unverified", language));
    return ok;
}

bool RenderLanguage(uint8_t language, const std::filesystem::path& folder) {
    SetLanguage(language);
    TranslateEngineTexts(language);
    TWinSetupFormServices services;
    services.fnCreateEngine = [](IMessageTarget&) { return std::make_unique<TIdleEngine>(); };
    services.fnSystemProxy = [](std::string&, std::string&) { return false; };
    TWinSetupForm form(TCommandLine({"OrlaDesk"}), services);
    if (!form.FormCreate()) return false;
    ShowWindow(form.Handle(), SW_SHOW);

    for (TMessage& msg : IdleRunStart()) Feed(form, std::move(msg));
    bool ok = RenderFrames(form, language, folder);

    TWinInternetConfig& dialog = form.InternetConfig();
    dialog.Prepare(form.Handle());
    ShowWindow(dialog.Window(), SW_SHOW);
    ok &= Save(dialog.Window(), FileName(folder, "proxy-dialog", language));
    ShowWindow(dialog.Window(), SW_HIDE);

    TWinHelpForm help(BuildHelpText("OrlaDesk", language));
    help.Show();
    ok &= Save(help.Window(), FileName(folder, "help", language));
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vx_win_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    std::filesystem::create_directories(folder);
    TGdiPlusSession gdiplus;
    TWinFonts::LoadStandIns();
    bool ok = true;
    for (uint8_t language : kToolLanguages) ok &= RenderLanguage(language, folder);
    return ok ? 0 : 1;
}
