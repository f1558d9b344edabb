#include <ZorCompCore/localisation/runtime/SiLang.h>

#include <ZorCompCore/localisation/runtime/SiLangLinked.h>

#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/localisation/runtime/SibFile.h>
#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>

#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QFont>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaProperty>
#include <QPointer>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QToolBox>
#include <QTreeWidget>
#include <array>

namespace zor {

namespace {

// Keep in step with TStringsType.
const char *const TypeNames[StringsTypeCount] = {
    "stCaptions", "stHints", "stDisplayLabels", "stFonts", "stMultiLines", "stDialogsMessages",
    "stStrings", "stMisc", "stCollections", "stItems", "stCharSets", "stListView_TreeView_Items"};

// The properties each type captures from the form.
QStringList capturedProperties(TStringsType type)
{
    switch (type) {
    case stCaptions: return {QStringLiteral("text"), QStringLiteral("title"), QStringLiteral("windowTitle")};
    case stHints: return {QStringLiteral("toolTip"), QStringLiteral("statusTip"), QStringLiteral("whatsThis")};
    case stDisplayLabels: return {QStringLiteral("headerLabels")};
    case stFonts: return {QStringLiteral("font")};
    case stMultiLines: return {QStringLiteral("plainText")};
    case stMisc:
        return {QStringLiteral("placeholderText"), QStringLiteral("prefix"), QStringLiteral("suffix"),
                QStringLiteral("specialValueText")};
    case stCollections: return {QStringLiteral("tabs")};
    case stItems:
    case stListView_TreeView_Items: return {QStringLiteral("items")};
    default: return {};
    }
}

// Types whose lines name object properties.
bool isPropertyType(int type)
{
    return type != stDialogsMessages && type != stStrings && type != stCharSets;
}

void checkDelim(QChar delim)
{
    if (delim == QLatin1Char('\\'))
        throw EConvertError(QStringLiteral("A backslash cannot be the language delimiter"));
}

// Start and end (exclusive) of field `field` of a line; false when the line
// has fewer fields. Delimiters behind a backslash belong to an escape.
bool fieldBounds(const QString &s, QChar delim, int field, qsizetype &start, qsizetype &end)
{
    int current = 0;
    start = 0;
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('\\')) {
            ++i;
        } else if (c == delim) {
            if (current == field) {
                end = i;
                return true;
            }
            ++current;
            start = i + 1;
        }
    }
    if (current != field)
        return false;
    end = n;
    return true;
}

// --- Reading and writing texts of objects -------------------------------------

void treeItemsDepthFirst(QTreeWidgetItem *item, QList<QTreeWidgetItem *> &out)
{
    out.append(item);
    for (int i = 0; i < item->childCount(); ++i)
        treeItemsDepthFirst(item->child(i), out);
}

QList<QTreeWidgetItem *> allTreeItems(QTreeWidget *tree)
{
    QList<QTreeWidgetItem *> out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        treeItemsDepthFirst(tree->topLevelItem(i), out);
    return out;
}

int stringPropertyIndex(const QObject *obj, const QString &name, bool forWriting)
{
    const QMetaObject *mo = obj->metaObject();
    const int index = mo->indexOfProperty(name.toLatin1().constData());
    if (index < 0)
        return -1;
    const QMetaProperty p = mo->property(index);
    if (p.metaType().id() != QMetaType::QString || !p.isReadable() || (forWriting && !p.isWritable()))
        return -1;
    return index;
}

// Texts that are the user's data rather than the form's design: never captured.
bool isUserData(const QObject *obj, const QString &prop)
{
    if (prop == QLatin1String("text"))
        return qobject_cast<const QLineEdit *>(obj) || qobject_cast<const QAbstractSpinBox *>(obj);
    if (prop == QLatin1String("toolTip")) {
        // An action without a tool tip of its own reports its text: that is
        // no design text, and fixing it would stop it following the text.
        if (auto *a = qobject_cast<const QAction *>(obj)) {
            QString derived = a->text();
            derived.remove(QLatin1String("..."));
            derived.replace(QLatin1String("&&"), QLatin1String("\x01")).remove(QLatin1Char('&'));
            derived.replace(QLatin1String("\x01"), QLatin1String("&"));
            return a->toolTip() == derived;
        }
    }
    if (prop == QLatin1String("plainText")) {
        if (auto *e = qobject_cast<const QPlainTextEdit *>(obj))
            return !e->isReadOnly();
        if (auto *e = qobject_cast<const QTextEdit *>(obj))
            return !e->isReadOnly();
    }
    return false;
}

