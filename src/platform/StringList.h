// TStringList: a list of strings with an optional object per item and the
// classic text rules (Text ends every line with a line break, CommaText and
// DelimitedText quote items that need it, Names/Values split at '=').
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace zor {

class TStream;

enum TDuplicates { dupIgnore = 0, dupAccept = 1, dupError = 2 };

class ZOR_EXPORT TStringList
{
public:
    TStringList();
    explicit TStringList(const QStringList &items);
    TStringList(const TStringList &other);            // copies items, objects and settings, not OnChange
    TStringList &operator=(const TStringList &other);
    virtual ~TStringList();

    int Count() const;
    QString Get(int index) const;                    // EStringListError "List index out of bounds (%d)"
    void Put(int index, const QString &s);           // on a sorted list: EStringListError "Operation not allowed on sorted list"
    QString operator[](int index) const { return Get(index); }
    void *Objects(int index) const;
    void PutObject(int index, void *obj);

    int Add(const QString &s);                       // sorted: insertion point; duplicates per Duplicates
    int AddObject(const QString &s, void *obj);
    void Insert(int index, const QString &s);        // on a sorted list: EStringListError "Operation not allowed on sorted list"
    void InsertObject(int index, const QString &s, void *obj);
    void Delete(int index);
    void Clear();
    void Exchange(int a, int b);
    void Move(int from, int to);
    void AddStrings(const TStringList &other);
    void Assign(const TStringList &other);          // items and objects
    void Append(const QString &s) { Add(s); }

    int IndexOf(const QString &s) const;             // honours CaseSensitive; binary search when sorted
    int IndexOfName(const QString &name) const;
    int IndexOfObject(void *obj) const;
    bool Find(const QString &s, int &index) const;   // sorted lists: true when found, index = insertion point
    void Sort();
    void CustomSort(const std::function<int(const TStringList &, int, int)> &compare);

    // Text: every line followed by LineBreak ("\n" by default); setting splits
    // at CR, LF or CR LF (a trailing break adds no empty line).
    QString Text() const;
    void SetText(const QString &text);
    QString LineBreak() const;
    void SetLineBreak(const QString &lb);
    bool TrailingLineBreak() const;
    void SetTrailingLineBreak(bool v);

    // CommaText: DelimitedText with ',' and '"' and StrictDelimiter off.
    QString CommaText() const;
    void SetCommaText(const QString &text);
    // Items containing a space (when not strict), the delimiter, the quote char,
    // or control characters are quoted with QuoteChar, doubling inner quotes.
    QString DelimitedText() const;
    void SetDelimitedText(const QString &text);
    QChar Delimiter() const;
    void SetDelimiter(QChar c);
    QChar QuoteChar() const;
    void SetQuoteChar(QChar c);
    bool StrictDelimiter() const;
    void SetStrictDelimiter(bool v);

    // name=value lines (NameValueSeparator '=').
    QString Names(int index) const;
    QString Values(const QString &name) const;
    void SetValues(const QString &name, const QString &value); // empty value deletes the line
    QString ValueFromIndex(int index) const;
    void SetValueFromIndex(int index, const QString &value);
    QChar NameValueSeparator() const;
    void SetNameValueSeparator(QChar c);

    bool Sorted() const;
    void SetSorted(bool v);                          // sorts when switched on
    TDuplicates Duplicates() const;
    void SetDuplicates(TDuplicates d);               // dupError: EStringListError "String list does not allow duplicates"
    bool CaseSensitive() const;                      // false by default (ASCII and Unicode case folding)
    void SetCaseSensitive(bool v);
    bool OwnsObjects() const;                        // objects deleted through ObjectDeleter
    void SetOwnsObjects(bool v, std::function<void(void *)> deleter = {});

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const;
    std::function<void(TStringList &)> OnChange;     // after a change, outside BeginUpdate/EndUpdate
    std::function<void(TStringList &)> OnChanging;

    // Load/save as text: UTF-8 (a BOM is honoured; UTF-16 BOMs too) unless an
    // encoding name ("windows-1252", "UTF-16LE" …) is given.
    void LoadFromFile(const QString &fileName, const QString &encoding = {});
    void SaveToFile(const QString &fileName, const QString &encoding = {}) const;
    void LoadFromStream(TStream &stream, const QString &encoding = {});
    void SaveToStream(TStream &stream, const QString &encoding = {}) const;
    // Encoding of the last load ("UTF-8", "UTF-16LE", "windows-1252" …; empty
    // before any load). Saves without an encoding name use it again, with the
    // BOM the loaded text had, so a file keeps its form through load and save.
    // Text without a BOM that is not valid UTF-8 loads as "ANSI": the
    // process's 8-bit code page (windows-1252 unless set otherwise). Unknown
    // names raise EEncodingError.
    QString Encoding() const;

    QStringList ToQStringList() const;
    bool Equals(const TStringList &other) const;     // same items (text) in the same order

private:
    void insertItem(int index, const QString &s, void *obj);
    void setItems(const QStringList &items);
    void notifyChanging();
    void notifyChanged();
    QByteArray encodeText(const QString &encoding) const;

    struct Private;
    std::unique_ptr<Private> d;
};

using TStrings = TStringList;

} // namespace zor
