#pragma once
// The tests the settings dialog runs on OK, kept free of widgets so they can be exercised
// directly. The dialog shows the message, keeps itself open on a refusal and clears its weekend
// flag when told to.
#include "schedule/schedule.h"

#include <QString>
#include <QStringView>

struct SettingsCheck
{
    bool accepted = true;
    // The refusal, or the notice shown before closing; empty when there is nothing to show.
    QString message;
    // Interval of one or two days: the weekend rule is dropped.
    bool clearWeekend = false;
};

// The entries as the dialog holds them after taking them from its controls.
struct SettingsEntries
{
    QString path;
    QString desc;
    int mode = -1; // the selected item of the mode list, -1 for none
    int hour = 0;
    int minute = 0;
    QString spec;
    bool weekend = false;
};

constexpr int kMaxDescLength = 1000;

// The mode's test of its schedule text. Modes outside 0 to 3 are refused with no message.
SettingsCheck CheckScheduleSpec(int mode, const QString& spec, bool weekend);

// Every test of OK, in order: folder, description length, then (with a mode) the time and the
// mode's test. With no mode everything after the description is accepted.
SettingsCheck CheckSettings(const SettingsEntries& entries);

// The number boxes' reading: blanks around an optionally signed decimal that fits in 32 bits.
bool ParseDialogInt(QStringView text, int& value);
