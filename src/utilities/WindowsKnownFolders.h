// Known folders by their well-known folder IDs, for code that stores such IDs
// (settings, older data); each ID maps onto the desktop's standard folder.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QString>
#include <QUuid>

namespace zor {

// IDs understood by ShGetKnownFolderPath.
inline const QUuid FOLDERID_RoamingAppData {QStringLiteral("{3EB685DB-65F9-4CF6-A03A-E3EF65729F3D}")};
inline const QUuid FOLDERID_LocalAppData {QStringLiteral("{F1B32785-6FBA-4FCF-9D55-7B8E7F157091}")};
inline const QUuid FOLDERID_ProgramData {QStringLiteral("{62AB5D82-FDC1-4DC3-A9DD-070D1D495D97}")};
inline const QUuid FOLDERID_PublicDocuments {QStringLiteral("{ED4824AF-DCE4-45A8-81E2-FC7965083634}")};
inline const QUuid FOLDERID_Documents {QStringLiteral("{FDD39AD0-238F-46AF-ADB4-6C85480369C7}")};
inline const QUuid FOLDERID_Desktop {QStringLiteral("{B4BFCC3A-DB2C-424C-B029-7FE99A87C641}")};
inline const QUuid FOLDERID_Pictures {QStringLiteral("{33E28130-4E1E-4676-835A-98395C3BC3BB}")};
inline const QUuid FOLDERID_Downloads {QStringLiteral("{374DE290-123F-4565-9164-39C4925E467B}")};
inline const QUuid FOLDERID_Profile {QStringLiteral("{5E6C858F-0E22-4760-9AFE-EA3317B67173}")};

// The folder's path; empty for an ID without a folder here. flags and token
// (another user's access token) have no meaning on this platform.
ZOR_EXPORT QString ShGetKnownFolderPath(const QUuid &folderId, quint32 flags = 0, void *token = nullptr);

} // namespace zor
