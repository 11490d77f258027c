#pragma once

// A script of console command lines held by the command processor.
//
// Placeholder until the script interpreter lands: it replaces this file
// wholesale. The processor needs only Clear() and IsLoaded().

class CScript
{
public:
    // Unloads the script (the loader given an empty text).
    void Clear();
    // True while the script has lines.
    bool IsLoaded() const;
};
