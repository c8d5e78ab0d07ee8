#pragma once
// The application object: shows the main window modally; the program ends when it closes.
#include <QString>

class CQuillbrookApp
{
public:
    // Runs the main window; returns the process exit code.
    int InitInstance();
};
