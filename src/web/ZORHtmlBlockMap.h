// TZORHtmlBlockMap: writes an edited document back so that what the user did
// not touch stays the text that was set, byte for byte.
//
// A browser engine parses the text into a DOM and serialises that DOM in its
// own syntax (quotes, entities, an added <tbody> …). Our HTML engine's tree is
// lossless instead. The map pairs the top-level nodes of the engine's body
// with the top-level nodes of our tree of the same text (the body's children,
// or those of the whole text when it has no <body>), by kind and tag name in
// order. Then an edited document is: the source up to the body's content, for
// each top-level node of the engine either the source of its partner (not
// changed since loading) or the engine's serialisation (changed or new), and
// the source after the body's content.
//
// Where the engine built another tree than ours (foster-parented table
// content, text merged across a stray end tag …) the nodes do not pair and
// Match says so; the caller then writes every node anew, keeping still the
// source around the body when the text has one.
//
// Pairing rules beyond "same kind, same tag":
//  - Before the first pair, a text without <body> may hold what the engine
//    puts in the head (style, meta, title, link, script, base, head itself),
//    comments, a doctype and white space; they are kept where they are.
//  - Stray end tags are ignored by browsers: kept, written before the next
//    node.
//  - "<?…>" and "<![CDATA[…]]>" become comments in browsers.
//  - Trailing text nodes of the engine without partner are the white space
//    after "</body>", which browsers move into the body; unchanged, they add
//    nothing (the source after the body has them).
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>

namespace zor {

class ZOR_EXPORT TZORHtmlBlockMap
{
public:
    explicit TZORHtmlBlockMap(const QString &ASource);
    ~TZORHtmlBlockMap();
    TZORHtmlBlockMap(const TZORHtmlBlockMap &) = delete;
    TZORHtmlBlockMap &operator=(const TZORHtmlBlockMap &) = delete;

    const QString &Source() const;
    // Whether the source has a body element (its outside then survives any
    // edit of the body).
    bool HasBody() const;

    // Signatures of the source's top-level nodes, in order.
    QStringList SourceNodes() const;

    // Pairs the engine's top-level body nodes, given by signature in order
    // (lower-case tag name, "#text", "#comment", anything else "#other"),
    // with the source's. False when they do not correspond.
    bool Match(const QStringList &AEngineNodes);
    bool Matched() const;

    // The document whose body holds APieces, one per engine node in order:
    // an integer (the node's index at Match: its partner's source, nothing
    // without partner) or a string (the node's new HTML). Unmatched, only
    // strings count and the source must have a body; else an empty result
    // tells the caller to take the engine's whole document.
    QString Compose(const QVariantList &APieces) const;

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
