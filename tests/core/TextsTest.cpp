#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/Texts.h"
#include "support/EnvVar.h"

namespace {

std::vector<std::string*> AllProcessWideTexts() {
    return {&txtNamePlaceholder, &txtFillName,        &txtNoSpaces,        &txtNameUsed,
            &txtInstalling,      &txtUpdating,        &txtCheckConnection, &txtInstallError,
            &txtSslOutdated,     &txtWindowsOutdated, &txtUnexpectedError, &txtReleaseNotVerified};
}

// The texts and the language value are process-wide: every test puts back what
// it found, so other suites still see the Portuguese start values.
class TextsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_nLanguage = GetLanguage();
        for (std::string* text : AllProcessWideTexts()) m_lstSaved.push_back(*text);
    }
    void TearDown() override {
        SetLanguage(m_nLanguage);
        RestoreTexts();
    }
    void RestoreTexts() {
        std::vector<std::string*> texts = AllProcessWideTexts();
        for (size_t i = 0; i < texts.size(); ++i) *texts[i] = m_lstSaved[i];
    }

    uint8_t m_nLanguage = 0;
    std::vector<std::string> m_lstSaved;
};

// --- language value ---------------------------------------------------------

struct LanguageTextCase {
    const char* text;  // nullptr: no value at all
    uint8_t expected;
};

class LanguageFromTextTable : public ::testing::TestWithParam<LanguageTextCase> {};

