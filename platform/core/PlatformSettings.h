#pragma once

#include <QSettings>
#include <QString>
#include <memory>

// The settings the platform parts keep for themselves, as an operating
// system's control panel would: one INI file each under the user's config
// folder, $XDG_CONFIG_HOME/Velmora/<part>.ini ("Telefon" for the modems
// and the dialing location, "Calc" for the spreadsheet server).
std::unique_ptr<QSettings> OpenPlatformSettings(const QString &part);
