#include <ZorCompCore/utilities/WindowsKnownFolders.h>

#include <ZorCompCore/platform/KnownFolders.h>

namespace zor {

QString ShGetKnownFolderPath(const QUuid &folderId, quint32 flags, void *token)
{
    Q_UNUSED(flags);
    Q_UNUSED(token);
    const struct
    {
        const QUuid &id;
        TKnownFolder folder;
    } map[] = {
        {FOLDERID_RoamingAppData, TKnownFolder::RoamingAppData},
        {FOLDERID_LocalAppData, TKnownFolder::LocalAppData},
        {FOLDERID_ProgramData, TKnownFolder::ProgramData},
        {FOLDERID_PublicDocuments, TKnownFolder::PublicDocuments},
        {FOLDERID_Documents, TKnownFolder::Documents},
        {FOLDERID_Desktop, TKnownFolder::Desktop},
        {FOLDERID_Pictures, TKnownFolder::Pictures},
        {FOLDERID_Downloads, TKnownFolder::Downloads},
        {FOLDERID_Profile, TKnownFolder::Home},
    };
    for (const auto &m : map)
        if (m.id == folderId)
            return KnownFolderPath(m.folder);
    return {};
}

} // namespace zor
