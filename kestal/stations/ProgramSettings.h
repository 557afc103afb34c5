#pragma once

#include <QString>

class QSettings;

namespace varno::kestal {

// The terminal's four per-user settings ("folders"/"root", "modem"/"port", "modem"/"init",
// "modem"/"dialmethod" in QSettings("varno", "kestal")).
struct ProgramSettings {
    QString mainDataFolder; // held without trailing "/"
    QString modemPort;
    QString modemInit;
    QString dialMethod;

    static QString defaultMainDataFolder(); // $HOME/varno/stations

    // Reads the four values with their defaults.
    void load(QSettings& store);
    // Writes the four values (the folder stripped of trailing "/" first).
    void save(QSettings& store);
};

// Strips trailing "/" characters; a lone "/" stays.
QString StripTrailingSeparators(QString folder);

} // namespace varno::kestal
