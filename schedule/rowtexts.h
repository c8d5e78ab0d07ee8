#pragma once
// The texts a folder's row shows beside its path.
#include <QString>

// The texts of columns 1 to 3 for a folder: its description and its schedule texts.
bool ReadDirTexts(QString folder, QString& desc, QString& schedText, QString& nextText);
