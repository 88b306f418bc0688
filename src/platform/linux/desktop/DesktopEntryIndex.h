#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// What an installed application's desktop file says about it.
struct DesktopEntry {
    QString id; // the desktop file id, without ".desktop" ("org.gnome.Terminal")
    QString name;
    QString startupWmClass;
    QStringList categories;

    bool isTerminalEmulator() const { return categories.contains(QLatin1String("TerminalEmulator")); }

    // The [Desktop Entry] group of a desktop file; absent for files that are no application entry or
    // are hidden (deleted by the user).
    static std::optional<DesktopEntry> parse(const QByteArray& contents, const QString& id);
};

// The installed applications, found by their windows' class: the desktop files' names are what
// people call the applications ("Thunderbird Mail", "Terminal"), where window classes are often
// terse ("thunderbird", "Gnome-terminal").
class DesktopEntryIndex final {
public:
    // The applications folders of XDG_DATA_HOME and XDG_DATA_DIRS, most important first.
    static QStringList applicationDirectories();

    // Reads every desktop file below the folders; an id found in an earlier folder hides later ones.
    explicit DesktopEntryIndex(const QStringList& directories);

    // The application whose windows carry this WM_CLASS: by StartupWMClass, else by desktop file id
    // (also the last part of a reverse-domain id); class before instance. Null when none is known.
    const DesktopEntry* find(const QString& windowClass, const QString& instanceName) const;

    std::size_t size() const { return m_entries.size(); }

private:
    const DesktopEntry* findOne(const QString& key) const;

    std::vector<DesktopEntry> m_entries;
    QHash<QString, std::size_t> m_byWmClass; // lower-cased
    QHash<QString, std::size_t> m_byId;      // lower-cased, full id and last part
};
