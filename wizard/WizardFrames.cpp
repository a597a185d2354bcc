#include "wizard/WizardFrames.h"

int TWizardFrames::FromMessage(uint64_t wParam) {
    const int index = static_cast<int>(wParam & 0xFF);
    return Contains(index) ? index : nNoFrame;
}

const TWizardFrame* TWizardFrames::Find(int index) {
    return Contains(index) ? &lstFrames[static_cast<size_t>(index)] : nullptr;
}

bool TWizardFrames::AsksBeforeClosing(int index) {
    const TWizardFrame* frame = Find(index);
    return !frame || frame->bAsksBeforeClosing;
}

bool TWizardFrames::ShowsCloseButton(int index, TCmdInstallType cmdInstall) {
    const TWizardFrame* frame = Find(index);
    return !frame || cmdInstall == citNone || !frame->bHidesCloseInCommandLine;
}