// The text of a property (or of the item names described in SiLang.h); false
// when the object has no such text.
bool readText(QObject *obj, TStringsType type, const QString &prop, QString &out)
{
    QStringList parts;
    if (prop == QLatin1String("items")) {
        if (type == stListView_TreeView_Items) {
            auto *tree = qobject_cast<QTreeWidget *>(obj);
            if (!tree)
                return false;
            for (QTreeWidgetItem *item : allTreeItems(tree)) {
                QStringList columns;
                for (int c = 0; c < item->columnCount(); ++c)
                    columns.append(item->text(c));
                parts.append(columns.join(QLatin1Char('\t')));
            }
        } else if (auto *combo = qobject_cast<QComboBox *>(obj)) {
            for (int i = 0; i < combo->count(); ++i)
                parts.append(combo->itemText(i));
        } else if (auto *list = qobject_cast<QListWidget *>(obj)) {
            for (int i = 0; i < list->count(); ++i)
                parts.append(list->item(i)->text());
        } else {
            return false;
        }
    } else if (prop == QLatin1String("tabs")) {
        if (auto *tabs = qobject_cast<QTabWidget *>(obj)) {
            for (int i = 0; i < tabs->count(); ++i)
                parts.append(tabs->tabText(i));
        } else if (auto *bar = qobject_cast<QTabBar *>(obj)) {
            for (int i = 0; i < bar->count(); ++i)
                parts.append(bar->tabText(i));
        } else if (auto *box = qobject_cast<QToolBox *>(obj)) {
            for (int i = 0; i < box->count(); ++i)
                parts.append(box->itemText(i));
        } else {
            return false;
        }
    } else if (prop == QLatin1String("headerLabels")) {
        if (auto *tree = qobject_cast<QTreeWidget *>(obj)) {
            QTreeWidgetItem *header = tree->headerItem();
            for (int c = 0; c < header->columnCount(); ++c)
                parts.append(header->text(c));
        } else if (auto *table = qobject_cast<QTableWidget *>(obj)) {
            for (int c = 0; c < table->columnCount(); ++c) {
                QTableWidgetItem *item = table->horizontalHeaderItem(c);
                parts.append(item ? item->text() : QString());
            }
        } else {
            return false;
        }
    } else if (prop == QLatin1String("font")) {
        // Only a font chosen for this widget belongs to the form's design;
        // inherited fonts follow the parent.
        auto *w = qobject_cast<QWidget *>(obj);
        if (!w || !w->testAttribute(Qt::WA_SetFont))
            return false;
        out = w->font().toString();
        return true;
    } else {
        const int index = stringPropertyIndex(obj, prop, true);
        if (index < 0)
            return false;
        out = obj->metaObject()->property(index).read(obj).toString();
        return true;
    }
    out = parts.join(QLatin1Char('\n'));
    return true;
}

