#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

// What the program remembers between runs: the interface language, the last port and
// baud rate, the device paths typed into the port box, and the main window's geometry and
// dock layout. A missing or unreadable value reads as its default: Chinese, no port, no
// layout, as at a first start.
//
// The program's store is the user's settings file of the application (QSettings with the
// organisation and application names set in main: on Linux
// ~/.config/Quilvar/ARV Manager.conf). Tests give a file of their own. Values are written
// through at once; not thread-safe (the GUI thread uses it).
class AppSettings
{
public:
    static constexpr int RecentPathCount = 5;

    // The program's store.
    AppSettings();
    // A store in the given INI file.
    explicit AppSettings(const QString &fileName);
    ~AppSettings();
    AppSettings(const AppSettings &) = delete;
    AppSettings &operator=(const AppSettings &) = delete;

    bool isChinese() const;
    void setChinese(bool chinese);

    // Empty, and 0, until a port was opened.
    QString lastPort() const;
    int lastBaudRate() const;
    void setLastConnection(const QString &port, int baudRate);

    // Typed device paths, the most recent first, RecentPathCount at most.
    QStringList recentPaths() const;
    void addRecentPath(const QString &path);
    // list with path put first, once, cut to max entries.
    static QStringList withRecent(QStringList list, const QString &path, int max);

    QByteArray windowGeometry() const;
    QByteArray windowState() const;
    void setWindowLayout(const QByteArray &geometry, const QByteArray &state);

    // The underlying store, for what other parts of the program keep in it.
    QSettings &store() { return *m_settings; }

private:
    std::unique_ptr<QSettings> m_settings;
};
