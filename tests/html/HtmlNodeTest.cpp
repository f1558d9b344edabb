// The node tree: exact round trips for any input, the tree shapes that
// templates rely on, minimal rewrites of edited tags, and depth without stack.
#include "TestUtil.h"

#include <ZorCompCore/html/HtmlNode.h>

#include <QRandomGenerator>

using namespace zor;

namespace {

std::unique_ptr<THtmlNode> parse(const QString &html)
{
    auto doc = std::make_unique<THtmlNode>();
    doc->Parse(html);
    return doc;
}

// A compact picture of the tree: elements as name(children), text as 'text',
// stray end tags as /name, other nodes by kind.
QString shape(const THtmlNode *n)
{
    QString out;
    for (int i = 0; i < n->ChildCount(); ++i) {
        const THtmlNode *c = n->Child(i);
        if (i)
            out += u' ';
        switch (c->Kind()) {
        case THtmlNodeKind::Element:
            out += c->TagName();
            if (c->ChildCount())
                out += u'(' + shape(c) + u')';
            break;
        case THtmlNodeKind::Text: out += u'\'' + c->OuterHTML() + u'\''; break;
        case THtmlNodeKind::EndTag: out += u'/' + c->TagName(); break;
        case THtmlNodeKind::Comment: out += u"#comment"; break;
        case THtmlNodeKind::Doctype: out += u"#doctype"; break;
        case THtmlNodeKind::CData: out += u"#cdata"; break;
        case THtmlNodeKind::Bogus: out += u"#bogus"; break;
        case THtmlNodeKind::Document: out += u"#document"; break;
        }
    }
    return out;
}

TEST(HtmlNode, HostileInputRoundTripsExactly)
{
    const char16_t *cases[] = {
        u"",
        u"<",
        u"</",
        u"<a",
        u"<a href=\"x",
        u"<div class='a' {{#x}}",
        u"<!--",
        u"<!---->x<!-->y<!--->z",
        u"<![CDATA[ a < b",
        u"<!DOCTYPE html><html><body>x</body></html>",
        u"<?xml version=\"1.0\"?><p>a",
        u"</ x></>< p>&amp &am &#x; &#99999999;",
        u"<script>a</scrip</script x><b>",
        u"<script>never closed <b>",
        u"<textarea>&lt;<b></TEXTAREA >",
        u"<p>a<p>b<div>c</p></div></p></p>",
        u"<table><tr><td>1<td>2<tr><td>3</table>",
        u"<tr {{#odd}}class=\"odd\"{{/odd}}><td>{{name}}</td></tr>",
        u"<a title=\"{{x \">\"}}\" b=c{{d e}}f>",
        u"<a {{ unclosed \" > text",
        u"<br/><img src=x /><input disabled><hr//>",
        u"<A HREF=1>x</a></A>",
        u"\r\n\t<p\r\nclass = \"x\"\r\n>\u00e9\U0001F600\xd800</p>",
        u"<plaintext></plaintext><b>",
    };
    for (const char16_t *c : cases) {
        const QString in = QString::fromUtf16(c);
        auto doc = parse(in);
        EXPECT_EQ(doc->OuterHTML(), in) << in.toStdString();
        EXPECT_EQ(doc->InnerHTML(), in);
    }
}

TEST(HtmlNode, RandomInputsRoundTripExactly)
{
    // Fragments that steer the tokenizer into every state, mixed with
    // arbitrary code units (lone surrogates and NULs included).
    const char16_t *pieces[] = {
        u"<", u">", u"</", u"/>", u"<!--", u"-->", u"<!", u"<?", u"<![CDATA[", u"]]>",
        u"{{", u"}}", u"}}}", u"{{{", u"\"", u"'", u"=", u" ", u"\n", u"&", u"&amp;",
        u"&#", u"x", u"p", u"li", u"td", u"tr", u"table", u"script", u"style",
        u"textarea", u"div", u"br", u"option", u"<p>", u"<li>", u"<td>", u"<tr>",
        u"</p>", u"</td>", u"</tr>", u"<script>", u"</script>", u"<title>", u"</title>",
        u"class", u"doctype", u"#", u";"};
    QRandomGenerator rng(20261206);
    for (int round = 0; round < 4000; ++round) {
        QString in;
        const int len = int(rng.bounded(1, 60));
        for (int i = 0; i < len; ++i) {
            if (rng.bounded(5) == 0)
                in += QChar(char16_t(rng.bounded(0x10000)));
            else
                in += QString::fromUtf16(pieces[rng.bounded(int(std::size(pieces)))]);
        }
        auto doc = parse(in);
        ASSERT_EQ(doc->OuterHTML(), in) << "round " << round;
        doc->InnerText(); // must not crash
        // Editing one element rewrites only that element's start tag.
        THtNodeList all;
        THtmlNode *el = doc->FindFirst(u"p");
        if (!el)
            continue;
        const QString before = el->OuterHTML();
        el->SetAttribute(u"data-x"_qs, u"1"_qs);
        ASSERT_EQ(el->GetAttribute(u"data-x"), u"1");
        ASSERT_TRUE(el->RemoveAttribute(u"data-x"));
        ASSERT_EQ(doc->OuterHTML(), in) << "round " << round << " after edit";
        ASSERT_EQ(el->OuterHTML(), before);
    }
}

TEST(HtmlNode, TemplatesKeepTheirPlace)
{
    // Nothing is implied or moved: the section stays inside tbody and the
    // Mustache tags inside the row's tag are one token each.
    auto doc = parse(u"<table><tbody>{{#rows}}<tr {{#odd}}class=\"odd\"{{/odd}}><td>{{name}}</td>"
                     "</tr>{{/rows}}</tbody></table>"_qs);
    EXPECT_EQ(shape(doc.get()),
              u"table(tbody('{{#rows}}' tr(td('{{name}}')) '{{/rows}}'))");
    THtmlNode *tr = doc->FindFirst(u"tr");
    ASSERT_TRUE(tr);
    ASSERT_EQ(tr->AttributeCount(), 1);
    EXPECT_EQ(tr->Attribute(0).Name, u"class");
    EXPECT_EQ(tr->Attribute(0).Value, u"odd");

    auto a = parse(u"<a title=\"{{x \">\"}}\" href={{url \"a b\"}}>t</a>"_qs);
    THtmlNode *link = a->FindFirst(u"a");
    EXPECT_EQ(link->GetAttribute(u"title"), u"{{x \">\"}}");
    EXPECT_EQ(link->GetAttribute(u"href"), u"{{url \"a b\"}}");
    EXPECT_EQ(shape(a.get()), u"a('t')");

    // A fragment is not wrapped: no html, head, body or tbody appear.
    EXPECT_EQ(shape(parse(u"<tr><td>x</td></tr>"_qs).get()), u"tr(td('x'))");
}

TEST(HtmlNode, OptionalEndTagsCloseAsBrowsersDo)
{
    struct Row
    {
        const char16_t *html, *shape;
    } rows[] = {
        {u"<ul><li>a<li>b</ul>", u"ul(li('a') li('b'))"},
        {u"<ul><li>a<ul><li>b</ul><li>c</ul>", u"ul(li('a' ul(li('b'))) li('c'))"},
        {u"<p>a<div>b</div>", u"p('a') div('b')"},
        {u"<p>a<span>b<p>c", u"p('a' span('b')) p('c')"},
        {u"<table><tr><td>1<td>2<tr><th>3</table>", u"table(tr(td('1') td('2')) tr(th('3')))"},
        {u"<table><tr><td><table><tr><td>x</table><td>y</table>",
         u"table(tr(td(table(tr(td('x')))) td('y')))"},
        {u"<table><thead><tr><td>h<tbody><tr><td>b</table>",
         u"table(thead(tr(td('h'))) tbody(tr(td('b'))))"},
        {u"<dl><dt>a<dd>b<dt>c</dl>", u"dl(dt('a') dd('b') dt('c'))"},
        {u"<select><option>a<option>b<optgroup><option>c<optgroup>d</select>",
         u"select(option('a') option('b') optgroup(option('c')) optgroup('d'))"},
        {u"<td><p>a</td>b", u"td(p('a')) 'b'"},
        {u"</p>a</div><b>c</i></b>", u"/p 'a' /div b('c' /i)"},
        {u"<br>a<img src=x>b<div/>c", u"br 'a' img 'b' div 'c'"},
        {u"<script>if (a<b) x = '</div>';</script>", u"script('if (a<b) x = '</div>';')"},
        {u"<style>p>a{}</STYLE >x", u"style('p>a{}') 'x'"},
        {u"<title><b>&amp;</title>", u"title('<b>&amp;')"},
        {u"<!DOCTYPE html><!-- c --><![CDATA[x]]><?pi?>", u"#doctype #comment #cdata #bogus"},
    };
    for (const Row &r : rows) {
        const QString in = QString::fromUtf16(r.html);
        auto doc = parse(in);
        EXPECT_EQ(shape(doc.get()), QString::fromUtf16(r.shape)) << in.toStdString();
        EXPECT_EQ(doc->OuterHTML(), in);
    }
    auto title = parse(u"<title>a &amp; b</title><script>a &amp; b</script>"_qs);
    EXPECT_EQ(title->FindFirst(u"title")->Child(0)->Text(), u"a & b");
    EXPECT_EQ(title->FindFirst(u"script")->Child(0)->Text(), u"a &amp; b");
}

TEST(HtmlNode, AttributeEditsRewriteOnlyWhatChanged)
{
    auto doc = parse(u"<p>x</p><DIV  Class = 'a&amp;b'\n id=one hidden {{#t}}t{{/t}} />"
                     "<p>y</p>"_qs);
    THtmlNode *div = doc->FindFirst(u"div");
    ASSERT_TRUE(div);
    ASSERT_EQ(div->AttributeCount(), 4); // "t" between the Mustache tags is one
    EXPECT_EQ(div->GetAttribute(u"class"), u"a&b"); // names ignore case, values decoded
    EXPECT_TRUE(div->HasAttribute(u"HIDDEN"));
    EXPECT_EQ(div->GetAttribute(u"hidden", u"none"_qs), u"");
    EXPECT_EQ(div->GetAttribute(u"missing", u"none"_qs), u"none");

    div->SetAttribute(u"id"_qs, u"say \"hi\" & {{go \"x\"}}"_qs);
    EXPECT_EQ(doc->OuterHTML(),
              u"<p>x</p><DIV  Class = 'a&amp;b'\n id=\"say &quot;hi&quot; &amp; {{go \"x\"}}\" "
              "hidden {{#t}}t{{/t}} /><p>y</p>");
    EXPECT_EQ(div->GetAttribute(u"id"), u"say \"hi\" & {{go \"x\"}}");

    div->SetAttribute(u"hidden"_qs, u"yes"_qs);
    div->SetAttribute(u"title"_qs, u"t"_qs);
    EXPECT_TRUE(div->RemoveAttribute(u"CLASS"));
    EXPECT_FALSE(div->RemoveAttribute(u"class"));
    EXPECT_EQ(div->OuterHTML(),
              u"<DIV\n id=\"say &quot;hi&quot; &amp; {{go \"x\"}}\" hidden=\"yes\" "
              "{{#t}}t{{/t}} title=\"t\" />");
    ASSERT_EQ(div->AttributeCount(), 4);
    EXPECT_EQ(div->Attribute(3).Name, u"title");

    // A new attribute goes before ">" of a plain tag; edits after removals
    // still land in the right place.
    auto p = parse(u"<p>a</p>"_qs);
    THtmlNode *el = p->FindFirst(u"p");
    el->SetAttribute(u"a"_qs, u"1"_qs);
    el->SetAttribute(u"b"_qs, u"2"_qs);
    el->RemoveAttribute(u"a");
    el->SetAttribute(u"b"_qs, u"3"_qs);
    EXPECT_EQ(p->OuterHTML(), u"<p b=\"3\">a</p>");
}

TEST(HtmlNode, InnerTextBreaksBlocksAndCollapsesSpace)
{
    auto doc = parse(u"<html><head><title>T</title><style>p{}</style></head><body>\n"
                     "  <h1>Head  line</h1>one&nbsp;two<br>three <b>bold</b>\n\n four"
                     "<script>var x;</script><div><p>para</p></div>"
                     "<table><tr><td>a</td><td>b</td></tr></table>"
                     "<pre>  keep\n  this</pre>&lt;end&gt;</body></html>"_qs);
    EXPECT_EQ(doc->InnerText(), u"Head line\r\none two\r\nthree bold four\r\npara\r\na b\r\n"
                                "  keep\r\n  this\r\n<end>");
    EXPECT_EQ(parse(u"a<br><br>b"_qs)->InnerText(), u"a\r\n\r\nb");
}

TEST(HtmlNode, ChildrenInsertDeleteMove)
{
    auto doc = parse(u"<ul><li>a</li><li>b</li></ul><ol></ol>"_qs);
    THtmlNode *ul = doc->FindFirst(u"ul");
    THtmlNode *ol = doc->FindFirst(u"ol");
    ASSERT_EQ(ul->ChildCount(), 2);

    THtmlNode *b = ul->Child(1);
    EXPECT_TRUE(b->MoveTo(ol, 0));
    EXPECT_EQ(b->Parent(), ol);
    EXPECT_EQ(doc->OuterHTML(), u"<ul><li>a</li></ul><ol><li>b</li></ol>");
    EXPECT_FALSE(ol->MoveTo(b, 0)); // not into its own subtree
    EXPECT_TRUE(ul->Child(0)->MoveTo(ol, 5));
    EXPECT_EQ(doc->OuterHTML(), u"<ul></ul><ol><li>b</li><li>a</li></ol>");
    EXPECT_TRUE(ol->Child(0)->MoveTo(ol, 2)); // moving behind itself within the parent
    EXPECT_EQ(ol->InnerHTML(), u"<li>a</li><li>b</li>");

    auto li = std::make_unique<THtmlNode>(u"LI"_qs);
    li->AppendChild(THtmlNode::CreateText(u"<c>"_qs));
    li->SetAttribute(u"class"_qs, u"new"_qs);
    ul->InsertChild(0, std::move(li));
    ul->AppendChild(std::make_unique<THtmlNode>(u"br"_qs));
    EXPECT_EQ(ul->OuterHTML(), u"<ul><li class=\"new\">&lt;c&gt;</li><br></ul>");
    ul->DeleteChild(1);
    ul->SetInnerHTML(u"<li>x<li>y"_qs);
    EXPECT_EQ(doc->OuterHTML(), u"<ul><li>x<li>y</ul><ol><li>a</li><li>b</li></ol>");
    EXPECT_EQ(ul->ChildCount(), 2);

    THtmlNode *script = doc->AppendChild(std::make_unique<THtmlNode>(u"script"_qs));
    script->SetInnerHTML(u"if (a<b) {}"_qs);
    EXPECT_EQ(script->ChildCount(), 1);
    EXPECT_EQ(script->OuterHTML(), u"<script>if (a<b) {}</script>");

    THtNodeList list;
    list.LoadNodesByTag(doc.get(), u"li"_qs);
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(list[0]->InnerText(), u"x");
    EXPECT_EQ(list[3]->InnerText(), u"b");
    list.clear();
    list.LoadNodesByTag(doc.get(), u"LI"_qs); // exact comparison with the lower-cased name
    EXPECT_TRUE(list.isEmpty());

    ol->Child(0)->Child(0)->SetText(u"1 < 2"_qs);
    EXPECT_EQ(ol->InnerHTML(), u"<li>1 &lt; 2</li><li>b</li>");
}

TEST(HtmlNode, NodesOutliveTheTreeTheyWereParsedIn)
{
    // A parse's nodes share memory with its source; one taken out of its
    // tree keeps both, however the trees around it come and go.
    const QString page = u"<table><tr class=x><td>a&amp;b</td></tr></table>"_qs
                         + u"<p>filler</p>"_qs.repeated(20000);
    std::unique_ptr<THtmlNode> row;
    auto other = parse(u"<ul><li>kept</li></ul>"_qs);
    {
        auto doc = parse(page);
        THtmlNode *tr = doc->FindFirst(u"tr");
        ASSERT_TRUE(tr);
        row = tr->Parent()->TakeChild(tr->Parent()->IndexOf(tr));
        // Moved into a tree of another parse, which outlives this one.
        THtmlNode *li = other->FindFirst(u"li");
        EXPECT_TRUE(doc->FindFirst(u"p")->MoveTo(li, 1));
    }
    // New parses reuse what the freed one gave back; the survivors must not
    // be overwritten.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(parse(page)->OuterHTML(), page);
    EXPECT_EQ(row->OuterHTML(), u"<tr class=x><td>a&amp;b</td></tr>");
    EXPECT_EQ(row->GetAttribute(u"CLASS"), u"x");
    EXPECT_EQ(row->InnerText(), u"a&b");
    EXPECT_EQ(other->OuterHTML(), u"<ul><li>kept<p>filler</p></li></ul>");
    row->SetAttribute(u"class"_qs, u"y"_qs);
    EXPECT_EQ(row->OuterHTML(), u"<tr class=\"y\"><td>a&amp;b</td></tr>");
    other.reset(); // frees the moved p before the row's own parse goes
    EXPECT_EQ(row->Child(0)->OuterHTML(), u"<td>a&amp;b</td>");

    // Names we do not know are shared per parse and still pair start and
    // end tags by name, in any case.
    auto custom = parse(u"<my-tag a=1><x-y>t</X-Y></MY-TAG><my-tag></my-tag>"_qs);
    EXPECT_EQ(shape(custom.get()), u"my-tag(x-y('t')) my-tag");
    EXPECT_EQ(custom->Child(0)->TagName(), u"my-tag");
    EXPECT_EQ(&custom->Child(0)->TagName(), &custom->Child(1)->TagName());
}

TEST(HtmlNode, DeepNestingUsesNoStack)
{
    const int depth = 100000;
    QString in = u"<div>"_qs.repeated(depth) + u"x"_qs + u"</div>"_qs.repeated(depth);
    {
        auto doc = parse(in);
        EXPECT_EQ(doc->OuterHTML(), in);
        EXPECT_EQ(doc->InnerText(), u"x");
        THtNodeList list;
        list.LoadNodesByTag(doc.get(), u"div"_qs);
        EXPECT_EQ(list.size(), depth);
        EXPECT_TRUE(doc->FindFirst(u"span") == nullptr);
    } // and the destructor frees it all without recursion
    auto unclosed = parse(u"<div>"_qs.repeated(depth));
    EXPECT_EQ(unclosed->OuterHTML().size(), 5 * depth);
}

} // namespace