// Sets the text; item lists keep their items and take as many texts as they
// have items, so selections and item data survive a language switch.
void writeText(QObject *obj, TStringsType type, const QString &prop, const QString &text)
{
    if (prop == QLatin1String("items")) {
        const QStringList parts = text.split(QLatin1Char('\n'));
        if (auto *tree = qobject_cast<QTreeWidget *>(obj); tree && type == stListView_TreeView_Items) {
            const QList<QTreeWidgetItem *> items = allTreeItems(tree);
            for (int i = 0; i < qMin(items.size(), parts.size()); ++i) {
                const QStringList columns = parts.at(i).split(QLatin1Char('\t'));
                for (int c = 0; c < qMin(int(columns.size()), items.at(i)->columnCount()); ++c)
                    items.at(i)->setText(c, columns.at(c));
            }
        } else if (auto *combo = qobject_cast<QComboBox *>(obj)) {
            for (int i = 0; i < qMin(combo->count(), int(parts.size())); ++i)
                combo->setItemText(i, parts.at(i));
        } else if (auto *list = qobject_cast<QListWidget *>(obj)) {
            for (int i = 0; i < qMin(list->count(), int(parts.size())); ++i)
                list->item(i)->setText(parts.at(i));
        }
    } else if (prop == QLatin1String("tabs")) {
        const QStringList parts = text.split(QLatin1Char('\n'));
        if (auto *tabs = qobject_cast<QTabWidget *>(obj)) {
            for (int i = 0; i < qMin(tabs->count(), int(parts.size())); ++i)
                tabs->setTabText(i, parts.at(i));
        } else if (auto *bar = qobject_cast<QTabBar *>(obj)) {
            for (int i = 0; i < qMin(bar->count(), int(parts.size())); ++i)
                bar->setTabText(i, parts.at(i));
        } else if (auto *box = qobject_cast<QToolBox *>(obj)) {
            for (int i = 0; i < qMin(box->count(), int(parts.size())); ++i)
                box->setItemText(i, parts.at(i));
        }
    } else if (prop == QLatin1String("headerLabels")) {
        const QStringList parts = text.split(QLatin1Char('\n'));
        if (auto *tree = qobject_cast<QTreeWidget *>(obj)) {
            QTreeWidgetItem *header = tree->headerItem();
            for (int c = 0; c < qMin(header->columnCount(), int(parts.size())); ++c)
                header->setText(c, parts.at(c));
        } else if (auto *table = qobject_cast<QTableWidget *>(obj)) {
            for (int c = 0; c < qMin(table->columnCount(), int(parts.size())); ++c) {
                if (QTableWidgetItem *item = table->horizontalHeaderItem(c))
                    item->setText(parts.at(c));
                else
                    table->setHorizontalHeaderItem(c, new QTableWidgetItem(parts.at(c)));
            }
        }
    } else if (prop == QLatin1String("font")) {
        QFont font;
        if (auto *w = qobject_cast<QWidget *>(obj); w && font.fromString(text))
            w->setFont(font);
    } else {
        const int index = stringPropertyIndex(obj, prop, true);
        if (index >= 0)
            obj->metaObject()->property(index).write(obj, text);
    }
}

} // namespace

// --- Free functions ------------------------------------------------------------

QString StringsTypeName(TStringsType AType)
{
    if (AType < 0 || AType >= StringsTypeCount)
        return {};
    return QString::fromLatin1(TypeNames[AType]);
}

int StringsTypeFromName(const QString &AName)
{
    for (int i = 0; i < StringsTypeCount; ++i)
        if (siCompareText(AName, QString::fromLatin1(TypeNames[i])) == 0)
            return i;
    bool ok = false;
    const int value = AName.toInt(&ok);
    return ok && value >= 0 && value < StringsTypeCount ? value : -1;
}

int siCompareText(const QString &S1, const QString &S2)
{
    const qsizetype n = qMin(S1.size(), S2.size());
    for (qsizetype i = 0; i < n; ++i) {
        ushort a = S1.at(i).unicode();
        ushort b = S2.at(i).unicode();
        if (a >= 'a' && a <= 'z')
            a -= 32;
        if (b >= 'a' && b <= 'z')
            b -= 32;
        if (a != b)
            return int(a) - int(b);
    }
    return int(S1.size() - S2.size());
}

QByteArray siUTF8ToAnsi(const QByteArray &S)
{
    return ToAnsi(QString::fromUtf8(S));
}

QString siEncodeText(const QString &AText, QChar ADelim)
{
    QString out;
    out.reserve(AText.size());
    for (QChar c : AText) {
        switch (c.unicode()) {
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c == ADelim)
                out += QLatin1String("\\d");
            else
                out += c;
        }
    }
    return out;
}

QString siDecodeText(const QString &AText, QChar ADelim)
{
    if (!AText.contains(QLatin1Char('\\')))
        return AText;
    QString out;
    out.reserve(AText.size());
    for (qsizetype i = 0; i < AText.size(); ++i) {
        const QChar c = AText.at(i);
        if (c != QLatin1Char('\\') || i + 1 == AText.size()) {
            out += c;
            continue;
        }
        const QChar e = AText.at(++i);
        switch (e.unicode()) {
        case '\\': out += QLatin1Char('\\'); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case 't': out += QLatin1Char('\t'); break;
        case 'd': out += ADelim; break;
        default: // not an escape of ours: keep it as written
            out += c;
            out += e;
        }
    }
    return out;
}

