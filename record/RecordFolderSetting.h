#pragma once

#include <QString>

class QSettings;

// The record folder kept between runs of the program, under the key "record/dir" of the
// settings store the caller gives (the program's is ~/.config/Quilvar/ARV Manager.conf).
// Qt Core only.
class RecordFolderSetting
{
public:
    static const char *const Key; // "record/dir"

    // The stored folder while it still exists as a folder; otherwise (nothing stored, or a
    // folder since removed, or a disk no longer mounted) the fallback.
    static QString load(const QSettings &store, const QString &fallback);
    // Keeps folder for the next runs.
    static void save(QSettings &store, const QString &folder);
};
