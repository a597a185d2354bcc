#include "ui/InternetConfig.h"

#include <QRegularExpressionValidator>

#include "base/Texts.h"
#include "ui/Fonts.h"
#include "ui/ScreenText.h"

namespace {

QString Text(TProxyTextKey key) { return ScreenText(ProxyDialogText(key, GetLanguage())); }

QLineEdit* NewEdit(QWidget* parent, const QRect& geometry) {
    auto* edit = new QLineEdit(parent);
    edit->setGeometry(geometry);
    return edit;
}

QLabel* NewLabel(QWidget* parent, QPoint position) {
    auto* label = new QLabel(parent);
    label->move(position);
    return label;
}

void SetEnabled(std::initializer_list<QWidget*> widgets, bool enabled) {
    for (QWidget* widget : widgets) widget->setEnabled(enabled);
}

}  // namespace

TInternetConfig::TInternetConfig(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(555, 299);
    setFont(UiFont("Segoe UI", 11));

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setGeometry(16, 14, 529, 235);
    // The group box's title sits above its frame: the controls keep the places
    // they have relative to the box's top edge.
    RadioNoProxy = new QRadioButton(GroupBox1);
    RadioNoProxy->setGeometry(32, 24, 161, 17);
    RadioProxyIE = new QRadioButton(GroupBox1);
    RadioProxyIE->setGeometry(32, 47, 281, 17);
    RadioProxyConfig = new QRadioButton(GroupBox1);
    RadioProxyConfig->setGeometry(32, 70, 177, 17);
    lblEndProxy = NewLabel(GroupBox1, QPoint(64, 98));
    EdtProxyIP = NewEdit(GroupBox1, QRect(120, 95, 185, 21));
    lblPortProxy = NewLabel(GroupBox1, QPoint(328, 98));
    EdtProxyPort = NewEdit(GroupBox1, QRect(368, 95, 73, 21));
    RadioProxySOCKSConfig = new QRadioButton(GroupBox1);
    RadioProxySOCKSConfig->setGeometry(32, 124, 177, 17);
    lblEndSocks = NewLabel(GroupBox1, QPoint(64, 150));
    EdtProxySOCKs = NewEdit(GroupBox1, QRect(120, 147, 185, 21));
    lblPortSocks = NewLabel(GroupBox1, QPoint(328, 150));
    EdtSOCKsPort = NewEdit(GroupBox1, QRect(368, 147, 73, 21));
    chkAutenticacao = new QCheckBox(GroupBox1);
    chkAutenticacao->setGeometry(32, 176, 177, 17);
    lblUserName = NewLabel(GroupBox1, QPoint(64, 202));
    edtUserName = NewEdit(GroupBox1, QRect(120, 197, 185, 21));
    lblSenha = NewLabel(GroupBox1, QPoint(328, 202));
    edtSenha = NewEdit(GroupBox1, QRect(368, 199, 121, 21));
    edtSenha->setEchoMode(QLineEdit::Password);

    const auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    EdtProxyPort->setValidator(digits);
    EdtSOCKsPort->setValidator(digits);

    btnOK = new QPushButton(this);
    btnOK->setGeometry(383, 263, 75, 25);
    btnOK->setDefault(true);
    btnCancel = new QPushButton(this);
    btnCancel->setGeometry(464, 263, 75, 25);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    for (QRadioButton* radio : {RadioNoProxy, RadioProxyIE, RadioProxyConfig, RadioProxySOCKSConfig})
        connect(radio, &QRadioButton::clicked, this, &TInternetConfig::RadioNoProxyClick);
    connect(chkAutenticacao, &QCheckBox::clicked, this, &TInternetConfig::ChkAutenticacaoClick);

    QWidget* order[] = {RadioNoProxy, RadioProxyIE,   RadioProxyConfig, EdtProxyIP,  EdtProxyPort, RadioProxySOCKSConfig,
                        EdtProxySOCKs, EdtSOCKsPort, chkAutenticacao,  edtUserName, edtSenha,     btnOK,
                        btnCancel};
    for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

    RadioNoProxy->setChecked(true);
    ApplyLanguage();
    RadioNoProxyClick();
}

