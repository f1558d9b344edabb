#include "ZORHtmlBlockMap.h"

#include <ZorCompCore/html/HtmlNode.h>

#include <QMap>

#include <cmath>

#include <vector>

namespace zor {

namespace {

bool isBlank(QStringView text)
{
    for (QChar c : text)
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r' && c != u'\f')
            return false;
    return true;
}

// What browsers put in the head when a text without <body> starts with it.
bool isHeadContent(const THtmlNode *n)
{
    switch (n->Kind()) {
    case THtmlNodeKind::Comment:
    case THtmlNodeKind::Doctype:
    case THtmlNodeKind::Bogus:
        return true;
    case THtmlNodeKind::Text:
        return isBlank(n->OuterHTML());
    case THtmlNodeKind::Element: {
        static const QStringList head = {u"head"_qs, u"style"_qs, u"meta"_qs, u"title"_qs,
                                         u"link"_qs, u"script"_qs, u"base"_qs, u"noscript"_qs,
                                         u"template"_qs};
        return head.contains(n->TagName());
    }
    default:
        return false;
    }
}

QString signature(const THtmlNode *n)
{
    switch (n->Kind()) {
    case THtmlNodeKind::Element: return n->TagName();
    case THtmlNodeKind::Text: return u"#text"_qs;
    case THtmlNodeKind::Comment:
    case THtmlNodeKind::Bogus:
    case THtmlNodeKind::CData: return u"#comment"_qs;
    default: return u"#other"_qs;
    }
}

} // namespace

struct TZORHtmlBlockMap::Private
{
    QString source;
    bool hasBody = false;
    bool matched = false;
    // The source around the body's content.
    QString prefix, suffix;
    bool split = false;
    // The body's (or the text's) top-level nodes: source text, signature,
    // kind.
    struct Node
    {
        QString text;
        QString sig;
        bool headContent;
        bool strayEnd;
        bool blank;
    };
    std::vector<Node> nodes;
    // Per engine node: index into nodes, -1 without partner.
    std::vector<int> partner;
    // Source kept: in front of everything, in front of engine node i (stray
    // end tags), after everything.
    QString lead, tail;
    QMap<int, QString> keptBefore;
};

TZORHtmlBlockMap::TZORHtmlBlockMap(const QString &ASource) : d(new Private)
{
    d->source = ASource;
    THtmlNode root;
    root.Parse(ASource);
    THtmlNode *container = root.FindFirst(u"body");
    d->hasBody = container != nullptr;
    if (!container)
        container = root.FindFirst(u"html");
    if (!container)
        container = &root;
    for (int i = 0; i < container->ChildCount(); ++i) {
        const THtmlNode *n = container->Child(i);
        const QString text = n->OuterHTML();
        d->nodes.push_back({text, signature(n), isHeadContent(n), n->Kind() == THtmlNodeKind::EndTag,
                            n->Kind() == THtmlNodeKind::Text && isBlank(text)});
    }
    // The outside: the container's content swapped for a mark.
    static const QString mark = u"\u2063zor-block-map\u2063"_qs;
    if (!ASource.contains(mark)) {
        container->ClearChildren();
        container->AppendChild(THtmlNode::CreateRaw(THtmlNodeKind::Text, mark));
        const QString whole = root.OuterHTML();
        const qsizetype at = whole.indexOf(mark);
        if (at >= 0 && whole.indexOf(mark, at + 1) < 0) {
            d->prefix = whole.left(at);
            d->suffix = whole.mid(at + mark.size());
            d->split = true;
        }
    }
}

TZORHtmlBlockMap::~TZORHtmlBlockMap() = default;

const QString &TZORHtmlBlockMap::Source() const { return d->source; }
bool TZORHtmlBlockMap::HasBody() const { return d->hasBody; }
bool TZORHtmlBlockMap::Matched() const { return d->matched; }

QStringList TZORHtmlBlockMap::SourceNodes() const
{
    QStringList list;
    for (const Private::Node &n : d->nodes)
        list << n.sig;
    return list;
}

bool TZORHtmlBlockMap::Match(const QStringList &AEngineNodes)
{
    d->matched = false;
    d->partner.assign(size_t(AEngineNodes.size()), -1);
    d->keptBefore.clear();
    d->lead.clear();
    d->tail.clear();
    if (!d->split)
        return false;
    const int count = int(d->nodes.size());
    int i = 0;
    bool paired = false;
    for (int j = 0; j < AEngineNodes.size();) {
        if (i < count && d->nodes[size_t(i)].sig == AEngineNodes[j]) {
            d->partner[size_t(j)] = i++;
            ++j;
            paired = true;
        } else if (i < count && !paired && (d->nodes[size_t(i)].strayEnd
                                            || (!d->hasBody && d->nodes[size_t(i)].headContent))) {
            d->lead += d->nodes[size_t(i++)].text;
        } else if (i < count && d->nodes[size_t(i)].strayEnd) {
            d->keptBefore[j] += d->nodes[size_t(i++)].text;
        } else if (i >= count && AEngineNodes[j] == u"#text") {
            ++j; // white space after </body>, moved in by the engine
        } else {
            return false;
        }
    }
    // Source left over: only what browsers drop or move out may be.
    for (; i < count; ++i) {
        const Private::Node &n = d->nodes[size_t(i)];
        if (!n.strayEnd && !n.blank && !(!paired && !d->hasBody && n.headContent))
            return false;
        (paired ? d->tail : d->lead) += n.text;
    }
    d->matched = true;
    return true;
}

QString TZORHtmlBlockMap::Compose(const QVariantList &APieces) const
{
    if (!d->split || (!d->matched && !d->hasBody))
        return {};
    QString body = d->matched ? d->lead : QString();
    for (const QVariant &piece : APieces) {
        if (piece.typeId() == QMetaType::QString) {
            body += piece.toString();
        } else if (d->matched && (piece.typeId() == QMetaType::Double || piece.typeId() == QMetaType::Int
                                  || piece.typeId() == QMetaType::LongLong)) {
            // The engine hands numbers over as doubles: bound before indexing.
            const double index = piece.toDouble();
            if (index >= 0 && index < double(d->partner.size()) && index == std::floor(index)) {
                body += d->keptBefore.value(int(index));
                const int p = d->partner[size_t(index)];
                if (p >= 0)
                    body += d->nodes[size_t(p)].text;
            }
        }
    }
    if (d->matched)
        body += d->tail;
    return d->prefix + body + d->suffix;
}

} // namespace zor
