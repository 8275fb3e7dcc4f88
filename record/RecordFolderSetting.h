#pragma once

#include <QString>

// The record folder kept between runs of the program: QSettings of organisation "Quilvar",
// application "ARV Manager", key "record/dir" (on Linux ~/.config/Quilvar/ARV Manager.conf).
// Qt Core only; reads and writes the settings file on every call (a few hundred bytes).
class RecordFolderSetting
{
public:
    static const char *const Key; // "record/dir"

    // The stored folder while it still exists as a folder; otherwise (nothing stored, or a
    // folder since removed, or a disk no longer mounted) the fallback.
    static QString load(const QString &fallback);
    // Keeps folder for the next runs.
    static void save(const QString &folder);
};
