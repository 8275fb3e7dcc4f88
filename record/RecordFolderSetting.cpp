#include "record/RecordFolderSetting.h"

#include <QFileInfo>
#include <QSettings>

const char *const RecordFolderSetting::Key = "record/dir";

namespace {
const QString organisation = QStringLiteral("Quilvar");
const QString application = QStringLiteral("ARV Manager");
} // namespace

QString RecordFolderSetting::load(const QString &fallback)
{
    const QString stored =
        QSettings(organisation, application).value(QLatin1String(Key)).toString();
    return !stored.isEmpty() && QFileInfo(stored).isDir() ? stored : fallback;
}

void RecordFolderSetting::save(const QString &folder)
{
    QSettings(organisation, application).setValue(QLatin1String(Key), folder);
}
