#pragma once

// The folders every part of the program finds its files in. All of them but
// the temporary and library folders hang below the current directory, which
// the settings store sets to the folder of the per-user settings file.

#include <QString>

enum DirKind {
    DIR_CONFIG = 0,  // device list files
    DIR_SCRIPT = 1,  // script files, unless the override names another folder
    DIR_DATA = 2,
    DIR_TEMP = 3,    // log file and temporary buffer files
    DIR_DLL = 4,     // the adapter library, beside the executable
    DIR_CURRENT = 5,
};

// Set from the "Script Dir" setting; empty means current directory + "/script/".
extern QString g_scriptDirOverride;

// The folder of the given kind, ending in "/". An unknown kind gives the
// current directory without a trailing "/".
QString AppDirectory(int kind);

// Absolute folder of the running executable, without a trailing "/". Works
// before the application object exists.
QString ExecutableDirectory();
