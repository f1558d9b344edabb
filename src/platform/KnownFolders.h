// The user's and the system's standard folders, found the way the desktop
// finds them (XDG base directories and user directories). Every function
// returns an absolute path without a trailing separator ("/" only for the
// root itself), so callers join with "/" + name. Nothing is created.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QString>

namespace zor {

enum class TKnownFolder {
    RoamingAppData,  // $XDG_CONFIG_HOME, default ~/.config
    LocalAppData,    // $XDG_DATA_HOME, default ~/.local/share
    ProgramData,     // $ZOR_PROGRAM_DATA, default /var/lib
    Documents,       // XDG_DOCUMENTS_DIR (user-dirs.dirs), default ~/Documents
    PublicDocuments, // XDG_PUBLICSHARE_DIR, default ~/Public
    Desktop,         // XDG_DESKTOP_DIR, default ~/Desktop
    Pictures,        // XDG_PICTURES_DIR, default ~/Pictures
    Downloads,       // XDG_DOWNLOAD_DIR, default ~/Downloads
    Home,            // $HOME, else the account's home from the password database
    Cache,           // $XDG_CACHE_HOME, default ~/.cache
    Temp,            // QDir::tempPath() ($TMPDIR, default /tmp)
};

ZOR_EXPORT QString KnownFolderPath(TKnownFolder folder);

// Shorthands for the folders the library uses most.
ZOR_EXPORT QString RoamingAppDataPath();
ZOR_EXPORT QString LocalAppDataPath();
ZOR_EXPORT QString ProgramDataPath();
ZOR_EXPORT QString DocumentsPath();
ZOR_EXPORT QString HomePath();
ZOR_EXPORT QString TempPath();

} // namespace zor
