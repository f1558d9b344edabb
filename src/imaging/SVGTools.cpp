#include "SVGTools.h"

#include <ZorCompCore/platform/Stream.h>

namespace zor {

bool GuessIsSVGStream(TStream &Stream)
{
    const qint64 pos = Stream.Position();
    char head[6];
    const qint64 got = Stream.Read(head, sizeof head);
    Stream.SetPosition(pos);
    if (got != qint64(sizeof head) || QByteArray(head, 6) != QByteArrayLiteral("<?xml "))
        return false;
    const QByteArray rest = Stream.ReadAll();
    Stream.SetPosition(pos);
    // Counted from the start of the declaration: "<svg " cannot start before offset 1.
    return rest.indexOf("<svg ", 1) >= 1;
}

} // namespace zor
