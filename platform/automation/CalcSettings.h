#pragma once

#include <QString>

// Settings of the spreadsheet server, kept like a control panel's in
// QSettings under the user's config folder ($XDG_CONFIG_HOME/Velmora/Calc.ini):
//
//   [LibreOffice]
//   Program=/usr/lib/libreoffice/program/soffice   the program started
//   Headless=false                                 start without windows (tests)
//   StartTimeout=60                                seconds to wait for it to answer
//   Profile=$XDG_DATA_HOME/velmora/libreoffice     our own LibreOffice profile
struct TCalcSettings {
    QString Program;
    bool Headless = false;
    int StartTimeoutSeconds = 60;
    QString Profile;

    static TCalcSettings Defaults();
    static TCalcSettings Load();
    void Save() const;
    static QString FilePath();

    // The pipe our LibreOffice listens on: one per user and profile.
    QString PipeName() const;
    // The profile as the file URL that -env:UserInstallation takes.
    QString ProfileUrl() const;
};
