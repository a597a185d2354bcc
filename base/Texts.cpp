#include "base/Texts.h"

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <iterator>
#include <stdexcept>
#include <string_view>

namespace {

// Atomic only so that a reader on another thread never races the start-up
// write; the value is set once before any thread exists.
std::atomic<uint8_t> g_nLanguage{lngPortuguese};

struct TTranslatedText {
    const char* strPortuguese;
    const char* strEnglish;
    const char* strSpanish;
};

// The rule of almost every text: 1 English, 2 Spanish, anything else Portuguese.
const char* Pick(const TTranslatedText& text, uint8_t language) {
    switch (language) {
        case lngEnglish:
            return text.strEnglish;
        case lngSpanish:
            return text.strSpanish;
        default:
            return text.strPortuguese;
    }
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// Storing only a changed text keeps a repeated translation from writing to a
// string that workers may be reading at that moment.
void AssignIfChanged(std::string& target, const char* text) {
    if (target != text) target = text;
}

// --- process-wide texts ---------------------------------------------------

constexpr TTranslatedText kInstalling{"Instalando...", "Installing...", "Instalando..."};
constexpr TTranslatedText kUpdating{"Atualizando...", "Updating...", "Actualizando..."};
constexpr TTranslatedText kCheckConnection{
    "Certifique-se de que sua conexão com a internet está funcionando e clique em Tentar Novamente.",
    "Make sure your internet connection is working and click Retry.",
    "Asegúrese de su conexión a internet y clique en Reintentar."};
constexpr TTranslatedText kInstallError{
    "Ocorreu um erro no processo de instalação.\r\nCertifique-se que o produto não esteja em uso e tente novamente.",
    "An error has occurred while installing the product.\r\nPlease make sure it is not currently in use and try "
    "again.",
    "Ha ocurrido un error al instalar el producto.\r\nPor favor, asegúrese de que no esté actualmente en uso y vuelva "
    "a intentarlo.."};
constexpr TTranslatedText kSslOutdated{
    "Erro de segurança: seus certificados SSL/TLS estão desatualizados. Entre em contato com seu administrador de "
    "rede.",
    "Security error: Your SSL/TLS certificates are outdated. Contact your network administrator.",
    "Error de seguridad: Sus certificados SSL/TLS están desactualizados. Póngase en contacto con el administrador de "
    "red."};
constexpr TTranslatedText kWindowsOutdated{
    "Erro de segurança: seu Windows está desatualizado e não possui certificados SSL/TLS necessários para realizar a "
    "atualização com segurança. Entre em contato com seu administrador de rede pra realizar a atualização do seu "
    "sistema.",
    "Security error: Your Windows is out of date and does not have the SSL/TLS certificates required to perform the "
    "update securely. Contact your network administrator to update your system.",
    "Error de seguridad: Windows no está actualizado y no tiene los certificados SSL/TLS necesarios para realizar la "
    "actualización de forma segura. Póngase en contacto con el administrador de red para actualizar el sistema."};
constexpr TTranslatedText kUnexpectedError{
    "Ocorreu um erro inesperado ao efetuar a instalação. Por favor, tente reiniciar o processo ou entre em contato "
    "com a Corvane.\r\nAo contatar o suporte, forneça o seguinte código de identificação: ",
    "An unexpected error occurred while performing the installation. Please try restarting the process or contact "
    "Corvane.\r\nWhen contacting the support, please provide the following code: ",
    "Ocurrió un error inesperado al realizar la instalación. Intente reiniciar el proceso o comuníquese con "
    "Corvane.\r\nCuando se comunique con soporte, proporcione el siguiente código: "};

constexpr TTranslatedText kReleaseNotVerified{
    "A versão recebida não pôde ser verificada e a instalação foi interrompida. Tente novamente mais tarde ou entre "
    "em contato com a Corvane.\r\nAo contatar o suporte, forneça o seguinte código de identificação: ",
    "The release received from the server could not be verified, so the installation was stopped. Please try again "
    "later or contact Corvane.\r\nWhen contacting the support, please provide the following code: ",
    "La versión recibida del servidor no pudo ser verificada y la instalación se detuvo. Intente nuevamente más "
    "tarde o comuníquese con Corvane.\r\nCuando se comunique con soporte, proporcione el siguiente código: "};

constexpr TTranslatedText kStarting{"Iniciando...", "Getting Started...", "Iniciando..."};
constexpr TTranslatedText kFinishing{"Finalizando...", "Finishing...", "Finalizando..."};

// --- frame texts ----------------------------------------------------------

struct TFrameTextRow {
    TFrameTextKey key;
    TFrameTextRule rule;
    TTranslatedText text;
};

using K = TFrameTextKey;

constexpr TFrameTextRow kFrameTexts[] = {
    {K::CreateInstall_lblInstalado,
     ftrForm,
     {"Escolha um nome para a nova instalação", "Choose a name for the new installation",
      "Escoja un nombre para la nueva instalación"}},
    {K::CreateInstall_btnInstall, ftrForm, {"Avançar", "Continue", "Continuar"}},
    {K::NamePlaceholder, ftrInitialValue, {"Nome Escolhido", "Name Chosen", "Nombre escojido"}},
    {K::FillName,
     ftrInitialValue,
     {"Preencha o nome da instalação", "Fill in the name of the installation", "Digite el nombre de la instalação"}},
    {K::NoSpaces,
     ftrInitialValue,
     {"O nome não pode conter espaços", "Name field can not contain spaces",
      "El campo de nombre no puede contener espacios"}},
    {K::NameUsed,
     ftrInitialValue,
     {"O nome escolhido já foi utilizado", "The chosen name has already been used",
      "El nombre elegido ya ha sido utilizado"}},
    {K::InstallDone_lblProgress,
     ftrSet,
     {"Instalação concluída com sucesso!", "Installation completed successfully!",
      "Instalación completada con exito!"}},
    {K::InstallDone_btnOpen, ftrSet, {"Abrir", "Open", "Abrir"}},
    {K::Install_lblConfigInternet,
     ftrSet,
     {"Configurações de Internet", "Internet Settings", "Configuraciones de Internet"}},
    {K::Install_lblText,
     ftrSet,
     {"Ao clicar em instalar você declara que está de acordo ", "",
      "Al clicar en instalar usted declara que está de acuerdo "}},
    {K::Install_lblText2, ftrSet, {"com o nosso ", "By clicking on install you agree to our ", "con nuestro "}},
    {K::Install_lblLink, ftrSet, {"contrato de licença", "license agreement", "contrato de licencia"}},
    {K::Install_btnInstall, ftrSet, {"Instalar", "Install", "Instalar"}},
    {K::InstallUpdate_btnInstall, ftrSet, {"Nova Instalação", "New Install", "Nueva Instalación"}},
    {K::InstallUpdate_btnUpdate, ftrSet, {"Reparar Instalação", "Repair Install", "Reparar Instalación"}},
    {K::InstallUpdate_lblText,
     ftrSet,
     {"Ao clicar em instalar ou reparar você declara que está de acordo ",
      "By clicking on install or repair you agree ",
      "Al clicar em instalar o reparar usted declara que está de acuerdo "}},
    {K::InstallUpdate_lblText2, ftrSet, {"com o nosso ", "to our ", "con nuestro "}},
    {K::InstallUpdate_lblLink, ftrSet, {"contrato de licença", "license agreement", "contrato de licencia"}},
    {K::InstallUpdate_lblConfigInternet,
     ftrSet,
     {"Configurações de Internet", "Internet Settings", "Configuraciones de Internet"}},
    {K::Progress_lblProgress, ftrSet, {"Iniciando ...", "Getting Started ...", "Iniciando ..."}},
    {K::Retry_lblConfigInternet,
     ftrForm,
     {"Configurações de Internet", "Internet Settings", "Configuraciones de Internet"}},
    {K::Retry_btnRetry, ftrForm, {"Tentar Novamente", "Retry", "Reintentar"}},
    {K::SelectInstall_lblInstalado,
     ftrSet,
     {"Selecione a instalação para recuperação:", "Select installation:", "Seleccionar instalación:"}},
    {K::SelectInstall_btnInstall, ftrSet, {"Avançar", "Continue", "Continuar"}},
    {K::UpdateInstaller_lblAlert,
     ftrForm,
     {"Esta versão do instalador não é mais suportada.", "This version of the installer is no longer supported.",
      "Esta versión de instalador no es mas soportado."}},
    {K::UpdateInstaller_btnUpdate, ftrForm, {"Atualizar", "Update", "Actualizar"}},
    {K::Install_lblDot, ftrFixed, {".", ".", "."}},
    {K::InstallUpdate_lblDot, ftrFixed, {".", ".", "."}},
    {K::Aborted_btnOK, ftrFixed, {"OK", "OK", "OK"}},
};

// Rows are indexed by key; a row added out of order fails the build.
template <typename Row, size_t N>
constexpr bool RowsInKeyOrder(const Row (&rows)[N]) {
    for (size_t i = 0; i < N; ++i) {
        if (static_cast<size_t>(rows[i].key) != i) return false;
    }
    return true;
}

static_assert(std::size(kFrameTexts) == nFrameTextKeyCount, "one row per frame text key");
static_assert(RowsInKeyOrder(kFrameTexts), "frame text rows in key order");

const TFrameTextRow& FrameRow(TFrameTextKey key) {
    size_t index = static_cast<size_t>(key);
    if (index >= nFrameTextKeyCount) throw std::out_of_range("FrameText: not a frame text key");
    return kFrameTexts[index];
}

// --- proxy dialog ---------------------------------------------------------

struct TProxyTextRow {
    TProxyTextKey key;
    TTranslatedText text;
};

using P = TProxyTextKey;

constexpr TProxyTextRow kProxyTexts[] = {
    {P::Caption, {"Configurações de Internet", "Internet Settings", "Configuración de Internet"}},
    {P::GroupBox1, {"Configurações do Proxy", " Proxy Settings ", "Configuraciones de Proxy"}},
    {P::lblEndProxy, {"Endereço:", "Address:", "Dirrección:"}},
    {P::lblPortProxy, {"Porta:", "Port:", "Puerta:"}},
    {P::lblUserName, {"Usuário:", "Username:", "Usuario:"}},
    {P::lblSenha, {"Senha:", "Password:", "Contraseña:"}},
    {P::lblEndSocks, {"Endereço:", "Address:", "Dirección:"}},
    {P::lblPortSocks, {"Porta:", "Port:", "Puerta:"}},
    {P::RadioProxyIE,
     {"Usar configurações de proxy do navegador da Web", "Use Web browser proxy settings",
      "Usar configuraciones de proxy del navegador de la Web"}},
    {P::RadioProxyConfig,
     {"Usar o seguinte servidor proxy:", "Use the following proxy server:", "Usar el siguiente servidor proxy:"}},
    {P::RadioNoProxy, {"Não usar um servidor proxy", "Do not use a proxy server", "No usar un servidor proxy"}},
    {P::chkAutenticacao, {"Requer Autenticação", "Authentication required", "Requiere Autenticación"}},
    {P::RadioProxySOCKSConfig,
     {"Usar o seguinte proxy SOCKS:", "Use the following SOCKS Proxy:", "Usar el siguiente proxy SOCKS:"}},
    {P::btnCancel, {"Cancelar", "Cancel", "Cancelar"}},
    {P::btnOK, {"OK", "OK", "OK"}},
};

static_assert(std::size(kProxyTexts) == nProxyTextKeyCount, "one row per proxy text key");
static_assert(RowsInKeyOrder(kProxyTexts), "proxy text rows in key order");

// --- message boxes --------------------------------------------------------

constexpr TTranslatedText kCloseCaption{"Cancelar", "Cancel", "Cancelar"};
constexpr TTranslatedText kCloseQuestion{"Deseja cancelar a instalação?", "Do you want to cancel the installation?",
                                         "Desea cancelar la instalación?"};

constexpr TTranslatedText kReportMessage{
    "Ocorreu um erro com o Instalador.\r\nInformações do problema foram enviadas à Corvane para análise da equipe "
    "técnica.",
    "There was an error with the Installer.\r\nThe error report has been sent to Corvane and is being reviewed by our "
    "technical team.",
    "Hay un error con el instalador.\r\nInformaciones del problema fueron enviadas para Corvane para un analisis del "
    "equipo técnico."};

}  // namespace

// --- language value -------------------------------------------------------

uint8_t GetLanguage() { return g_nLanguage.load(std::memory_order_relaxed); }

void SetLanguage(uint8_t language) { g_nLanguage.store(language, std::memory_order_relaxed); }

uint8_t LanguageFromText(const char* value) {
    if (value == nullptr) return lngPortuguese;
    std::string_view text(value);
    if (text == "1" || EqualsIgnoringCase(text, "en")) return lngEnglish;
    if (text == "2" || EqualsIgnoringCase(text, "es")) return lngSpanish;
    return lngPortuguese;
}

void SetLanguageFromEnvironment() { SetLanguage(LanguageFromText(std::getenv("ORLADESK_LANGUAGE"))); }

// --- process-wide texts ---------------------------------------------------

std::string txtNamePlaceholder = FrameRow(TFrameTextKey::NamePlaceholder).text.strPortuguese;
std::string txtFillName = FrameRow(TFrameTextKey::FillName).text.strPortuguese;
std::string txtNoSpaces = FrameRow(TFrameTextKey::NoSpaces).text.strPortuguese;
std::string txtNameUsed = FrameRow(TFrameTextKey::NameUsed).text.strPortuguese;

std::string txtInstalling = kInstalling.strPortuguese;
std::string txtUpdating = kUpdating.strPortuguese;
std::string txtCheckConnection = kCheckConnection.strPortuguese;
std::string txtInstallError = kInstallError.strPortuguese;
std::string txtSslOutdated = kSslOutdated.strPortuguese;
std::string txtWindowsOutdated = kWindowsOutdated.strPortuguese;
std::string txtUnexpectedError = kUnexpectedError.strPortuguese;
std::string txtReleaseNotVerified = kReleaseNotVerified.strPortuguese;

void TranslateEngineTexts(uint8_t language) {
    if (language != lngEnglish && language != lngSpanish) return;
    AssignIfChanged(txtInstalling, Pick(kInstalling, language));
    AssignIfChanged(txtUpdating, Pick(kUpdating, language));
    AssignIfChanged(txtCheckConnection, Pick(kCheckConnection, language));
    AssignIfChanged(txtInstallError, Pick(kInstallError, language));
    AssignIfChanged(txtSslOutdated, Pick(kSslOutdated, language));
    AssignIfChanged(txtWindowsOutdated, Pick(kWindowsOutdated, language));
    AssignIfChanged(txtUnexpectedError, Pick(kUnexpectedError, language));
    AssignIfChanged(txtReleaseNotVerified, Pick(kReleaseNotVerified, language));
}

void TranslateNameFrameTexts(uint8_t language) {
    if (language != lngEnglish && language != lngSpanish) return;
    txtNamePlaceholder = FrameText(TFrameTextKey::NamePlaceholder, language);
    txtFillName = FrameText(TFrameTextKey::FillName, language);
    txtNoSpaces = FrameText(TFrameTextKey::NoSpaces, language);
    txtNameUsed = FrameText(TFrameTextKey::NameUsed, language);
}

std::string StartingStatusText(uint8_t language) { return Pick(kStarting, language); }

std::string FinishingStatusText(uint8_t language) { return Pick(kFinishing, language); }

// --- frame texts ----------------------------------------------------------

std::string FrameText(TFrameTextKey key, uint8_t language) { return Pick(FrameRow(key).text, language); }

TFrameTextRule FrameTextRule(TFrameTextKey key) { return FrameRow(key).rule; }

bool FrameTextSetForPortuguese(TFrameTextKey key) { return FrameTextRule(key) == ftrSet; }

// --- proxy dialog ---------------------------------------------------------

std::string ProxyDialogText(TProxyTextKey key, uint8_t language) {
    size_t index = static_cast<size_t>(key);
    if (index >= nProxyTextKeyCount) throw std::out_of_range("ProxyDialogText: not a proxy text key");
    return Pick(kProxyTexts[index].text, language);
}

int ProxyRightEditLeft(uint8_t language) {
    return language == lngEnglish ? nProxyRightEditLeftEnglish : nProxyRightEditLeftOther;
}

// --- message boxes --------------------------------------------------------

TMessageBoxText CloseQuestion(uint8_t language) {
    return {Pick(kCloseCaption, language), Pick(kCloseQuestion, language)};
}

TMessageBoxText ImageFailureMessage(uint8_t language) {
    if (language == lngEnglish) return {"Error", "Corrupted file. Please do a new download."};
    return {"Erro", "Arquivo Corrompido. Por favor, faça um novo download."};
}

std::string ErrorReportUserMessage(uint8_t language) {
    if (language == lngPortuguese) return kReportMessage.strPortuguese;
    if (language == lngSpanish) return kReportMessage.strSpanish;
    return kReportMessage.strEnglish;
}
