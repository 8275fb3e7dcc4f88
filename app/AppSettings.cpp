#include "app/AppSettings.h"

#include <QSettings>

namespace {
const QString kLanguage = QStringLiteral("interface/language");
const QString kPort = QStringLiteral("port/name");
const QString kBaud = QStringLiteral("port/baudRate");
const QString kRecent = QStringLiteral("port/recentPaths");
const QString kGeometry = QStringLiteral("mainWindow/geometry");
const QString kState = QStringLiteral("mainWindow/state");
const QString kEnglish = QStringLiteral("en");
const QString kChinese = QStringLiteral("zh");
} // namespace

AppSettings::AppSettings() : m_settings(std::make_unique<QSettings>()) {}

AppSettings::AppSettings(const QString &fileName)
    : m_settings(std::make_unique<QSettings>(fileName, QSettings::IniFormat))
{
}

AppSettings::~AppSettings() = default;

bool AppSettings::isChinese() const
{
    return m_settings->value(kLanguage).toString() != kEnglish;
}

void AppSettings::setChinese(bool chinese)
{
    m_settings->setValue(kLanguage, chinese ? kChinese : kEnglish);
}

QString AppSettings::lastPort() const
{
    return m_settings->value(kPort).toString();
}

int AppSettings::lastBaudRate() const
{
    bool ok = false;
    const int baud = m_settings->value(kBaud).toInt(&ok);
    return ok && baud > 0 ? baud : 0;
}

void AppSettings::setLastConnection(const QString &port, int baudRate)
{
    m_settings->setValue(kPort, port);
    m_settings->setValue(kBaud, baudRate);
}

QStringList AppSettings::recentPaths() const
{
    QStringList paths = m_settings->value(kRecent).toStringList();
    paths.removeAll(QString());
    return paths.mid(0, RecentPathCount);
}

void AppSettings::addRecentPath(const QString &path)
{
    m_settings->setValue(kRecent, withRecent(recentPaths(), path, RecentPathCount));
}

QStringList AppSettings::withRecent(QStringList list, const QString &path, int max)
{
    if (!path.isEmpty()) {
        list.removeAll(path);
        list.prepend(path);
    }
    return list.mid(0, max);
}

QByteArray AppSettings::windowGeometry() const
{
    return m_settings->value(kGeometry).toByteArray();
}

QByteArray AppSettings::windowState() const
{
    return m_settings->value(kState).toByteArray();
}

void AppSettings::setWindowLayout(const QByteArray &geometry, const QByteArray &state)
{
    m_settings->setValue(kGeometry, geometry);
    m_settings->setValue(kState, state);
}
