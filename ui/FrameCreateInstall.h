#pragma once
#include <QLineEdit>
#include <optional>

#include "ui/FrameBase.h"

class TGradientBitBtn;
class TPictureBox;

// Frame 1: the name of an additional installation.
class TFrameCreateInstall : public TFrameBase {
    Q_OBJECT
public:
    TFrameCreateInstall(IFrameHost& host, QWidget* parent);
    void Translate() override;
    void Attach() override;

    // The message that refuses `name`, or nothing when the name is acceptable.
    // `installs` are the registry key names of the installations found.
    static std::optional<std::string> NameProblem(const std::string& name, const std::string& placeholder,
                                                  const std::vector<std::string>& installs);
    // Checks the box's name; tells the user why it is refused.
    bool ValidateName();

    TPictureBox* imgLines;
    TPictureBox* imgLogo;
    QLabel* lblInstalado;
    QLineEdit* edtNome;
    TGradientBitBtn* btnInstall;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void InstallClick();
};