namespace {

TEST(HtmlNode, BytesAreDecodedByBomThenMetaThenAnsi)
{
    const QString text = u"<p>Gr\u00FC\u00DFe \u20AC</p>"_qs;
    int bom = -1;

    // A byte order mark wins over any meta tag.
    QByteArray utf8 = "\xEF\xBB\xBF<meta charset=\"iso-8859-1\">" + text.toUtf8();
    EXPECT_EQ(HtmlCharsetOf(utf8, &bom), u"utf-8");
    EXPECT_EQ(bom, 3);
    EXPECT_EQ(DecodeHtmlBytes(utf8), u"<meta charset=\"iso-8859-1\">"_qs + text);

    QByteArray le("\xFF\xFE");
    for (QChar c : text)
        le += char(c.unicode() & 0xFF), le += char(c.unicode() >> 8);
    EXPECT_EQ(DecodeHtmlBytes(le), text);
    QByteArray be("\xFE\xFF");
    for (QChar c : text)
        be += char(c.unicode() >> 8), be += char(c.unicode() & 0xFF);
    EXPECT_EQ(DecodeHtmlBytes(be), text);
    EXPECT_EQ(DecodeHtmlBytes(be + 'x').right(1), u"\uFFFD"); // odd byte kept visible

    // Meta tags: charset attribute, http-equiv content, "utf-16" read as UTF-8.
    const QByteArray latin9 = "<META HTTP-EQUIV=\"Content-Type\" content=\"text/html; "
                              "CHARSET=ISO-8859-15\"><p>\xA4</p>";
    EXPECT_EQ(HtmlCharsetOf(latin9, &bom), u"iso-8859-15");
    EXPECT_EQ(bom, 0);
    EXPECT_EQ(DecodeHtmlBytes(latin9).right(5), u"\u20AC</p>");
    EXPECT_EQ(HtmlCharsetOf("<meta charset=utf-16><p>x"), u"utf-8");
    EXPECT_EQ(DecodeHtmlBytes("<meta charset='utf-8'>\xC3\xBC"), u"<meta charset='utf-8'>\u00FC");

    // Beyond the first 1,024 bytes a meta tag is not looked for; without
    // one (or with an unknown name) the ANSI code page decodes.
    const QByteArray late = QByteArray(1024, ' ') + "<meta charset=utf-8>\x80";
    EXPECT_EQ(HtmlCharsetOf(late), u"");
    EXPECT_EQ(DecodeHtmlBytes(late).right(1), u"\u20AC");
    EXPECT_EQ(DecodeHtmlBytes("<meta charset=x-no-such>\x80").right(1), u"\u20AC");

    THtmlNode doc;
    doc.ParseBytes(utf8);
    EXPECT_EQ(doc.InnerText(), u"Gr\u00FC\u00DFe \u20AC");
}

} // namespace
