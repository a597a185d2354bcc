#include "base/HelpText.h"

#include <iterator>

#include "base/Texts.h"

namespace {

// Words that differ between the blocks; the line shapes are shared.
struct THelpWords {
    const char* strTitleSuffix;
    const char* strUsage;
    const char* strNameWord;
    const char* strHelpWord;
};

constexpr THelpWords kPortugueseWords{" - Ajuda", "Modo de uso:", "[nome]", "Exibe esta ajuda"};
constexpr THelpWords kEnglishWords{" - Help", "Usage:", "[name]", "Show this help"};
constexpr THelpWords kSpanishWords{" - Ayuda", "Modo de uso:", "[nombre]", "Exibe esta ayuda"};

// The usage lines. Only Portuguese and English list "/st", and both call it by
// its English words.
std::vector<std::string> UsageLines(const THelpWords& words, const std::string& exe, bool bWithSingleThread) {
    std::vector<std::string> lines{
        words.strUsage,
        exe + " /install " + words.strNameWord,
        exe + " /update " + words.strNameWord,
    };
    if (bWithSingleThread) lines.push_back(exe + " /st - Single threaded");
    lines.push_back(exe + " /? - " + words.strHelpWord);
    lines.push_back("");
    return lines;
}

void Append(std::vector<std::string>& lines, std::vector<std::string> more) {
    lines.insert(lines.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
}

std::vector<std::string> PortugueseLines(const std::string& exe, const std::string& product) {
    std::vector<std::string> lines = UsageLines(kPortugueseWords, exe, true);
    Append(lines,
           {
               "[nome] é um identificador opcional que não pode conter espaços.",
               "Ele serve para que seja possivel ter mais do que uma instalação do " + product + " na mesma máquina.",
               "",
               "Valor de retorno:",
               "\t 0 -> Instalação foi concluida com sucesso.",
               "\t 1 -> Já existe uma instalação com este nome (somente com /install).",
               "\t 2 -> Não foi encontrada uma instalação com o nome selecionado (somente com "
               "atualizar/reparar).",
               "\t 3 -> O " + product +
                   " está em execução e precisa ser fechado antes de ser feita alguma alteração no sistema.",
               "\t 4 -> Ocorreram mais de 3 falhas ao tentar efetuar o download dos arquivos.",
               "\t-1 -> Ocorreu algum erro inesperado.",
           });
    return lines;
}

std::vector<std::string> EnglishLines(const std::string& exe, const std::string& product) {
    std::vector<std::string> lines = UsageLines(kEnglishWords, exe, true);
    Append(lines,
           {
               "[name] is an optional identifier that can not contain spaces.",
               "It is so that it is possible to have more than one " + product + " installation on the same machine.",
               "",
               "Return Value:",
               "\t 0 -> Installation completed successfully.",
               "\t 1 -> An installation with this name already exists (only with / install).",
               "\t 2 -> No installation was found with the selected name (only with update/repair).",
               "\t 3 -> " + product + " is running and needs to be closed before any changes are made to the system.",
               "\t 4 -> There were more than 3 failures when attempting to download the files.",
               "\t-1 -> There was an unexpected error.",
           });
    return lines;
}

std::vector<std::string> SpanishLines(const std::string& exe, const std::string& product) {
    std::vector<std::string> lines = UsageLines(kSpanishWords, exe, false);
    Append(lines, {
                      "[nombre] es un identificador opcional que no puede contener espacios.",
                      "Sirve para que sea posible tener mas de uma instalación de " + product + " en la misma máquina.",
                      "",
                      "Valor de retorno:",
                      "\t 0 -> Instalación fue concluida con exito.",
                      "\t 1 -> Ya existe una instalación con este nombre (solamente con /install).",
                      "\t 2 -> No fue encontrada una instalación con el nombre selecionado (solamente con "
                      "actualizar/reparar).",
                      "\t 3 -> " + product +
                          " está en ejecución y necesita ser cerrado antes de ser hecha alguna alteración en el "
                          "sistema.",
                      "\t 4 -> Ocurrieron mas de 3 fallas al intentar efectuar el download de los archivos.",
                      "\t-1 -> Ocurrio un error inesperado.",
                  });
    return lines;
}

}  // namespace

THelpText BuildHelpText(const std::string& exeName, uint8_t language, const std::string& productName) {
    switch (language) {
        case lngEnglish:
            return {productName + kEnglishWords.strTitleSuffix, EnglishLines(exeName, productName)};
        case lngSpanish:
            return {productName + kSpanishWords.strTitleSuffix, SpanishLines(exeName, productName)};
        default:
            return {productName + kPortugueseWords.strTitleSuffix, PortugueseLines(exeName, productName)};
    }
}

std::string ProgramFileName(const std::string& programPath) {
    size_t slash = programPath.find_last_of("/\\");
    return slash == std::string::npos ? programPath : programPath.substr(slash + 1);
}

std::string HelpTextForTerminal(const THelpText& help) {
    std::string text = help.strTitle + "\n\n";
    for (const std::string& line : help.lstLines) text += line + "\n";
    return text;
}