QStringList siSplitLine(const QString &ALine, QChar ADelim)
{
    QStringList fields;
    qsizetype start = 0;
    for (qsizetype i = 0; i < ALine.size(); ++i) {
        const QChar c = ALine.at(i);
        if (c == QLatin1Char('\\')) {
            ++i;
        } else if (c == ADelim) {
            fields.append(siDecodeText(ALine.mid(start, i - start), ADelim));
            start = i + 1;
        }
    }
    fields.append(siDecodeText(ALine.mid(start), ADelim));
    return fields;
}

QString siJoinLine(const QStringList &AFields, QChar ADelim)
{
    QString line;
    for (qsizetype i = 0; i < AFields.size(); ++i) {
        if (i > 0)
            line += ADelim;
        line += siEncodeText(AFields.at(i), ADelim);
    }
    return line;
}

QString ExtractTranslation(const QString &S, QChar Delim, int Lang)
{
    qsizetype start = 0, end = 0;
    if (Lang < 0 || !fieldBounds(S, Delim, Lang, start, end))
        return {};
    return siDecodeText(S.mid(start, end - start), Delim);
}

// --- TsiStringsCollection ------------------------------------------------------

TsiStringsCollection::TsiStringsCollection(QChar ADelim) : FDelim(ADelim)
{
    SetCaseSensitive(true);
}

int TsiStringsCollection::FindID(const QString &ID) const
{
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        const QString line = Get(i);
        if (line.startsWith(ID) && (line.size() == ID.size() || line.at(ID.size()) == FDelim))
            return i;
    }
    return -1;
}

QString TsiStringsCollection::IDOfLine(int AIndex) const
{
    return ExtractTranslation(Get(AIndex), FDelim, 0);
}

QString TsiStringsCollection::GetTranslationByID(const QString &ID, int Lang) const
{
    const int i = FindID(ID);
    return i < 0 || Lang < 1 ? QString() : ExtractTranslation(Get(i), FDelim, Lang);
}

void TsiStringsCollection::SetTranslationByID(const QString &ID, int Lang, const QString &AText)
{
    if (Lang < 1)
        return;
    const int i = FindID(ID);
    QStringList fields = i >= 0 ? siSplitLine(Get(i), FDelim) : QStringList{ID};
    while (fields.size() <= Lang)
        fields.append(QString());
    fields[Lang] = AText;
    if (i >= 0)
        Put(i, siJoinLine(fields, FDelim));
    else
        Add(siJoinLine(fields, FDelim));
}

// --- TsiCustomLang -------------------------------------------------------------

struct TsiCustomLang::Private
{
    std::array<std::unique_ptr<TsiStringsCollection>, StringsTypeCount> lists;
    TStringList langNames;
    TStringList excluded;
    int numLang = 1;
    QChar delim = QLatin1Char('\t');
    int active = 1;
    int defaultLang = 1;
    bool useDefault = false;
    TTranslateType translateType = ttNoChange;
    bool storeAsUTF8 = false;
    std::array<bool, StringsTypeCount> handled;
    QList<TsiExtendedTranslation> extended;
    QPointer<TsiLangDispatcher> dispatcher;
    bool captured = false; // design texts taken from the owner
    bool applied = false;  // a language was applied since then
};

TsiCustomLang::TsiCustomLang(QObject *AOwner) : TComponent(AOwner), d(std::make_unique<Private>())
{
    for (auto &list : d->lists)
        list = std::make_unique<TsiStringsCollection>(d->delim);
    d->handled.fill(true);
    d->langNames.Add(QStringLiteral("Language 1"));
}

TsiCustomLang::~TsiCustomLang()
{
    if (d->dispatcher)
        d->dispatcher->detach(this);
}

void TsiCustomLang::Assign(TsiCustomLang *Source)
{
    if (!Source || Source == this)
        return;
    d->langNames.Assign(Source->d->langNames);
    d->excluded.Assign(Source->d->excluded);
    d->numLang = Source->d->numLang;
    d->active = Source->d->active;
    d->defaultLang = Source->d->defaultLang;
    d->useDefault = Source->d->useDefault;
    d->translateType = Source->d->translateType;
    d->storeAsUTF8 = Source->d->storeAsUTF8;
    d->handled = Source->d->handled;
    d->extended = Source->d->extended;
    if (Source->d->delim != d->delim)
        for (TsiExtendedTranslation &item : d->extended)
            item.Translations = siJoinLine(siSplitLine(item.Translations, Source->d->delim), d->delim);
    for (int t = 0; t < StringsTypeCount; ++t) {
        TsiStringsCollection &dest = *d->lists[t];
        const TsiStringsCollection &src = *Source->d->lists[t];
        dest.BeginUpdate();
        dest.Clear();
        for (int i = 0; i < src.Count(); ++i)
            dest.Add(src.Delim() == d->delim ? src.Get(i) : siJoinLine(siSplitLine(src.Get(i), src.Delim()), d->delim));
        dest.EndUpdate();
    }
}

