#include "StringList.h"

#include "CodePage.h"
#include "Exception.h"
#include "Stream.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <numeric>
#include <optional>
#include <vector>

namespace zor {

namespace {

struct Item
{
    QString s;
    void *obj = nullptr;
};

[[noreturn]] void indexError(int index)
{
    throw EStringListError(QStringLiteral("List index out of bounds (%1)").arg(index));
}

[[noreturn]] void sortedError()
{
    throw EStringListError(QStringLiteral("Operation not allowed on sorted list"));
}

// ---------------------------------------------------------------------------
// Text encodings: Unicode ones through QStringConverter (which also reads the
// BOMs), "ANSI" as the process's 8-bit code page, any other charset name
// ("windows-1252", "koi8-r" …) through the code page tables.

bool isAnsiName(const QString &name)
{
    const QString n = name.trimmed().toLower();
    return n == u"ansi" || n == u"default";
}

// BOM at the start of the bytes: its length and encoding.
int detectBom(const QByteArray &b, QString &encoding)
{
    if (b.startsWith("\xEF\xBB\xBF")) {
        encoding = QStringLiteral("UTF-8");
        return 3;
    }
    if (b.startsWith("\xFF\xFE")) {
        encoding = QStringLiteral("UTF-16LE");
        return 2;
    }
    if (b.startsWith("\xFE\xFF")) {
        encoding = QStringLiteral("UTF-16BE");
        return 2;
    }
    return 0;
}

std::optional<QStringConverter::Encoding> unicodeEncoding(const QString &name)
{
    const auto e = QStringConverter::encodingForName(name.trimmed().toLatin1().constData());
    if (!e)
        return std::nullopt;
    return *e;
}

// EEncodingError "Unsupported charset: %s" for a name nobody knows.
QString decodeWith(const QByteArray &bytes, const QString &encoding)
{
    if (isAnsiName(encoding))
        return FromAnsi(bytes);
    if (const auto e = unicodeEncoding(encoding)) {
        // Callers strip the one byte order mark; a U+FEFF after it is text.
        QStringDecoder dec(*e, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        return dec.decode(bytes);
    }
    return DecodeCharset(bytes, encoding);
}

QByteArray encodeWith(const QString &text, const QString &encoding)
{
    if (isAnsiName(encoding))
        return ToAnsi(text);
    if (const auto e = unicodeEncoding(encoding)) {
        QStringEncoder enc(*e, QStringConverter::Flag::Stateless);
        return enc.encode(text);
    }
    return EncodeCharset(text, encoding);
}

QByteArray bomFor(const QString &encoding)
{
    const auto e = unicodeEncoding(encoding);
    if (!e)
        return {};
    switch (*e) {
    case QStringConverter::Utf8: return QByteArray("\xEF\xBB\xBF");
    case QStringConverter::Utf16:
    case QStringConverter::Utf16LE: return QByteArray("\xFF\xFE");
    case QStringConverter::Utf16BE: return QByteArray("\xFE\xFF");
    default: return {};
    }
}

bool isUtf16Name(const QString &encoding)
{
    const auto e = unicodeEncoding(encoding);
    return e && (*e == QStringConverter::Utf16 || *e == QStringConverter::Utf16LE || *e == QStringConverter::Utf16BE);
}

} // namespace

// ---------------------------------------------------------------------------

struct TStringList::Private
{
    std::vector<Item> items;
    bool sorted = false;
    TDuplicates duplicates = dupIgnore;
    bool caseSensitive = false;
    QChar delimiter = u',';
    QChar quoteChar = u'"';
    bool strictDelimiter = false;
    QChar nameValueSeparator = u'=';
    QString lineBreak = QStringLiteral("\n");
    bool trailingLineBreak = true;
    bool ownsObjects = false;
    std::function<void(void *)> deleter;
    int updateCount = 0;
    bool changedInUpdate = false;
    QString encoding;       // of the last load; used by saves without a name
    bool encodingBom = false;

