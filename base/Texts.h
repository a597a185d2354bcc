#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Everything the user reads, in Portuguese (Brazil), English and Spanish.
//
// Texts are fixed data: accents, blanks at the ends and the odd spelling of a
// text are part of it and are shown as they are. "\r\n" inside a text is a line
// break (CR LF) that the window shows as one.

// ---------------------------------------------------------------------------
// The language value
// ---------------------------------------------------------------------------

inline constexpr uint8_t lngPortuguese = 0;  // the default
inline constexpr uint8_t lngEnglish = 1;
inline constexpr uint8_t lngSpanish = 2;

// One process-wide byte. It is set at start-up, before the window or any thread
// exists, and only read afterwards. Nothing in a run changes it.
uint8_t GetLanguage();
void SetLanguage(uint8_t language);

// "0", "1", "2", "pt", "en" or "es" (the words in any letter case). Null, empty
// or anything else gives Portuguese, so a mistyped setting never stops a run.
uint8_t LanguageFromText(const char* value);

// The operator's choice of language: ORLADESK_LANGUAGE, read as LanguageFromText.
// Unset means Portuguese.
void SetLanguageFromEnvironment();

// ---------------------------------------------------------------------------
// Process-wide texts
// ---------------------------------------------------------------------------
// They start with their Portuguese values. Portuguese (and any value other than
// 1 or 2) never rewrites them, so the initial values stay.

// Name-frame texts: written by TranslateNameFrameTexts and read on the window's
// thread only.
extern std::string txtNamePlaceholder;
extern std::string txtFillName;
extern std::string txtNoSpaces;
extern std::string txtNameUsed;

// Engine texts: written by TranslateEngineTexts on the installer thread at the
// start of a download set-up, before the workers of that set-up exist, and read
// there and by the workers. The window never reads them: they reach it as copies
// inside messages.
extern std::string txtInstalling;
extern std::string txtUpdating;
extern std::string txtCheckConnection;  // retry text: version query or download failed
extern std::string txtInstallError;     // retry text: first failed extraction
extern std::string txtSslOutdated;
extern std::string txtWindowsOutdated;
extern std::string txtUnexpectedError;  // ends with ": ", the support code follows it
// Aborted frame of a release that failed its signature or hash checks; ends
// with ": " like txtUnexpectedError.
extern std::string txtReleaseNotVerified;

// 1 English, 2 Spanish; any other value leaves the eight engine texts as they
// are. A text is only stored when its content differs, so once the texts are set
// for the run's language a later call (after a retry, with workers of the earlier
// set-up still reading) writes nothing.
void TranslateEngineTexts(uint8_t language);

// 1 English, 2 Spanish; any other value leaves the four name-frame texts as
// they are. Window thread only.
void TranslateNameFrameTexts(uint8_t language);

// ---------------------------------------------------------------------------
// Status texts that engine steps send to the progress label
// ---------------------------------------------------------------------------

// Start of an unattended install or update: "Iniciando..." / "Getting Started...".
std::string StartingStatusText(uint8_t language);
// The registration step: "Finalizando..." / "Finishing...".
std::string FinishingStatusText(uint8_t language);

// ---------------------------------------------------------------------------
// Frame texts
// ---------------------------------------------------------------------------
// A key names the frame and control whose caption receives the text (frame
// `TFrameCreateInstall` -> prefix CreateInstall_). The four name-frame keys are
// the values of the process-wide texts above.

enum class TFrameTextKey : uint8_t {
    CreateInstall_lblInstalado,
    CreateInstall_btnInstall,
    NamePlaceholder,  // also put into `edtNome` for English and Spanish
    FillName,
    NoSpaces,
    NameUsed,
    InstallDone_lblProgress,
    InstallDone_btnOpen,
    Install_lblConfigInternet,
    Install_lblText,  // empty in English: the sentence starts in lblText2
    Install_lblText2,
    Install_lblLink,
    Install_btnInstall,
    InstallUpdate_btnInstall,
    InstallUpdate_btnUpdate,
    InstallUpdate_lblText,
    InstallUpdate_lblText2,
    InstallUpdate_lblLink,
    InstallUpdate_lblConfigInternet,
    Progress_lblProgress,  // the starting text, before the engine sends its own
    Retry_lblConfigInternet,
    Retry_btnRetry,
    SelectInstall_lblInstalado,
    SelectInstall_btnInstall,
    UpdateInstaller_lblAlert,
    UpdateInstaller_btnUpdate,
    Install_lblDot,        // "." in every language
    InstallUpdate_lblDot,  // "." in every language
    Aborted_btnOK,         // "OK" in every language
    Count                  // number of keys, not a key
};

inline constexpr size_t nFrameTextKeyCount = static_cast<size_t>(TFrameTextKey::Count);

// How a frame's Translate treats a key.
enum TFrameTextRule : uint8_t {
    ftrSet,           // set for every language, Portuguese included
    ftrForm,          // set for English and Spanish; Portuguese keeps the form caption (the same text)
    ftrInitialValue,  // a process-wide text: set for English and Spanish; Portuguese keeps its starting value
    ftrFixed          // the same in every language and never set by Translate
};

// 1 English, 2 Spanish, any other value Portuguese.
std::string FrameText(TFrameTextKey key, uint8_t language);
TFrameTextRule FrameTextRule(TFrameTextKey key);
// Whether Translate writes the caption for Portuguese too (rule ftrSet). For
// the others Portuguese keeps what the control already holds; for the name box
// that means the user's typing survives a second showing.
bool FrameTextSetForPortuguese(TFrameTextKey key);

// ---------------------------------------------------------------------------
// Internet settings (proxy) dialog
// ---------------------------------------------------------------------------

enum class TProxyTextKey : uint8_t {
    Caption,  // the dialog's own caption
    GroupBox1,
    lblEndProxy,
    lblPortProxy,
    lblUserName,
    lblSenha,
    lblEndSocks,
    lblPortSocks,
    RadioProxyIE,
    RadioProxyConfig,
    RadioNoProxy,
    chkAutenticacao,
    RadioProxySOCKSConfig,
    btnCancel,
    btnOK,  // "OK" in every language
    Count   // number of keys, not a key
};

inline constexpr size_t nProxyTextKeyCount = static_cast<size_t>(TProxyTextKey::Count);

// 1 English, 2 Spanish, any other value Portuguese.
std::string ProxyDialogText(TProxyTextKey key, uint8_t language);

// Left edge of `EdtProxyPort`, `EdtSOCKsPort` and `edtSenha`: the English labels
// are wider, so the three boxes sit further right.
inline constexpr int nProxyRightEditLeftEnglish = 383;
inline constexpr int nProxyRightEditLeftOther = 368;
int ProxyRightEditLeft(uint8_t language);

// ---------------------------------------------------------------------------
// Message boxes
// ---------------------------------------------------------------------------

struct TMessageBoxText {
    std::string strCaption;
    std::string strText;
};

// Yes/No question when the window is closed during an installation.
// 1 English, 2 Spanish, any other value Portuguese.
TMessageBoxText CloseQuestion(uint8_t language);

// A picture of the program is missing or broken. English for 1, Portuguese for
// every other value (there is no Spanish text).
TMessageBoxText ImageFailureMessage(uint8_t language);

// Told to the user after an error report was sent; the caption is the
// application's title. Note the different rule: 0 Portuguese, 2 Spanish and any
// other value English.
std::string ErrorReportUserMessage(uint8_t language);
