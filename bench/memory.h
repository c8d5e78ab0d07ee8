#pragma once
// Peak memory of the real program: a copy of it started in a tree's root on the offscreen
// platform, read once its list is loaded and it sits idle, then killed.
#include <QString>

// VmHWM in KiB, or -1 when the program could not be run or never settled.
long ProgramPeakKiB(const QString& program, const QString& root);