    int compare(const QString &a, const QString &b) const
    {
        return QString::compare(a, b, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive);
    }
    void freeObject(void *obj)
    {
        if (ownsObjects && obj && deleter)
            deleter(obj);
    }
    void check(int index) const
    {
        if (index < 0 || index >= int(items.size()))
            indexError(index);
    }
};

TStringList::TStringList() : d(std::make_unique<Private>()) {}

TStringList::TStringList(const QStringList &items) : TStringList()
{
    d->items.reserve(size_t(items.size()));
    for (const QString &s : items)
        d->items.push_back({s, nullptr});
}

TStringList::TStringList(const TStringList &other) : d(std::make_unique<Private>(*other.d))
{
    // A copy never owns: the objects still belong to the original.
    d->ownsObjects = false;
    d->deleter = {};
    d->updateCount = 0;
    d->changedInUpdate = false;
}

TStringList &TStringList::operator=(const TStringList &other)
{
    if (this == &other)
        return *this;
    Clear();
    auto copy = std::make_unique<Private>(*other.d);
    copy->ownsObjects = false;
    copy->deleter = {};
    copy->updateCount = d->updateCount;
    copy->changedInUpdate = d->changedInUpdate;
    d = std::move(copy);
    return *this;
}

TStringList::~TStringList()
{
    if (d && d->ownsObjects) {
        for (Item &it : d->items)
            d->freeObject(it.obj);
    }
}

int TStringList::Count() const
{
    return int(d->items.size());
}

QString TStringList::Get(int index) const
{
    d->check(index);
    return d->items[size_t(index)].s;
}

void TStringList::Put(int index, const QString &s)
{
    if (d->sorted)
        sortedError();
    d->check(index);
    notifyChanging();
    d->items[size_t(index)].s = s;
    notifyChanged();
}

void *TStringList::Objects(int index) const
{
    d->check(index);
    return d->items[size_t(index)].obj;
}

void TStringList::PutObject(int index, void *obj)
{
    d->check(index);
    notifyChanging();
    d->items[size_t(index)].obj = obj;
    notifyChanged();
}

int TStringList::Add(const QString &s)
{
    return AddObject(s, nullptr);
}

int TStringList::AddObject(const QString &s, void *obj)
{
    int index = Count();
    if (d->sorted) {
        if (Find(s, index)) {
            switch (d->duplicates) {
            case dupIgnore: return index;
            case dupError: throw EStringListError(QStringLiteral("String list does not allow duplicates"));
            case dupAccept:
                // After the equal ones, so that equal items keep their order.
                while (index < Count() && d->compare(d->items[size_t(index)].s, s) == 0)
                    ++index;
                break;
            }
        }
    }
    insertItem(index, s, obj);
    return index;
}

void TStringList::Insert(int index, const QString &s)
{
    InsertObject(index, s, nullptr);
}

void TStringList::InsertObject(int index, const QString &s, void *obj)
{
    if (d->sorted)
        sortedError();
    if (index < 0 || index > Count())
        indexError(index);
    insertItem(index, s, obj);
}

void TStringList::insertItem(int index, const QString &s, void *obj)
{
    notifyChanging();
    d->items.insert(d->items.begin() + index, Item{s, obj});
    notifyChanged();
}

void TStringList::Delete(int index)
{
    d->check(index);
    notifyChanging();
    void *obj = d->items[size_t(index)].obj;
    d->items.erase(d->items.begin() + index);
    d->freeObject(obj);
    notifyChanged();
}

void TStringList::Clear()
{
    if (d->items.empty())
        return;
    notifyChanging();
    std::vector<Item> old;
    old.swap(d->items);
    for (Item &it : old)
        d->freeObject(it.obj);
    notifyChanged();
}

void TStringList::Exchange(int a, int b)
{
    if (d->sorted)
        sortedError();
    d->check(a);
    d->check(b);
    notifyChanging();
    std::swap(d->items[size_t(a)], d->items[size_t(b)]);
    notifyChanged();
}

void TStringList::Move(int from, int to)
{
    if (d->sorted)
        sortedError();
    d->check(from);
    d->check(to);
    if (from == to)
        return;
    notifyChanging();
    Item it = std::move(d->items[size_t(from)]);
    d->items.erase(d->items.begin() + from);
    d->items.insert(d->items.begin() + to, std::move(it));
    notifyChanged();
}

void TStringList::AddStrings(const TStringList &other)
{
    if (&other == this) {
        const TStringList copy(other);
        AddStrings(copy);
        return;
    }
    BeginUpdate();
    try {
        for (const Item &it : other.d->items)
            AddObject(it.s, it.obj);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStringList::Assign(const TStringList &other)
{
    if (&other == this)
        return;
    BeginUpdate();
    try {
        Clear();
        AddStrings(other);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

int TStringList::IndexOf(const QString &s) const
{
    if (d->sorted) {
        int index = -1;
        return Find(s, index) ? index : -1;
    }
    for (int i = 0; i < Count(); ++i) {
        if (d->compare(d->items[size_t(i)].s, s) == 0)
            return i;
    }
    return -1;
}

int TStringList::IndexOfName(const QString &name) const
{
    const QChar sep = d->nameValueSeparator;
    for (int i = 0; i < Count(); ++i) {
        const QString &s = d->items[size_t(i)].s;
        const qsizetype p = s.indexOf(sep);
        if (p >= 0 && d->compare(s.left(p), name) == 0)
            return i;
    }
    return -1;
}

int TStringList::IndexOfObject(void *obj) const
{
    for (int i = 0; i < Count(); ++i) {
        if (d->items[size_t(i)].obj == obj)
            return i;
    }
    return -1;
}

bool TStringList::Find(const QString &s, int &index) const
{
    if (!d->sorted) {
        index = IndexOf(s);
        return index >= 0;
    }
    // Lower bound: the first item not less than s.
    int lo = 0;
    int hi = Count();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (d->compare(d->items[size_t(mid)].s, s) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    index = lo;
    return lo < Count() && d->compare(d->items[size_t(lo)].s, s) == 0;
}

void TStringList::Sort()
{
    if (Count() < 2)
        return;
    notifyChanging();
    std::stable_sort(d->items.begin(), d->items.end(),
                     [this](const Item &a, const Item &b) { return d->compare(a.s, b.s) < 0; });
    notifyChanged();
}

void TStringList::CustomSort(const std::function<int(const TStringList &, int, int)> &compare)
{
    if (d->sorted || Count() < 2 || !compare)
        return;
    std::vector<int> order(static_cast<size_t>(Count()));
    std::iota(order.begin(), order.end(), 0);
    // The comparer sees the list unchanged while sorting: it compares by index.
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return compare(*this, a, b) < 0; });
    notifyChanging();
    std::vector<Item> sortedItems;
    sortedItems.reserve(order.size());
    for (int i : order)
        sortedItems.push_back(std::move(d->items[size_t(i)]));
    d->items.swap(sortedItems);
    notifyChanged();
}

// ---------------------------------------------------------------------------
// Text

QString TStringList::Text() const
{
    QString result;
    const int n = Count();
    qsizetype total = 0;
    for (const Item &it : d->items)
        total += it.s.size() + d->lineBreak.size();
    result.reserve(total);
    for (int i = 0; i < n; ++i) {
        result += d->items[size_t(i)].s;
        if (i + 1 < n || d->trailingLineBreak)
            result += d->lineBreak;
    }
    return result;
}

void TStringList::SetText(const QString &text)
{
    BeginUpdate();
    try {
        Clear();
        const QString &lb = d->lineBreak;
        const bool standard = lb == u"\n" || lb == u"\r\n" || lb == u"\r" || lb.isEmpty();
        const qsizetype n = text.size();
        qsizetype start = 0;
        qsizetype i = 0;
        if (standard) {
            while (i < n) {
                const QChar c = text.at(i);
                if (c == u'\r' || c == u'\n') {
                    Add(text.mid(start, i - start));
                    if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                        ++i;
                    start = ++i;
                } else {
                    ++i;
                }
            }
        } else {
            for (;;) {
                const qsizetype p = text.indexOf(lb, start);
                if (p < 0)
                    break;
                Add(text.mid(start, p - start));
                start = p + lb.size();
            }
        }
        if (start < n)
            Add(text.mid(start));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

QString TStringList::LineBreak() const { return d->lineBreak; }
void TStringList::SetLineBreak(const QString &lb) { d->lineBreak = lb; }
bool TStringList::TrailingLineBreak() const { return d->trailingLineBreak; }
void TStringList::SetTrailingLineBreak(bool v) { d->trailingLineBreak = v; }

// ---------------------------------------------------------------------------
// Delimited text

namespace {

QString quoted(const QString &s, QChar quote)
{
    QString out;
    out.reserve(s.size() + 2);
    out += quote;
    for (const QChar c : s) {
        out += c;
        if (c == quote)
            out += quote;
    }
    out += quote;
    return out;
}

QString delimitedText(const std::vector<Item> &items, QChar delimiter, QChar quote, bool strict)
{
    if (items.size() == 1 && items.front().s.isEmpty())
        return QString(2, quote);
    QString result;
    bool first = true;
    for (const Item &it : items) {
        if (!first)
            result += delimiter;
        first = false;
        bool needsQuotes = false;
        for (const QChar c : it.s) {
            if (c == quote || c == delimiter || c == QChar(0) || (!strict && c.unicode() <= ' ')) {
                needsQuotes = true;
                break;
            }
        }
        result += needsQuotes ? quoted(it.s, quote) : it.s;
    }
    return result;
}

// Splits delimited text: quoted items may hold anything (a doubled quote is
// one quote); when not strict, spaces and control characters also separate
// items and are skipped around them; "a,,b" keeps the empty middle item, and a
// trailing delimiter adds an empty last item.
QStringList parseDelimited(const QString &text, QChar delimiter, QChar quote, bool strict)
{
    QStringList out;
    const qsizetype n = text.size();
    qsizetype i = 0;
    // NUL counts as blank too: it ends an unquoted item like any control
    // character, and the loop below must always move on.
    auto isBlank = [&](qsizetype k) { return !strict && text.at(k).unicode() <= ' '; };
    auto skipBlanks = [&] {
        while (i < n && isBlank(i))
            ++i;
    };
    skipBlanks();
    while (i < n) {
        QString item;
        if (text.at(i) == quote) {
            ++i;
            while (i < n) {
                const QChar c = text.at(i);
                if (c == quote) {
                    if (i + 1 < n && text.at(i + 1) == quote) {
                        item += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += c;
                ++i;
            }
        } else {
            const qsizetype start = i;
            while (i < n && text.at(i) != delimiter && !(text.at(i).unicode() <= ' ' && !strict))
                ++i;
            item = text.mid(start, i - start);
        }
        out << item;
        skipBlanks();
        if (i < n && text.at(i) == delimiter) {
            if (i + 1 == n)
                out << QString();
            ++i;
            skipBlanks();
        }
    }
    return out;
}

} // namespace

QString TStringList::CommaText() const
{
    return delimitedText(d->items, u',', u'"', false);
}

void TStringList::SetCommaText(const QString &text)
{
    setItems(parseDelimited(text, u',', u'"', false));
}

QString TStringList::DelimitedText() const
{
    return delimitedText(d->items, d->delimiter, d->quoteChar, d->strictDelimiter);
}

void TStringList::SetDelimitedText(const QString &text)
{
    setItems(parseDelimited(text, d->delimiter, d->quoteChar, d->strictDelimiter));
}

void TStringList::setItems(const QStringList &items)
{
    BeginUpdate();
    try {
        Clear();
        for (const QString &s : items)
            Add(s);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

QChar TStringList::Delimiter() const { return d->delimiter; }
void TStringList::SetDelimiter(QChar c) { d->delimiter = c; }
QChar TStringList::QuoteChar() const { return d->quoteChar; }
void TStringList::SetQuoteChar(QChar c) { d->quoteChar = c; }
bool TStringList::StrictDelimiter() const { return d->strictDelimiter; }
void TStringList::SetStrictDelimiter(bool v) { d->strictDelimiter = v; }

// ---------------------------------------------------------------------------
// Names and values

QString TStringList::Names(int index) const
{
    const QString s = Get(index);
    const qsizetype p = s.indexOf(d->nameValueSeparator);
    return p >= 0 ? s.left(p) : QString();
}

QString TStringList::Values(const QString &name) const
{
    const int i = IndexOfName(name);
    return i >= 0 ? ValueFromIndex(i) : QString();
}

void TStringList::SetValues(const QString &name, const QString &value)
{
    const int i = IndexOfName(name);
    if (value.isEmpty()) {
        if (i >= 0)
            Delete(i);
        return;
    }
    const QString line = name + d->nameValueSeparator + value;
    if (i < 0) {
        Add(line);
    } else if (d->sorted) {
        // A sorted list cannot be written in place: the line may move.
        BeginUpdate();
        try {
            Delete(i);
            Add(line);
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
    } else {
        Put(i, line);
    }
}

QString TStringList::ValueFromIndex(int index) const
{
    const QString s = Get(index);
    const qsizetype p = s.indexOf(d->nameValueSeparator);
    return p >= 0 ? s.mid(p + 1) : QString();
}

void TStringList::SetValueFromIndex(int index, const QString &value)
{
    if (value.isEmpty()) {
        Delete(index);
        return;
    }
    SetValues(Names(index), value);
}

QChar TStringList::NameValueSeparator() const { return d->nameValueSeparator; }
void TStringList::SetNameValueSeparator(QChar c) { d->nameValueSeparator = c; }

// ---------------------------------------------------------------------------
// Settings

bool TStringList::Sorted() const { return d->sorted; }

void TStringList::SetSorted(bool v)
{
    if (v == d->sorted)
        return;
    if (v)
        Sort();
    d->sorted = v;
}

TDuplicates TStringList::Duplicates() const { return d->duplicates; }
void TStringList::SetDuplicates(TDuplicates dup) { d->duplicates = dup; }
bool TStringList::CaseSensitive() const { return d->caseSensitive; }

void TStringList::SetCaseSensitive(bool v)
{
    if (v == d->caseSensitive)
        return;
    d->caseSensitive = v;
    if (d->sorted)
        Sort();
}

bool TStringList::OwnsObjects() const { return d->ownsObjects; }

void TStringList::SetOwnsObjects(bool v, std::function<void(void *)> deleter)
{
    d->ownsObjects = v;
    d->deleter = v ? std::move(deleter) : std::function<void(void *)>{};
}

// ---------------------------------------------------------------------------
// Updates

void TStringList::BeginUpdate()
{
    if (d->updateCount++ == 0)
        d->changedInUpdate = false;
}

void TStringList::EndUpdate()
{
    if (d->updateCount == 0)
        return;
    if (--d->updateCount == 0 && d->changedInUpdate) {
        d->changedInUpdate = false;
        if (OnChange)
            OnChange(*this);
    }
}

int TStringList::UpdateCount() const { return d->updateCount; }

// OnChanging before a change and OnChange after it; inside BeginUpdate /
// EndUpdate each happens once for the whole block, and only if something changed.
void TStringList::notifyChanging()
{
    if (d->updateCount > 0) {
        if (d->changedInUpdate)
            return;
        d->changedInUpdate = true;
    }
    if (OnChanging)
        OnChanging(*this);
}

void TStringList::notifyChanged()
{
    if (d->updateCount == 0 && OnChange)
        OnChange(*this);
}

// ---------------------------------------------------------------------------
// Files and streams

void TStringList::LoadFromFile(const QString &fileName, const QString &encoding)
{
    TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(f, encoding);
}

void TStringList::SaveToFile(const QString &fileName, const QString &encoding) const
{
    const QByteArray bytes = encodeText(encoding);
    // Written beside and renamed into place: a crash never leaves half a file.
    QString error;
    if (!WriteFileAtomically(fileName, bytes, &error))
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, error));
}

void TStringList::LoadFromStream(TStream &stream, const QString &encoding)
{
    const QByteArray bytes = stream.ReadAll();
    QString bomEncoding;
    const int bomLength = detectBom(bytes, bomEncoding);
    QString used = encoding.trimmed();
    QString text;
    bool bom = false;
    if (used.isEmpty()) {
        if (bomLength > 0) {
            used = bomEncoding;
            bom = true;
            text = decodeWith(bytes.mid(bomLength), used);
        } else {
            // Without a BOM the text is taken as UTF-8 unless it is not valid
            // UTF-8: then it is 8-bit text in the ANSI code page.
            QStringDecoder dec(QStringConverter::Utf8,
                               QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
            text = dec.decode(bytes);
            used = QStringLiteral("UTF-8");
            if (dec.hasError()) {
                used = QStringLiteral("ANSI");
                text = FromAnsi(bytes);
            }
        }
    } else {
        QByteArray body = bytes;
        // A BOM of the named encoding is not part of the text.
        if (bomLength > 0) {
            const auto named = unicodeEncoding(used);
            const auto found = unicodeEncoding(bomEncoding);
            if (named && found
                && (*named == *found || (*named == QStringConverter::Utf16 && isUtf16Name(bomEncoding)))) {
                body = bytes.mid(bomLength);
                bom = true;
            }
        }
        // Plain "UTF-16" takes its byte order from the mark.
        text = decodeWith(body, bom ? bomEncoding : used);
    }
    SetText(text);
    d->encoding = used;
    d->encodingBom = bom;
}

void TStringList::SaveToStream(TStream &stream, const QString &encoding) const
{
    const QByteArray bytes = encodeText(encoding);
    stream.WriteBuffer(bytes.constData(), bytes.size());
}

QByteArray TStringList::encodeText(const QString &encoding) const
{
    QString used = encoding.trimmed();
    bool bom = false;
    if (used.isEmpty()) {
        used = d->encoding.isEmpty() ? QStringLiteral("UTF-8") : d->encoding;
        bom = d->encodingBom;
    }
    const QString text = Text();
    // UTF-16 text always carries its BOM, so that it reads back without a name;
    // so does Unicode text that starts with U+FEFF, which a reader would
    // otherwise take for the mark.
    if (isUtf16Name(used) || text.startsWith(QChar(0xFEFF)))
        bom = true;
    QByteArray bytes;
    if (bom)
        bytes += bomFor(used);
    bytes += encodeWith(text, used);
    return bytes;
}

QString TStringList::Encoding() const
{
    return d->encoding;
}

// ---------------------------------------------------------------------------

QStringList TStringList::ToQStringList() const
{
    QStringList out;
    out.reserve(Count());
    for (const Item &it : d->items)
        out << it.s;
    return out;
}

bool TStringList::Equals(const TStringList &other) const
{
    if (Count() != other.Count())
        return false;
    for (int i = 0; i < Count(); ++i) {
        if (d->items[size_t(i)].s != other.d->items[size_t(i)].s)
            return false;
    }
    return true;
}

} // namespace zor
