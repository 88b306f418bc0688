#pragma once

#include <QString>

// Where Orlavo keeps its files, following the XDG base directories. The folder name "Kestrov" is
// shared with the other builds of the product, so stored settings stay where they were.
namespace AppPaths {

// $XDG_CONFIG_HOME/Kestrov (default ~/.config/Kestrov).
QString configDirectory();
// $XDG_DATA_HOME/Kestrov (default ~/.local/share/Kestrov).
QString dataDirectory();
// The user's documents folder (XDG_DOCUMENTS_DIR, default ~/Documents).
QString documentsDirectory();

QString defaultsFile();     // configDirectory()/defaults.json
QString databaseFile();     // dataDirectory()/ptt.sqlite
QString serverConfigFile(); // configDirectory()/server.json
QString serverTokenFile();  // configDirectory()/server-token

} // namespace AppPaths