int TsiCustomLang::NumOfLanguages() const
{
    return d->numLang;
}

void TsiCustomLang::SetNumLang(int AValue)
{
    AValue = qMax(1, AValue);
    while (d->langNames.Count() < AValue)
        d->langNames.Add(QStringLiteral("Language %1").arg(d->langNames.Count() + 1));
    const bool changed = d->numLang != AValue;
    d->numLang = AValue;
    d->active = qMin(d->active, AValue);
    d->defaultLang = qMin(d->defaultLang, AValue);
    if (changed)
        emit numOfLanguagesChanged(AValue);
    emit langNamesChanged();
}

QStringList TsiCustomLang::langNameList() const
{
    return d->langNames.ToQStringList().mid(0, d->numLang);
}

bool TsiCustomLang::GetHasKey(const QString &AID) const
{
    return Strings().FindID(AID) >= 0;
}

TStringList &TsiCustomLang::LangNames()
{
    return d->langNames;
}

const TStringList &TsiCustomLang::LangNames() const
{
    return d->langNames;
}

void TsiCustomLang::SetLangNames(const TStringList &AValue)
{
    d->langNames.Assign(AValue);
    SetNumLang(d->numLang); // pads the names when fewer than the languages
}

QChar TsiCustomLang::LangDelim() const
{
    return d->delim;
}

void TsiCustomLang::SetLangDelim(QChar AValue)
{
    checkDelim(AValue);
    if (AValue == d->delim)
        return;
    for (auto &list : d->lists) {
        list->BeginUpdate();
        for (int i = 0; i < list->Count(); ++i)
            list->Put(i, siJoinLine(siSplitLine(list->Get(i), d->delim), AValue));
        list->SetDelim(AValue);
        list->EndUpdate();
    }
    for (TsiExtendedTranslation &item : d->extended)
        item.Translations = siJoinLine(siSplitLine(item.Translations, d->delim), AValue);
    d->delim = AValue;
}

bool TsiCustomLang::HandlesType(TStringsType AType) const
{
    return AType >= 0 && AType < StringsTypeCount && d->handled[AType];
}

void TsiCustomLang::SetHandlesType(TStringsType AType, bool AValue)
{
    if (AType >= 0 && AType < StringsTypeCount)
        d->handled[AType] = AValue;
}

QList<TsiExtendedTranslation> &TsiCustomLang::ExtendedTranslations()
{
    return d->extended;
}

const QList<TsiExtendedTranslation> &TsiCustomLang::ExtendedTranslations() const
{
    return d->extended;
}

TsiLangDispatcher *TsiCustomLang::LangDispatcher() const
{
    return d->dispatcher;
}

void TsiCustomLang::SetLangDispatcher(TsiLangDispatcher *AValue)
{
    if (d->dispatcher == AValue)
        return;
    if (d->dispatcher)
        d->dispatcher->detach(this);
    d->dispatcher = AValue;
    if (AValue) {
        AValue->attach(this);
        AValue->Apply(this);
    }
}

int TsiCustomLang::ActiveLanguage() const
{
    return d->active;
}

void TsiCustomLang::SetActiveLanguage(int AValue)
{
    if (AValue < 1 || AValue > d->numLang)
        return;
    const bool changed = d->active != AValue;
    d->active = AValue;
    if (changed) {
        emit activeLanguageChanged(AValue);
        emit languageChanged(Language());
    }
    if (!(ComponentState() & (csLoading | csReading | csDestroying)))
        ChangeLanguage();
}

QString TsiCustomLang::Language() const
{
    return d->active <= d->langNames.Count() ? d->langNames.Get(d->active - 1) : QString();
}

void TsiCustomLang::SetLanguage(const QString &Value)
{
    const int n = qMin(d->numLang, d->langNames.Count());
    for (int i = 0; i < n; ++i) {
        if (siCompareText(d->langNames.Get(i), Value) == 0) {
            SetActiveLanguage(i + 1);
            return;
        }
    }
}

