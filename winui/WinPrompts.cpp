#include "winui/WinPrompts.h"

#include "platform/windows/WideString.h"

namespace {

int Box(HWND owner, const std::string& caption, const std::string& text, UINT type) {
    return MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), type);
}

}  // namespace

bool TWinMessageBoxes::AskYesNo(HWND owner, const std::string& caption, const std::string& text) {
    return Box(owner, caption, text, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void TWinMessageBoxes::ShowInfo(HWND owner, const std::string& caption, const std::string& text) {
    Box(owner, caption, text, MB_OK | MB_ICONINFORMATION);
}

void TWinMessageBoxes::ShowError(HWND owner, const std::string& caption, const std::string& text) {
    Box(owner, caption, text, MB_OK | MB_ICONERROR);
}
