#pragma once
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <functional>
#include <string>

#include "wizard/ProxyChoice.h"

// The Internet settings dialog: no proxy, the browser's (the environment's)
// proxy, an HTTP proxy, or a SOCKS proxy, with optional credentials. Created
// once with the main window and reused: its controls keep their state between
// showings, also after Cancel. Window thread only.
class TInternetConfig : public QDialog {
    Q_OBJECT
public:
    using enum TProxyChoice;

    explicit TInternetConfig(QWidget* parent);

    // Checks a choice and applies the enabling rule for it.
    void SelectChoice(TProxyChoice choice);
    TProxyChoice Choice() const;
    // The settings the checked choice stands for (ChosenProxySettings).
    TProxySettings ChosenSettings(const std::function<bool(std::string&, std::string&)>& systemProxy) const;

    QRadioButton* RadioNoProxy;
    QRadioButton* RadioProxyIE;
    QRadioButton* RadioProxyConfig;
    QRadioButton* RadioProxySOCKSConfig;
    QGroupBox* GroupBox1;
    QLabel* lblEndProxy;
    QLineEdit* EdtProxyIP;
    QLabel* lblPortProxy;
    QLineEdit* EdtProxyPort;
    QLabel* lblEndSocks;
    QLineEdit* EdtProxySOCKs;
    QLabel* lblPortSocks;
    QLineEdit* EdtSOCKsPort;
    QCheckBox* chkAutenticacao;
    QLabel* lblUserName;
    QLineEdit* edtUserName;
    QLabel* lblSenha;
    QLineEdit* edtSenha;
    QPushButton* btnOK;
    QPushButton* btnCancel;

    // Texts for the language value, and the right-hand boxes' left edge.
    void ApplyLanguage();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void RadioNoProxyClick();
    void ChkAutenticacaoClick();
};
