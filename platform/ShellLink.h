#pragma once
#include <filesystem>
#include <string>
#include <vector>

// The shell link (.lnk) of the installation steps, made as a freedesktop
// desktop entry: "Orla Desk (a).lnk" becomes "Orla Desk (a).desktop", whose
// Exec= starts the target. On Windows it is a real shell link (IShellLinkW),
// the file keeps its ".lnk" name (one is appended when missing), and
// DesktopExecArgument quotes by the rules of a Windows command line instead.

// The file that SaveShellLink writes for `linkPath`: a ".lnk" ending (any
// letter case) becomes ".desktop"; a path ending in ".desktop" stays; any other
// gets ".desktop" appended.
std::filesystem::path ShellLinkFilePath(const std::string& linkPath);

// Writes the desktop entry for `linkPath` (see ShellLinkFilePath) that starts
// `targetExe` with `arguments` (words separated by blanks, each passed as one
// argument) in `workingFolder` (none when empty); `description` becomes its
// Comment= when not empty. The entry's Name= is the file's stem. The file is
// written under a temporary name and renamed over the old one, so a reader
// never sees half an entry, and carries the run bit (mode 0755) that desktops
// ask of a launcher. Throws std::runtime_error naming the file on failure; the
// folder must exist. Any thread.
void SaveShellLink(const std::string& linkPath, const std::string& targetExe, const std::string& arguments,
                   const std::string& description, const std::string& workingFolder);

// One argument of an Exec= line, quoted and escaped as the Desktop Entry
// specification asks: quoted when it holds a reserved character, '"', '`',
// '$' and '\' escaped inside the quotes, '%' doubled, then the value escapes
// of the key file ("\\" for a back-slash, "\n" "\t" "\r" for those characters).
std::string DesktopExecArgument(const std::string& argument);

// What both systems read alike: whether a link path ends in ".lnk" (any letter
// case), and the words of a link's argument text, split at blanks.
bool HasLinkExtension(const std::string& linkPath);
std::vector<std::string> LinkArgumentWords(const std::string& arguments);