int TsiCustomLang::DefaultLanguage() const
{
    return d->defaultLang;
}

void TsiCustomLang::SetDefaultLanguage(int AValue)
{
    if (AValue >= 1 && AValue <= d->numLang)
        d->defaultLang = AValue;
}

bool TsiCustomLang::UseDefaultLanguage() const
{
    return d->useDefault;
}

void TsiCustomLang::SetUseDefaultLanguage(bool AValue)
{
    d->useDefault = AValue;
}

TTranslateType TsiCustomLang::TranslateType() const
{
    return d->translateType;
}

void TsiCustomLang::SetTranslateType(TTranslateType AValue)
{
    d->translateType = AValue;
}

bool TsiCustomLang::StoreAsUTF8() const
{
    return d->storeAsUTF8;
}

void TsiCustomLang::SetStoreAsUTF8(bool AValue)
{
    d->storeAsUTF8 = AValue;
}

TStringList &TsiCustomLang::ExcludedProperties()
{
    return d->excluded;
}

TsiStringsCollection *TsiCustomLang::GetPropListByType(TStringsType AType) const
{
    if (AType < 0 || AType >= StringsTypeCount)
        return nullptr;
    return d->lists[AType].get();
}

QString TsiCustomLang::GetOwnerClassName() const
{
    return Owner() ? ClassNameOf(Owner()) : QString();
}

QString TsiCustomLang::OwnerID() const
{
    QObject *owner = Owner();
    if (!owner)
        return {};
    return owner->objectName().isEmpty() ? ClassNameOf(owner) : owner->objectName();
}

QString TsiCustomLang::GetText(const QString &TextID) const
{
    const TsiStringsCollection &strings = Strings();
    QString result = strings.GetTranslationByID(TextID, d->active);
    if (result.isEmpty() && d->translateType == ttGetDefault && d->defaultLang != d->active)
        result = strings.GetTranslationByID(TextID, d->defaultLang);
    return result;
}

QString TsiCustomLang::IntExtractTranslation(const QString &S, QChar Delim, int Lang, bool AAllowDefault)
{
    QString result = ExtractTranslation(S, Delim, Lang);
    if (result.isEmpty() && AAllowDefault && d->useDefault && Lang != d->defaultLang)
        result = ExtractTranslation(S, Delim, d->defaultLang);
    return result;
}

bool TsiCustomLang::IsExcluded(const QString &AID) const
{
    const qsizetype dot = AID.indexOf(QLatin1Char('.'));
    const QString prop = dot < 0 ? AID : AID.mid(dot + 1);
    return d->excluded.IndexOf(prop) >= 0 || d->excluded.IndexOf(AID) >= 0;
}

QHash<QString, QObject *> TsiCustomLang::namedObjects() const
{
    QHash<QString, QObject *> objects;
    QObject *owner = Owner();
    if (!owner)
        return objects;
    objects.insert(OwnerID(), owner);
    const QList<QObject *> children = owner->findChildren<QObject *>();
    for (QObject *child : children) {
        const QString name = child->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || qobject_cast<TsiCustomLang *>(child))
            continue;
        if (!objects.contains(name)) // the first object of a name wins
            objects.insert(name, child);
    }
    return objects;
}

QList<QPair<QString, QString>> TsiCustomLang::CaptureTexts(TStringsType AType) const
{
    QList<QPair<QString, QString>> texts;
    QObject *owner = Owner();
    const QStringList props = capturedProperties(AType);
    if (!owner || props.isEmpty())
        return texts;
    QList<QPair<QString, QObject *>> objects{{OwnerID(), owner}};
    QSet<QString> seen{OwnerID()};
    for (QObject *child : owner->findChildren<QObject *>()) {
        const QString name = child->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || qobject_cast<TsiCustomLang *>(child)
            || seen.contains(name))
            continue;
        seen.insert(name);
        objects.append({name, child});
    }
    for (const auto &[name, obj] : objects) {
        for (const QString &prop : props) {
            const QString id = name + QLatin1Char('.') + prop;
            QString text;
            if (isUserData(obj, prop) || IsExcluded(id) || !readText(obj, AType, prop, text) || text.isEmpty())
                continue;
            texts.append({id, text});
        }
    }
    return texts;
}

