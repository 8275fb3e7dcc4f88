#include "record/RecordFolderSetting.h"

#include <QFileInfo>
#include <QSettings>

const char *const RecordFolderSetting::Key = "record/dir";

QString RecordFolderSetting::load(const QSettings &store, const QString &fallback)
{
    const QString stored = store.value(QLatin1String(Key)).toString();
    return !stored.isEmpty() && QFileInfo(stored).isDir() ? stored : fallback;
}

void RecordFolderSetting::save(QSettings &store, const QString &folder)
{
    store.setValue(QLatin1String(Key), folder);
}