void TInternetConfig::ApplyLanguage() {
    setWindowTitle(Text(TProxyTextKey::Caption));
    GroupBox1->setTitle(Text(TProxyTextKey::GroupBox1));
    const std::pair<QLabel*, TProxyTextKey> labels[] = {
        {lblEndProxy, TProxyTextKey::lblEndProxy}, {lblPortProxy, TProxyTextKey::lblPortProxy},
        {lblUserName, TProxyTextKey::lblUserName}, {lblSenha, TProxyTextKey::lblSenha},
        {lblEndSocks, TProxyTextKey::lblEndSocks}, {lblPortSocks, TProxyTextKey::lblPortSocks}};
    for (const auto& [label, key] : labels) {
        label->setText(Text(key));
        label->adjustSize();
    }
    RadioProxyIE->setText(Text(TProxyTextKey::RadioProxyIE));
    RadioProxyConfig->setText(Text(TProxyTextKey::RadioProxyConfig));
    RadioNoProxy->setText(Text(TProxyTextKey::RadioNoProxy));
    chkAutenticacao->setText(Text(TProxyTextKey::chkAutenticacao));
    RadioProxySOCKSConfig->setText(Text(TProxyTextKey::RadioProxySOCKSConfig));
    btnCancel->setText(Text(TProxyTextKey::btnCancel));
    btnOK->setText(Text(TProxyTextKey::btnOK));
    const int left = ProxyRightEditLeft(GetLanguage());
    for (QLineEdit* edit : {EdtProxyPort, EdtSOCKsPort, edtSenha}) edit->move(left, edit->y());
}

void TInternetConfig::showEvent(QShowEvent* event) {
    ApplyLanguage();
    RadioNoProxyClick();
    if (parentWidget()) move(parentWidget()->geometry().center() - rect().center());
    QDialog::showEvent(event);
}

void TInternetConfig::SelectChoice(TProxyChoice choice) {
    QRadioButton* radios[] = {RadioNoProxy, RadioProxyIE, RadioProxyConfig, RadioProxySOCKSConfig};
    radios[choice]->setChecked(true);
    RadioNoProxyClick();
}

TProxyChoice TInternetConfig::Choice() const {
    if (RadioProxyIE->isChecked()) return pcBrowser;
    if (RadioProxyConfig->isChecked()) return pcManual;
    if (RadioProxySOCKSConfig->isChecked()) return pcSocks;
    return pcNone;
}

void TInternetConfig::RadioNoProxyClick() {
    const TProxyEnabling enabling = ProxyEnabling(Choice(), chkAutenticacao->isChecked());
    SetEnabled({lblEndProxy, EdtProxyIP, lblPortProxy, EdtProxyPort}, enabling.bProxyBoxes);
    SetEnabled({lblEndSocks, EdtProxySOCKs, lblPortSocks, EdtSOCKsPort}, enabling.bSocksBoxes);
    chkAutenticacao->setEnabled(enabling.bAuthenticate);
    SetEnabled({lblUserName, edtUserName, lblSenha, edtSenha}, enabling.bCredentials);
}

void TInternetConfig::ChkAutenticacaoClick() { RadioNoProxyClick(); }

TProxySettings TInternetConfig::ChosenSettings(
    const std::function<bool(std::string&, std::string&)>& systemProxy) const {
    TProxyEntries entries;
    entries.strProxyHost = Utf8(EdtProxyIP->text());
    entries.strProxyPort = Utf8(EdtProxyPort->text());
    entries.strSocksHost = Utf8(EdtProxySOCKs->text());
    entries.strSocksPort = Utf8(EdtSOCKsPort->text());
    entries.bAuthenticate = chkAutenticacao->isChecked();
    entries.strUserName = Utf8(edtUserName->text());
    entries.strPassword = Utf8(edtSenha->text());
    return ChosenProxySettings(Choice(), entries, systemProxy);
}
