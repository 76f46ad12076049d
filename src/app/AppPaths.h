#pragma once

#include <atomic>
#include <string>

// Set once when the main window closes; workers poll it and stop, and transfers abort.
extern std::atomic<int> g_bAppExiting;

// The program directory, the root of all state (without a trailing "/"): the folder set with
// SetModuleDir; else $QUILLMARK_HOME; else the executable's folder when it holds
// config/appConfig.xml (a portable install); else $XDG_DATA_HOME/quillmark
// (~/.local/share/quillmark).
std::string GetModuleDir();

// Fixes the program directory for this process (the --home option, tests).
void SetModuleDir(const std::string& dir);

// The folder of the running executable.
std::string GetExecutableDir();

// The full path of a file below the program directory programDir. The relative path may use "\"
// or "/"; the top folder names that older files spell in two letter cases (Storage/storage,
// Plugin/plugin, Data/data, Temp/temp, config/Config) are folded to one spelling.
std::string ProgramFilePath(const std::string& programDir, const std::string& relativePath);

// ProgramFilePath below this process's program directory. For the programs' start-up and the
// files of app/ itself; everything else asks the CAppContext it was given.
std::string GetAppFilePath(const std::string& relativePath);

// Creates or truncates GetAppFilePath(relativePath) and writes the text (replaced atomically).
int WriteTextFile(const std::string& text, const std::string& relativePath);

// Reads the whole file at the full path, every byte of it.
int ReadTextFile(const std::string& fullPath, std::string& text);
