#pragma once

#include <string>

class CAppContext;

// The program directory's layout and its first-run seeding from the shipped data/ folder.
class CProgramDir {
public:
    // The shipped data/ folder: $QUILLMARK_DATA_DIR; else share/quillmark beside the
    // executable's folder (an installed program); else the source tree's data/ (a program run
    // from its build folder); else the installed share folder.
    static std::string FindDataDir();

    // Creates the context's program directory and its folders (config, Storage, Data, Temp,
    // Plugin) and copies every shipped file that is not there yet. Existing files are kept, so the user's
    // settings, accounts and stores survive; only a style or template under Data/ that is still
    // exactly as an earlier version shipped it is replaced by the newer one (the shipped forms
    // are remembered in Data/shippedData.lst). False with the reason when it cannot.
    // Also removes what atomic writes killed half-way left beside the files (RemoveStaleTempFiles).
    static bool Prepare(const CAppContext& context, std::string& error);
    // Prepare on this process's program directory (GetModuleDir), for a program's start.
    static bool Prepare(std::string& error);

    // Removes the temporary files that a kill during an atomic write left in the folders that
    // hold the user's files (config, Storage, Temp, Data/RssSkin). Returns how many were removed.
    static int RemoveStaleTempFiles(const CAppContext& context);
};