TEST_P(LanguageFromTextTable, ParsesAcceptedFormsAndFallsBackToPortuguese) {
    EXPECT_EQ(LanguageFromText(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, LanguageFromTextTable,
                         ::testing::Values(LanguageTextCase{"0", 0}, LanguageTextCase{"1", 1}, LanguageTextCase{"2", 2},
                                           LanguageTextCase{"pt", 0}, LanguageTextCase{"en", 1},
                                           LanguageTextCase{"es", 2}, LanguageTextCase{"EN", 1},
                                           LanguageTextCase{"Es", 2}, LanguageTextCase{"PT", 0},
                                           LanguageTextCase{"3", 0}, LanguageTextCase{"english", 0},
                                           LanguageTextCase{"e", 0}, LanguageTextCase{" en", 0},
                                           LanguageTextCase{"1 ", 0}, LanguageTextCase{"01", 0},
                                           LanguageTextCase{"", 0}, LanguageTextCase{nullptr, 0}));

class LanguageEnvironmentTest : public TextsTest {
protected:
    void SetUp() override {
        TextsTest::SetUp();
        const char* old = std::getenv("ORLADESK_LANGUAGE");
        if (old != nullptr) m_strOldValue = old;
    }
    void TearDown() override {
        if (m_strOldValue)
            SetEnvVar("ORLADESK_LANGUAGE", m_strOldValue->c_str());
        else
            UnsetEnvVar("ORLADESK_LANGUAGE");
        TextsTest::TearDown();
    }

    std::optional<std::string> m_strOldValue;
};

TEST_F(LanguageEnvironmentTest, SetsTheValueFromTheVariable) {
    struct Case {
        const char* value;  // nullptr: variable unset
        uint8_t before;
        uint8_t expected;
    };
    const Case cases[] = {
        {"en", 0, 1}, {"2", 0, 2}, {"ES", 1, 2}, {"pt", 2, 0}, {"klingon", 2, 0}, {"", 1, 0}, {nullptr, 1, 0},
    };
    for (const Case& c : cases) {
        SetLanguage(c.before);
        if (c.value)
            SetEnvVar("ORLADESK_LANGUAGE", c.value);
        else
            UnsetEnvVar("ORLADESK_LANGUAGE");
        SetLanguageFromEnvironment();
        EXPECT_EQ(GetLanguage(), c.expected) << (c.value ? c.value : "(unset)");
    }
}

// --- engine texts -------------------------------------------------------------

TEST_F(TextsTest, EngineTextsStartPortugueseAndStayForLanguageZero) {
    TranslateEngineTexts(lngPortuguese);
    EXPECT_EQ(txtInstalling, "Instalando...");
    EXPECT_EQ(txtUpdating, "Atualizando...");
    EXPECT_EQ(txtCheckConnection,
              "Certifique-se de que sua conexão com a internet está funcionando e clique em Tentar Novamente.");
    EXPECT_EQ(txtInstallError,
              "Ocorreu um erro no processo de instalação.\r\nCertifique-se que o produto não esteja em uso e tente "
              "novamente.");
    EXPECT_TRUE(txtUnexpectedError.starts_with("Ocorreu um erro inesperado ao efetuar a instalação. "));
    EXPECT_TRUE(txtUnexpectedError.ends_with("forneça o seguinte código de identificação: "));
    EXPECT_TRUE(txtReleaseNotVerified.starts_with("A versão recebida não pôde ser verificada"));
    EXPECT_TRUE(txtReleaseNotVerified.ends_with("forneça o seguinte código de identificação: "));
}

TEST_F(TextsTest, EngineTextsInEnglish) {
    TranslateEngineTexts(lngEnglish);
    EXPECT_EQ(txtInstalling, "Installing...");
    EXPECT_EQ(txtUpdating, "Updating...");
    EXPECT_EQ(txtCheckConnection, "Make sure your internet connection is working and click Retry.");
    EXPECT_EQ(txtInstallError,
              "An error has occurred while installing the product.\r\nPlease make sure it is not currently in use "
              "and try again.");
    EXPECT_EQ(txtSslOutdated,
              "Security error: Your SSL/TLS certificates are outdated. Contact your network administrator.");
    EXPECT_TRUE(txtWindowsOutdated.starts_with("Security error: Your Windows is out of date"));
    EXPECT_EQ(txtUnexpectedError,
              "An unexpected error occurred while performing the installation. Please try restarting the process "
              "or contact Corvane.\r\nWhen contacting the support, please provide the following code: ");
    EXPECT_EQ(txtReleaseNotVerified,
              "The release received from the server could not be verified, so the installation was stopped. Please "
              "try again later or contact Corvane.\r\nWhen contacting the support, please provide the following "
              "code: ");
}

TEST_F(TextsTest, EngineTextsInSpanish) {
    TranslateEngineTexts(lngSpanish);
    EXPECT_EQ(txtInstalling, "Instalando...");
    EXPECT_EQ(txtUpdating, "Actualizando...");
    EXPECT_EQ(txtCheckConnection, "Asegúrese de su conexión a internet y clique en Reintentar.");
    EXPECT_EQ(txtInstallError,
              "Ha ocurrido un error al instalar el producto.\r\nPor favor, asegúrese de que no esté actualmente en "
              "uso y vuelva a intentarlo..");
    EXPECT_TRUE(txtSslOutdated.starts_with("Error de seguridad: Sus certificados SSL/TLS están desactualizados."));
    EXPECT_TRUE(txtUnexpectedError.ends_with("proporcione el siguiente código: "));
    EXPECT_TRUE(txtReleaseNotVerified.starts_with("La versión recibida del servidor no pudo ser verificada"));
    EXPECT_TRUE(txtReleaseNotVerified.ends_with("proporcione el siguiente código: "));
}

TEST_F(TextsTest, EngineTranslateIgnoresOtherValuesAndSwitchesBetweenTheTwoItKnows) {
    TranslateEngineTexts(lngEnglish);
    TranslateEngineTexts(7);  // not a language: keeps what is there
    EXPECT_EQ(txtUpdating, "Updating...");
    TranslateEngineTexts(lngPortuguese);  // Portuguese never writes either
    EXPECT_EQ(txtUpdating, "Updating...");
    TranslateEngineTexts(lngSpanish);
    EXPECT_EQ(txtUpdating, "Actualizando...");
    TranslateEngineTexts(lngSpanish);  // a repeat (set-up after a retry) keeps the content
    EXPECT_TRUE(txtInstallError.ends_with("intentarlo.."));
}

TEST_F(TextsTest, EngineAndNameTranslationsTouchOnlyTheirOwnTexts) {
    TranslateEngineTexts(lngEnglish);
    EXPECT_EQ(txtNamePlaceholder, "Nome Escolhido");
    TranslateNameFrameTexts(lngSpanish);
    EXPECT_EQ(txtInstalling, "Installing...");
    EXPECT_EQ(txtNamePlaceholder, "Nombre escojido");
}

// --- name-frame texts -----------------------------------------------------------

TEST_F(TextsTest, NameFrameTextsPerLanguage) {
    struct Case {
        uint8_t language;
        const char* placeholder;
        const char* fillName;
        const char* noSpaces;
        const char* nameUsed;
    };
    const Case cases[] = {
        {lngPortuguese, "Nome Escolhido", "Preencha o nome da instalação", "O nome não pode conter espaços",
         "O nome escolhido já foi utilizado"},
        {lngEnglish, "Name Chosen", "Fill in the name of the installation", "Name field can not contain spaces",
         "The chosen name has already been used"},
        {lngSpanish, "Nombre escojido", "Digite el nombre de la instalação",
         "El campo de nombre no puede contener espacios", "El nombre elegido ya ha sido utilizado"},
    };
    for (const Case& c : cases) {
        RestoreTexts();  // back to the Portuguese start values
        TranslateNameFrameTexts(c.language);
        EXPECT_EQ(txtNamePlaceholder, c.placeholder);
        EXPECT_EQ(txtFillName, c.fillName);
        EXPECT_EQ(txtNoSpaces, c.noSpaces);
        EXPECT_EQ(txtNameUsed, c.nameUsed);
    }
}

// --- status texts -------------------------------------------------------------

TEST(StatusTexts, StartingAndFinishingPerLanguage) {
    struct Case {
        uint8_t language;
        const char* starting;
        const char* finishing;
    };
    const Case cases[] = {
        {0, "Iniciando...", "Finalizando..."},
        {1, "Getting Started...", "Finishing..."},
        {2, "Iniciando...", "Finalizando..."},
        {200, "Iniciando...", "Finalizando..."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StartingStatusText(c.language), c.starting) << int(c.language);
        EXPECT_EQ(FinishingStatusText(c.language), c.finishing) << int(c.language);
    }
}

// --- frame texts ----------------------------------------------------------------

struct FrameTextCase {
    TFrameTextKey key;
    const char* portuguese;
    const char* english;
    const char* spanish;
    bool setForPortuguese;
};

class FrameTextTable : public ::testing::TestWithParam<FrameTextCase> {};

TEST_P(FrameTextTable, TextsInEachLanguageAndThePortugueseRule) {
    const auto& c = GetParam();
    EXPECT_EQ(FrameText(c.key, 0), c.portuguese);
    EXPECT_EQ(FrameText(c.key, 1), c.english);
    EXPECT_EQ(FrameText(c.key, 2), c.spanish);
    EXPECT_EQ(FrameText(c.key, 9), c.portuguese);
    EXPECT_EQ(FrameTextSetForPortuguese(c.key), c.setForPortuguese);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameTextTable,
    ::testing::Values(
        FrameTextCase{TFrameTextKey::CreateInstall_lblInstalado, "Escolha um nome para a nova instalação",
                      "Choose a name for the new installation", "Escoja un nombre para la nueva instalación", false},
        FrameTextCase{TFrameTextKey::NamePlaceholder, "Nome Escolhido", "Name Chosen", "Nombre escojido", false},
        FrameTextCase{TFrameTextKey::InstallDone_lblProgress, "Instalação concluída com sucesso!",
                      "Installation completed successfully!", "Instalación completada con exito!", true},
        FrameTextCase{TFrameTextKey::Install_lblText, "Ao clicar em instalar você declara que está de acordo ", "",
                      "Al clicar en instalar usted declara que está de acuerdo ", true},
        FrameTextCase{TFrameTextKey::Install_lblText2, "com o nosso ", "By clicking on install you agree to our ",
                      "con nuestro ", true},
        FrameTextCase{TFrameTextKey::InstallUpdate_lblText,
                      "Ao clicar em instalar ou reparar você declara que está de acordo ",
                      "By clicking on install or repair you agree ",
                      "Al clicar em instalar o reparar usted declara que está de acuerdo ", true},
        FrameTextCase{TFrameTextKey::Progress_lblProgress, "Iniciando ...", "Getting Started ...", "Iniciando ...",
                      true},
        FrameTextCase{TFrameTextKey::Retry_btnRetry, "Tentar Novamente", "Retry", "Reintentar", false},
        FrameTextCase{TFrameTextKey::SelectInstall_lblInstalado, "Selecione a instalação para recuperação:",
                      "Select installation:", "Seleccionar instalación:", true},
        FrameTextCase{TFrameTextKey::UpdateInstaller_lblAlert, "Esta versão do instalador não é mais suportada.",
                      "This version of the installer is no longer supported.",
                      "Esta versión de instalador no es mas soportado.", false},
        FrameTextCase{TFrameTextKey::Install_lblDot, ".", ".", ".", false},
        FrameTextCase{TFrameTextKey::Aborted_btnOK, "OK", "OK", "OK", false}));

TEST(FrameTexts, RulesFollowTheKindOfCaption) {
    EXPECT_EQ(FrameTextRule(TFrameTextKey::CreateInstall_btnInstall), ftrForm);
    EXPECT_EQ(FrameTextRule(TFrameTextKey::FillName), ftrInitialValue);
    EXPECT_EQ(FrameTextRule(TFrameTextKey::InstallUpdate_btnUpdate), ftrSet);
    EXPECT_EQ(FrameTextRule(TFrameTextKey::InstallUpdate_lblDot), ftrFixed);
}

TEST_F(TextsTest, NameKeysHoldTheStartValuesOfTheProcessWideTexts) {
    EXPECT_EQ(FrameText(TFrameTextKey::NamePlaceholder, 0), txtNamePlaceholder);
    EXPECT_EQ(FrameText(TFrameTextKey::FillName, 0), txtFillName);
    EXPECT_EQ(FrameText(TFrameTextKey::NoSpaces, 0), txtNoSpaces);
    EXPECT_EQ(FrameText(TFrameTextKey::NameUsed, 0), txtNameUsed);
}

TEST(FrameTexts, EveryKeyHasAPortugueseText) {
    for (size_t i = 0; i < nFrameTextKeyCount; ++i)
        EXPECT_FALSE(FrameText(static_cast<TFrameTextKey>(i), 0).empty()) << "key " << i;
}

TEST(FrameTexts, TheCountSentinelIsNotAKey) {
    EXPECT_THROW(FrameText(TFrameTextKey::Count, 0), std::out_of_range);
    EXPECT_THROW(ProxyDialogText(TProxyTextKey::Count, 0), std::out_of_range);
}

// --- proxy dialog ---------------------------------------------------------------

TEST(ProxyDialogTexts, SpotChecksInEachLanguage) {
    struct Case {
        TProxyTextKey key;
        const char* portuguese;
        const char* english;
        const char* spanish;
    };
    const Case cases[] = {
        {TProxyTextKey::Caption, "Configurações de Internet", "Internet Settings", "Configuración de Internet"},
        {TProxyTextKey::GroupBox1, "Configurações do Proxy", " Proxy Settings ", "Configuraciones de Proxy"},
        // The two address labels differ in Spanish only, by a typo that is kept.
        {TProxyTextKey::lblEndProxy, "Endereço:", "Address:", "Dirrección:"},
        {TProxyTextKey::lblEndSocks, "Endereço:", "Address:", "Dirección:"},
        {TProxyTextKey::lblSenha, "Senha:", "Password:", "Contraseña:"},
        {TProxyTextKey::RadioProxySOCKSConfig,
         "Usar o seguinte proxy SOCKS:", "Use the following SOCKS Proxy:", "Usar el siguiente proxy SOCKS:"},
        {TProxyTextKey::btnCancel, "Cancelar", "Cancel", "Cancelar"},
        {TProxyTextKey::btnOK, "OK", "OK", "OK"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProxyDialogText(c.key, 0), c.portuguese);
        EXPECT_EQ(ProxyDialogText(c.key, 1), c.english);
        EXPECT_EQ(ProxyDialogText(c.key, 2), c.spanish);
        EXPECT_EQ(ProxyDialogText(c.key, 4), c.portuguese);
    }
}

TEST(ProxyDialogTexts, RightEditsMoveRightForEnglishOnly) {
    EXPECT_EQ(ProxyRightEditLeft(1), 383);
    EXPECT_EQ(ProxyRightEditLeft(0), 368);
    EXPECT_EQ(ProxyRightEditLeft(2), 368);
    EXPECT_EQ(ProxyRightEditLeft(5), 368);
}

// --- message boxes --------------------------------------------------------------

TEST(MessageTexts, CloseQuestionPerLanguage) {
    struct Case {
        uint8_t language;
        const char* caption;
        const char* question;
    };
    const Case cases[] = {
        {0, "Cancelar", "Deseja cancelar a instalação?"},
        {1, "Cancel", "Do you want to cancel the installation?"},
        {2, "Cancelar", "Desea cancelar la instalación?"},
        {3, "Cancelar", "Deseja cancelar a instalação?"},
    };
    for (const Case& c : cases) {
        TMessageBoxText box = CloseQuestion(c.language);
        EXPECT_EQ(box.strCaption, c.caption) << int(c.language);
        EXPECT_EQ(box.strText, c.question) << int(c.language);
    }
}

TEST(MessageTexts, ImageFailureHasNoSpanishText) {
    const char* portuguese = "Arquivo Corrompido. Por favor, faça um novo download.";
    struct Case {
        uint8_t language;
        const char* caption;
        const char* text;
    };
    const Case cases[] = {
        {0, "Erro", portuguese},
        {1, "Error", "Corrupted file. Please do a new download."},
        {2, "Erro", portuguese},
        {3, "Erro", portuguese},
    };
    for (const Case& c : cases) {
        TMessageBoxText box = ImageFailureMessage(c.language);
        EXPECT_EQ(box.strCaption, c.caption) << int(c.language);
        EXPECT_EQ(box.strText, c.text) << int(c.language);
    }
}

TEST(MessageTexts, ErrorReportMessageFallsBackToEnglish) {
    const std::string portuguese =
        "Ocorreu um erro com o Instalador.\r\nInformações do problema foram enviadas à Corvane para análise da "
        "equipe técnica.";
    const std::string english =
        "There was an error with the Installer.\r\nThe error report has been sent to Corvane and is being reviewed "
        "by our technical team.";
    const std::string spanish =
        "Hay un error con el instalador.\r\nInformaciones del problema fueron enviadas para Corvane para un "
        "analisis del equipo técnico.";
    EXPECT_EQ(ErrorReportUserMessage(0), portuguese);
    EXPECT_EQ(ErrorReportUserMessage(1), english);
    EXPECT_EQ(ErrorReportUserMessage(2), spanish);
    EXPECT_EQ(ErrorReportUserMessage(3), english);
    EXPECT_EQ(ErrorReportUserMessage(255), english);
}

}  // namespace