void TsiCustomLang::UpdateStrCollections()
{
    if (!Owner())
        return;
    for (int t = 0; t < StringsTypeCount; ++t) {
        if (!isPropertyType(t) || !d->handled[t])
            continue;
        TsiStringsCollection &list = *d->lists[t];
        list.BeginUpdate();
        for (const auto &[id, text] : CaptureTexts(TStringsType(t))) {
            const int i = list.FindID(id);
            // After a language was applied the form shows that language, not
            // its design: only objects without a line still show design texts.
            if (i < 0)
                list.Add(siJoinLine({id, text}, d->delim));
            else if (!d->applied && ExtractTranslation(list.Get(i), d->delim, 1).isEmpty())
                list.SetTranslationByID(id, 1, text);
        }
        list.EndUpdate();
    }
    d->captured = true;
}

void TsiCustomLang::ensureCaptured()
{
    if (!d->captured && Owner())
        UpdateStrCollections();
}

void TsiCustomLang::ChangeLanguage()
{
    if (!Owner())
        return;
    ensureCaptured();
    const QHash<QString, QObject *> objects = namedObjects();
    const int lang = d->active;
    for (int t = 0; t < StringsTypeCount; ++t) {
        if (!isPropertyType(t) || !d->handled[t])
            continue;
        TsiStringsCollection &list = *d->lists[t];
        // Copy first: applying may run code that edits the collections.
        const QStringList lines = list.ToQStringList();
        for (const QString &line : lines) {
            const QString id = ExtractTranslation(line, d->delim, 0);
            if (id.isEmpty() || IsExcluded(id))
                continue;
            const QString text = IntExtractTranslation(line, d->delim, lang, t != stFonts);
            if (!text.isEmpty())
                applyLine(TStringsType(t), id, text, objects);
        }
    }
    d->applied = true;
    if (OnChangeLanguage)
        OnChangeLanguage(*this);
    emit languageApplied();
}

void TsiCustomLang::applyLine(TStringsType AType, const QString &AID, const QString &AText,
                              const QHash<QString, QObject *> &AObjects)
{
    const qsizetype dot = AID.indexOf(QLatin1Char('.'));
    if (dot <= 0)
        return;
    QObject *obj = AObjects.value(AID.left(dot));
    if (obj)
        writeText(obj, AType, AID.mid(dot + 1), AText);
}

void TsiCustomLang::ExcludeProperties()
{
    for (int t = 0; t < StringsTypeCount; ++t) {
        if (!isPropertyType(t) || !d->handled[t])
            continue;
        TsiStringsCollection &list = *d->lists[t];
        list.BeginUpdate();
        for (int i = list.Count() - 1; i >= 0; --i)
            if (IsExcluded(list.IDOfLine(i)))
                list.Delete(i);
        list.EndUpdate();
    }
}

void TsiCustomLang::Loaded()
{
    TComponent::Loaded();
    if (Owner())
        ChangeLanguage();
}

// --- Files and streams ---------------------------------------------------------

void TsiCustomLang::SaveAllToBinaryFile(const QString &AFileName)
{
    TSIBFileManager files;
    files.Add(this);
    files.SaveToFile(AFileName);
}

void TsiCustomLang::LoadAllFromBinaryFile(const QString &AFileName)
{
    TSIBFileManager files;
    files.LoadFromFile(AFileName, this, GetOwnerClassName());
}

namespace {
const TSIBEntry *pickEntry(const TSIBFileManager &files, const QString &owner)
{
    if (files.Count() == 0)
        return nullptr;
    const int i = files.IndexOfOwner(owner);
    return &files.Entry(i < 0 ? 0 : i);
}
} // namespace

void TsiCustomLang::LoadPropFromBinaryFile(TStringsType AType, const QString &AFileName)
{
    TSIBFileManager files;
    files.LoadFromFile(AFileName);
    TsiStringsCollection *list = GetPropListByType(AType);
    if (!list)
        return;
    list->Clear();
    if (const TSIBEntry *entry = pickEntry(files, GetOwnerClassName()))
        MergeLines(AType, entry->LangNames, entry->Lines[AType]);
}

void TsiCustomLang::MergeFromFile(TStringsType AType, const QString &AFileName)
{
    TSIBFileManager files;
    files.LoadFromFile(AFileName);
    if (const TSIBEntry *entry = pickEntry(files, GetOwnerClassName()); entry && GetPropListByType(AType))
        MergeLines(AType, entry->LangNames, entry->Lines[AType]);
}

