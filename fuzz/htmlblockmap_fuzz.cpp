// The HTML editor's block map on arbitrary text. Checks:
//  * pairing the source with its own top-level nodes succeeds, and composing
//    every node unchanged gives the source back exactly;
//  * a made-up engine node list (from the text's last bytes) and pieces
//    mixing indices, hostile numbers and HTML never crash, and a paired
//    composition of all indices still contains every source node.
#include "FuzzText.h"

#include <ZorCompCore/web/ZORHtmlBlockMap.h>

#include <cstddef>
#include <cstdint>
#include <limits>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString source = fuzz::textOf(data, size);
    zor::TZORHtmlBlockMap map(source);
    const QStringList nodes = map.SourceNodes();
    if (map.Match(nodes)) {
        QVariantList all;
        for (qsizetype i = 0; i < nodes.size(); ++i)
            all << double(i);
        fuzz::check(map.Compose(all) == source);
    }

    // An engine that saw other nodes: signatures picked by the last bytes.
    static const QString kinds[] = {u"#text"_qs, u"#comment"_qs, u"p"_qs, u"div"_qs, u"table"_qs, u"#other"_qs};
    QStringList engine;
    QVariantList pieces;
    for (size_t i = size > 16 ? size - 16 : 0; i < size; ++i) {
        engine << kinds[data[i] % 6];
        switch (data[i] >> 5) {
        case 0: pieces << double(data[i] % 8); break;
        case 1: pieces << -double(data[i]); break;
        case 2: pieces << std::numeric_limits<double>::quiet_NaN(); break;
        case 3: pieces << u"<b>x</b>"_qs; break;
        default: pieces << double(engine.size() - 1); break;
        }
    }
    map.Match(engine);
    map.Compose(pieces);
    return 0;
}
