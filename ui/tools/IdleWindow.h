#pragma once
// The installer window as the tools that picture it or measure it show it: an
// idle engine behind it, and the data a frame shows during a run (choices,
// progress, failure texts) fed to it as the engine would post it.
#include <QString>
#include <cstdint>
#include <memory>

#include "base/Texts.h"
#include "ui/SetupForm.h"
#include "wizard/tools/IdleRun.h"


// The pictures and the stand-in fonts, once per program, after QApplication.
void PrepareToolApplication();

// Switches the texts to `language`, then makes and shows the window, fed with a
// list of installations and the retry and abort texts. Null when the window
// could not be made (a picture is missing).
std::unique_ptr<TSetupForm> NewIdleWindow(uint8_t language);

// Shows a frame as during a run; the progress frame at 420 of 1000.
void ShowFrame(TSetupForm& form, int frame);
// The aborted frame when a release could not be verified.
void ShowUnverifiedAbort(TSetupForm& form);