void TsiCustomLang::MergeLines(TStringsType AType, const QStringList &ANames, const QList<QStringList> &ALines)
{
    TsiStringsCollection *list = GetPropListByType(AType);
    if (!list)
        return;
    // Language j of the source is language map[j] here.
    QList<int> map{0};
    for (const QString &name : ANames) {
        int found = -1;
        for (int i = 0; i < qMin(d->numLang, d->langNames.Count()); ++i)
            if (siCompareText(d->langNames.Get(i), name) == 0) {
                found = i + 1;
                break;
            }
        if (found < 0) {
            found = d->numLang + 1;
            if (d->langNames.Count() >= found)
                d->langNames.Put(found - 1, name);
            else
                d->langNames.Add(name);
            SetNumLang(found);
        }
        map.append(found);
    }
    list->BeginUpdate();
    for (const QStringList &fields : ALines) {
        if (fields.isEmpty())
            continue;
        const int i = list->FindID(fields.at(0));
        QStringList dest = i >= 0 ? siSplitLine(list->Get(i), d->delim) : QStringList{fields.at(0)};
        for (int j = 1; j < fields.size(); ++j) {
            if (fields.at(j).isEmpty())
                continue;
            const int to = j < map.size() ? map.at(j) : j; // unnamed languages keep their number
            while (dest.size() <= to)
                dest.append(QString());
            dest[to] = fields.at(j);
        }
        if (i >= 0)
            list->Put(i, siJoinLine(dest, d->delim));
        else
            list->Add(siJoinLine(dest, d->delim));
    }
    list->EndUpdate();
}

namespace {
const QString BlockMarker = QStringLiteral("siStringsBlock");

[[noreturn]] void invalidBlock()
{
    throw EReadError(QStringLiteral("Invalid stream data!"));
}

// A string of the block, read strictly: a count beyond the data is invalid.
QString readBlockString(TStream &stream, TStreamHelper &helper)
{
    const qint64 pos = stream.Position();
    if (stream.Size() - pos < 8)
        invalidBlock();
    const qint64 units = helper.ReadInt64();
    if (units < 0 || units > (stream.Size() - stream.Position()) / 2)
        invalidBlock();
    stream.SetPosition(pos);
    return helper.ReadString();
}

qint32 readBlockCount(TStream &stream, TStreamHelper &helper, int minItemSize)
{
    if (stream.Size() - stream.Position() < 4)
        invalidBlock();
    const qint32 n = helper.ReadInteger();
    if (n < 0 || qint64(n) * minItemSize > stream.Size() - stream.Position())
        invalidBlock();
    return n;
}
} // namespace

void TsiCustomLang::SaveToStream(TStringsType AType, TStream &AStream, const QString &ADelimiter)
{
    const TsiStringsCollection *list = GetPropListByType(AType);
    if (!list)
        return;
    const QString delimiter = ADelimiter.isEmpty() ? QString(d->delim) : ADelimiter;
    TStreamHelper helper(&AStream);
    helper.WriteString(BlockMarker);
    helper.WriteString(delimiter);
    const int n = qMin(d->numLang, d->langNames.Count());
    helper.WriteInteger(n);
    for (int i = 0; i < n; ++i)
        helper.WriteString(d->langNames.Get(i));
    helper.WriteInteger(list->Count());
    for (int i = 0; i < list->Count(); ++i)
        helper.WriteString(siSplitLine(list->Get(i), d->delim).join(delimiter));
}

void TsiCustomLang::MergeFromStream(TStringsType AType, TStream &AStream)
{
    TStreamHelper helper(&AStream);
    if (readBlockString(AStream, helper) != BlockMarker)
        invalidBlock();
    const QString delimiter = readBlockString(AStream, helper);
    if (delimiter.isEmpty())
        invalidBlock();
    QStringList names;
    for (qint32 i = readBlockCount(AStream, helper, 8); i > 0; --i)
        names.append(readBlockString(AStream, helper));
    QList<QStringList> lines;
    for (qint32 i = readBlockCount(AStream, helper, 8); i > 0; --i)
        lines.append(readBlockString(AStream, helper).split(delimiter));
    // Everything was read: only now does the collection change.
    MergeLines(AType, names, lines);
}

// --- TsiLang -------------------------------------------------------------------

TsiLang::TsiLang(QObject *AOwner) : TsiCustomLang(AOwner) {}

TsiLang::~TsiLang() = default;

} // namespace zor
