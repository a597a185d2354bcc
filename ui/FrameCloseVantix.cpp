#include "ui/FrameCloseVantix.h"

#include "ui/Fonts.h"
#include "ui/PictureBox.h"

TFrameCloseVantix::TFrameCloseVantix(IFrameHost& host, QWidget* parent) : TFrameBase(host, parent) {
    imgAlert = NewPicture(host.Pictures().pngAlert, QRect(278, 57, 40, 36));
    lblAlert = NewLabel(UiFont("Segoe UI", 15), QRect(40, 114, 520, 40), Qt::AlignCenter, true);
    imgAlert->hide();
    lblAlert->hide();
    AddDragSource(imgAlert);
    AddDragSource(lblAlert);
}

void TFrameCloseVantix::Translate() {}
