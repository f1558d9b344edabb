#include <ZorCompCore/richtext/actions/dmQEWPActions.h>

#include "ActionTable_p.h"

#include <ZorCompCore/localisation/ZORLang.h>
#include <ZorCompCore/richtext/engine/SuperMerge.h>
#include <ZorCompCore/richtext/actions/WPDialogWrappers.h>
#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>
#include <ZorCompCore/richtext/dialogs/WPReportBandsDialog.h>
#include <ZorCompCore/richtext/dialogs/WPSpellDialogs.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/localisation/runtime/EditorForms.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/ImageList.h>
#include <ZorCompCore/platform/KnownFolders.h>
#include <ZorCompCore/platform/MulDiv.h>
#include <ZorCompCore/richtext/QEWPHTMLPageSetupDlg.h>
#include <ZorCompCore/richtext/QEWPPrvFrm.h>
#include <ZorCompCore/richtext/WPCustomDialog.h>
#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/actions/ActionList.h>
#include <ZorCompCore/richtext/actions/WPComboActions.h>
#include <ZorCompCore/richtext/actions/WPEngineActions.h>
#include <ZorCompCore/richtext/actions/WPLanguageControl.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/PicturePlacement.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/richtext/frmRTFPDFOptions.h>
#include <ZorCompCore/richtext/spell/SpellAsYouGo.h>
#include <ZorCompCore/richtext/spell/SpellCheckRun.h>
#include <ZorCompCore/richtext/spell/SpellController.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QImageReader>
#include <QInputDialog>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPainter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScreen>
#include <QSvgRenderer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextTable>

namespace zor {

Q_LOGGING_CATEGORY(ZOR_WPACTIONS, "zor.richtext.actions")

namespace {

const QString IconFolder = QStringLiteral(":/zor/wpicons/");
constexpr int IconSize = 16;
constexpr const char *TagProperty = "Tag";
constexpr const char *SpellAsYouGoName = "zorSpellAsYouGo";

const QStringList SpellNeighbourKeys = {
    QStringLiteral("a:edä"), QStringLiteral("b:pvn"), QStringLiteral("c:sxv"), QStringLiteral("d:sf"),
    QStringLiteral("e:aiä"), QStringLiteral("f:dg"),  QStringLiteral("g:jfh"), QStringLiteral("h:gj"),
    QStringLiteral("i:euo"), QStringLiteral("j:hk"),  QStringLiteral("k:cjl"), QStringLiteral("l:mn"),
    QStringLiteral("m:n"),   QStringLiteral("n:mb"),  QStringLiteral("o:ipö"), QStringLiteral("p:bo"),
    QStringLiteral("q:ckw"), QStringLiteral("r:et"),  QStringLiteral("s:cadß"), QStringLiteral("t:rpy"),
    QStringLiteral("u:yiü"), QStringLiteral("v:bc"),  QStringLiteral("w:uqe"), QStringLiteral("x:kz"),
    QStringLiteral("y:tu"),  QStringLiteral("z:xs"),
};

// Draws an icon of the resources at a size; a null image when it is missing.
QImage renderIcon(const QString &name, int size)
{
    QSvgRenderer svg(IconFolder + name + QStringLiteral(".svg"));
    if (!svg.isValid())
        return {};
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    svg.render(&p, QRectF(0, 0, size, size));
    return img;
}

// The picture the cursor selects: exactly one object character of an image.
bool selectedPicture(const QTextCursor &c, QTextCursor *object)
{
    if (c.selectionEnd() - c.selectionStart() != 1)
        return false;
    QTextCursor o(c.document());
    o.setPosition(c.selectionStart());
    o.setPosition(c.selectionEnd(), QTextCursor::KeepAnchor);
    if (!o.charFormat().isImageFormat() || o.selectedText() != QString(QChar::ObjectReplacementCharacter))
        return false;
    *object = o;
    return true;
}

} // namespace

struct TdmQEWPActions::Private
{
    TWPActionList *Actions = nullptr;
    TImageList *Icons = nullptr;
    TZORLang *Lang = nullptr;
    TWPSpellController *Spell = nullptr;
    TWPLanguageControl *LanguageControl = nullptr;
    TWPPreviewDlg *Preview = nullptr;
    std::unique_ptr<TQEWPHTMLPageSetupDlg> HTMLPageSetup;
    QHash<QString, QPointer<TWPCustomDialog>> Dialogs;
    QHash<QAction *, const TWPActionDef *> Defs;
    QList<TWPToolsAction *> EngineActions;
    std::vector<TWPStyle> Styles{{QStringLiteral("Default"), QStringLiteral("Size=11"), {}, false}};
};

TdmQEWPActions::TdmQEWPActions(QObject *AOwner) : TComponent(AOwner), d(std::make_unique<Private>())
{
    setObjectName(QStringLiteral("dmQEWPActions"));
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        ScreenPixelsPerInch = qRound(screen->logicalDotsPerInchX());

    d->Icons = new TImageList(this);
    d->Icons->setObjectName(QStringLiteral("StdIcons"));
    d->Icons->SetSize(IconSize, IconSize);
    d->Actions = new TWPActionList(this);
    d->Actions->setObjectName(QStringLiteral("StdActions"));
    d->Actions->SetImages(d->Icons);

    d->Spell = new TWPSpellController(this);
    d->Spell->setObjectName(QStringLiteral("WPSpellController1"));
    d->Spell->SetRegistryKey(QStringLiteral("Software\\Quenlor\\WPSpell"));
    d->Spell->SetCurrentLanguage(wpLangGerman);
    d->Spell->SetNeighbourKeys(SpellNeighbourKeys);

    d->LanguageControl = new TWPLanguageControl(this);
    d->LanguageControl->setObjectName(QStringLiteral("FLanguageControl"));

    d->Preview = new TWPPreviewDlg(this);
    d->Preview->setObjectName(QStringLiteral("WPPreviewDlg1"));
    d->Preview->SetModal(true);
    d->Preview->SetWidth(800);
    d->Preview->SetHeight(600);

    BuildActions();

    // Only the module's own actions are translated here; the engine's come
    // with its language (LoadLanguage).
    d->Lang = new TZORLang(this);
    d->Lang->setObjectName(QStringLiteral("siLang"));
    d->Lang->SetHandlesType(stHints, false);
    static const QStringList translatedEngineActions = {
        QStringLiteral("WPADeleteText1"), QStringLiteral("WPAFontSize"),     QStringLiteral("WPAHTMLFontSize"),
        QStringLiteral("WPAPrinterFonts"), QStringLiteral("WPAScreenFonts"), QStringLiteral("WPATrueTypeFonts"),
        QStringLiteral("WPABkColor"),      QStringLiteral("WPAParColor"),    QStringLiteral("WPAFontColor")};
    for (const TWPActionDef &def : WPActionTable()) {
        const QString name = QString::fromLatin1(def.Name);
        const bool engine = def.ClassName != nullptr;
        if ((engine && !translatedEngineActions.contains(name)) || (name.startsWith(u"XA_Col_") && name != u"XA_Col_Off"))
            d->Lang->ExcludedProperties().Add(name + QStringLiteral(".text"));
    }
    siLoadFormTexts(d->Lang, QStringLiteral("dmQEWPActions"));
    d->Lang->SetLanguage(QStringLiteral("German"));

    for (const char *name : {"XA_InsColumnBreak", "XA_Col_Off", "XA_InsertTextBox"})
        if (QAction *a = Action(QString::fromLatin1(name)))
            a->setVisible(false);

    LoadDefaultDictionaries();
    d->Spell->SetActive(true);
    UpdateActions();
}

TdmQEWPActions::~TdmQEWPActions()
{

    // Actions last to first, before the dialogs they may refer to.
    const QList<QAction *> actions = d->Actions->Actions();
    for (auto it = actions.rbegin(); it != actions.rend(); ++it)
        delete *it;
}

void TdmQEWPActions::BuildActions()
{
    QHash<QString, int> iconIndex;
    d->Icons->BeginUpdate();
    for (const QString &name : WPActionIconNames()) {
        const QImage img = renderIcon(name, IconSize);
        if (!img.isNull())
            iconIndex.insert(name, d->Icons->Add(img));
    }
    d->Icons->EndUpdate();

    const TWPEditorProvider provider = [this]() -> TWPRichText * {
        if (!OnGetWPRichText)
            return nullptr;
        return GetTheWPRichText();
    };

    for (const TWPActionDef &def : WPActionTable()) {
        QAction *a = nullptr;
        if (def.Combo >= 0) {
            a = new TWPToolsCustomEditContolAction(TWPComboKind(def.Combo), this);
        } else if (def.ClassName) {
            a = CreateWPToolsAction(QString::fromLatin1(def.ClassName), this);
            Q_ASSERT(a);
            if (auto *tools = qobject_cast<TWPToolsAction *>(a))
                tools->DialogSource = [this](const QString &className) { return Dialog(className); };
        } else {
            a = new QAction(this);
            a->setCheckable(def.Checkable);
            connect(a, &QAction::triggered, this, [this, a] { RunHandler(a); });
        }
        a->setObjectName(QString::fromLatin1(def.Name));
        a->setText(QString::fromUtf8(def.German));
        a->setProperty(TagProperty, def.Tag);
        if (def.Key != QKeySequence::UnknownKey) {
            a->setShortcut(QKeySequence(def.Key));
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        }
        if (def.Icon) {
            const QString icon = QString::fromLatin1(def.Icon);
            a->setProperty("ImageIndex", iconIndex.value(icon, -1));
            QIcon qicon;
            for (int size : {IconSize, IconSize * 2}) {
                const QImage img = renderIcon(icon, size);
                if (!img.isNull())
                    qicon.addPixmap(QPixmap::fromImage(img));
            }
            a->setIcon(qicon);
        }
        if (auto *engine = qobject_cast<TWPToolsAction *>(a)) {
            engine->SetEditorProvider(provider);
            if (engine->ClassName() == u"TWPAInsertNumber")
                engine->setData(def.Tag);
            d->EngineActions.append(engine);
        }
        d->Defs.insert(a, &def);
        d->Actions->Add(a, QString::fromLatin1(def.Category));
    }

    // The engine's spell actions go through the module's controller.
    const auto spell = [this](const char *name, int command) {
        if (auto *a = qobject_cast<TWPToolsAction *>(Action(QString::fromLatin1(name))))
            a->OnExecute = [this, a, command](TWPRichText &e) {
                SpellCommand(e, command == 2 && !a->isChecked() ? 3 : command);
            };
    };
    spell("WPASpellcheck1", 0);
    spell("WPAStartThesaurus1", 1);
    spell("WPASpellAsYouGo1", 2);
}

TWPActionList *TdmQEWPActions::StdActions() const { return d->Actions; }
TImageList *TdmQEWPActions::StdIcons() const { return d->Icons; }
TZORLang *TdmQEWPActions::siLang() const { return d->Lang; }
TWPSpellController *TdmQEWPActions::WPSpellController1() const { return d->Spell; }
TWPLanguageControl *TdmQEWPActions::LanguageControl() const { return d->LanguageControl; }
TWPPreviewDlg *TdmQEWPActions::WPPreviewDlg1() const { return d->Preview; }

TWPCustomDialog *TdmQEWPActions::Dialog(const QString &className)
{
    QPointer<TWPCustomDialog> &dlg = d->Dialogs[className.toLower()];
    if (!dlg) {
        dlg = TWPCustomDialog::Create(className, this);
        // The engine localises its own forms: the module's dialogs show the
        // texts of the language loaded last (LoadLanguage).
        if (auto *form = qobject_cast<TWPFormDialog *>(dlg.data())) {
            QPointer<TWPLanguageControl> language = d->LanguageControl;
            form->OnShow = [language](QDialog &f) {
                if (language)
                    language->ApplyToForm(&f);
            };
        }
    }
    return dlg;
}

const std::vector<TWPStyle> &TdmQEWPActions::StyleCollection() const { return d->Styles; }

void TdmQEWPActions::UpdateStyleCollection(TWPRichText *Editor)
{
    if (!Editor)
        return;
    for (const TWPStyle &style : Editor->Document().Styles()) {
        auto it = std::find_if(d->Styles.begin(), d->Styles.end(), [&](const TWPStyle &s) {
            return s.Name.compare(style.Name, Qt::CaseInsensitive) == 0;
        });
        if (it != d->Styles.end())
            *it = style;
        else
            d->Styles.push_back(style);
    }
}

QAction *TdmQEWPActions::Action(const QString &name) const { return d->Actions->ActionByName(name); }

int TdmQEWPActions::Tag(const QAction *action) { return action ? action->property(TagProperty).toInt() : 0; }

TWPRichText *TdmQEWPActions::GetTheWPRichText()
{
    if (!OnGetWPRichText)
        throw Exception(QStringLiteral("Please assign event TWPDefAct.OnGetWPRichText"));
    TWPRichText *editor = nullptr;
    OnGetWPRichText(this, editor);
    return editor;
}

namespace {
// The first ancestor of the editor that answers IQERichTextOwner.
IPtr<IQERichTextOwner> ownerOf(TWPRichText *editor)
{
    for (QObject *o = editor ? editor->parent() : nullptr; o; o = o->parent())
        if (IPtr<IQERichTextOwner> owner = QueryObjectIntf<IQERichTextOwner>(o))
            return owner;
    return {};
}
} // namespace

QObject *TdmQEWPActions::GetSuperMerge()
{
    const IPtr<IQERichTextOwner> owner = ownerOf(GetTheWPRichText());
    return owner ? owner->GetSuperMerge() : nullptr;
}

void TdmQEWPActions::RunHandler(QAction *action)
{
    const TWPActionDef *def = d->Defs.value(action);
    if (!def || !def->Handler)
        return;
    // The handlers decide checked states themselves: undo the trigger's toggle.
    if (action->isCheckable())
        action->setChecked(!action->isChecked());
    try {
        (this->*def->Handler)(action);
    } catch (const Exception &e) {
        ShowError(e.Message());
    }
    UpdateActions();
}

void TdmQEWPActions::ShowError(const QString &message)
{
    if (OnShowError)
        OnShowError(message);
    else if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        QMessageBox::critical(nullptr, QString(), message);
    else
        qCWarning(ZOR_WPACTIONS) << message;
}

void TdmQEWPActions::UpdateActions()
{
    TWPRichText *e = nullptr;
    if (OnGetWPRichText)
        OnGetWPRichText(this, e);
    for (TWPToolsAction *a : std::as_const(d->EngineActions))
        a->UpdateFor(e);
    for (auto it = d->Defs.cbegin(); it != d->Defs.cend(); ++it) {
        QAction *a = it.key();
        const TWPActionDef &def = *it.value();
        if (def.ClassName || def.Combo >= 0)
            continue;
        bool enabled = e && !def.Disabled && (!def.Dialog || TWPCustomDialog::IsRegistered(QString::fromLatin1(def.Dialog)));
        if (def.Handler == &TdmQEWPActions::XA_GraphicOptExecute) {
            XA_GraphicOptUpdate(a);
            continue;
        } else if (def.Handler == &TdmQEWPActions::XA_SpellThesaurusExecute)
            enabled = enabled && d->Spell->HasThesaurus();
        else if (def.Handler == &TdmQEWPActions::XA_ConfigSpellcheckerExecute)
            enabled = TWPCustomDialog::IsRegistered(QStringLiteral("TWPSpellOptionsDlg"));
        else if (def.Handler == &TdmQEWPActions::XA_SelectTableExecute || def.Handler == &TdmQEWPActions::XA_SplitTableExecute)
            enabled = enabled && e->TextCursor().currentTable();
        else if (def.Handler == &TdmQEWPActions::XA_SaveToStringExecute || def.Handler == &TdmQEWPActions::XA_ExportFileExecute)
            enabled = enabled && ownerOf(e);
        a->setEnabled(enabled);
        if (!a->isCheckable() || !e)
            continue;
        if (def.Handler == &TdmQEWPActions::XA_ViewExecute)
            a->setChecked(e->ZoomMode() == def.Tag);
        else if (def.Handler == &TdmQEWPActions::XY_ShowSpecialCharsExecute)
            a->setChecked(e->ViewOptions() & unsigned(wpShowCR));
        else if (def.Handler == &TdmQEWPActions::XA_FieldsMarkersExecute)
            a->setChecked(!InsertPointsHidden(*e));
    }
}

void TdmQEWPActions::MDIActionsUpdate(QAction *Action, bool &Handled)
{
    if (!Action)
        return;
    const QString name = Action->objectName();
    if (name == u"XA_Load" || name == u"XA_New")
        return;
    TWPRichText *e = nullptr;
    if (OnGetWPRichText)
        OnGetWPRichText(this, e);
    if (e) {
        Action->setEnabled(true);
    } else {
        Action->setEnabled(false);
        Handled = true;
    }
}

// --- language ------------------------------------------------------------------------------

QString TdmQEWPActions::LanguageCode(const QString &Name)
{
    static const std::pair<const char *, const char *> names[] = {
        {"German", "DE"}, {"English", "EN"}, {"Francais", "FR"}, {"Italian", "IT"}};
    for (const auto &[name, code] : names)
        if (Name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(code);
    return QStringLiteral("EN");
}

void TdmQEWPActions::LoadLanguage(const QString &Name)
{
    const QString code = LanguageCode(Name);
    if (WPGlobalLanguage() != code) {
        const QByteArray xml = WPLanguageResource(QStringLiteral("WPTools_%1_XML").arg(code));
        if (!xml.isEmpty() && d->LanguageControl->LoadFromXml(xml)) {
            const QByteArray added = WPLanguageResource(QStringLiteral("WPTools_%1_ADDED_XML").arg(code));
            if (!added.isEmpty())
                d->LanguageControl->LoadFromXml(added, true);
            SetWPGlobalLanguage(code);
            QList<QAction *> engine;
            for (TWPToolsAction *a : std::as_const(d->EngineActions)) {
                engine.append(a);
                if (auto *combo = qobject_cast<TWPToolsCustomEditContolAction *>(a)) {
                    combo->AutomaticText = d->LanguageControl->GetString(111, QStringLiteral("(Automatic)"));
                    combo->AlignmentNames = d->LanguageControl->GetString(112, QStringLiteral("Left,Center,Right,Justified"));
                    combo->FillItems();
                }
            }
            d->LanguageControl->ApplyToActions(engine);
        }
    }
    d->Lang->SetLanguage(Name);
}

// --- PDF and preview ------------------------------------------------------------------------

bool TdmQEWPActions::ExportToPDF(TWPRichText *RichText, const QString &FileName, int LeftMargin,
                                 int TopMargin, int RightMargin, int BottomMargin,
                                 TPDFPageOrientation Orientation, TPDFPageSize PageSize, const QString &Title,
                                 const QString &Author, const QString &Subject, const QString &Keywords,
                                 bool ShowDialog)
{
    if (!RichText)
        return false;
    RichText->ReformatAll();
    TWPPdfOptions options;
    options.Title = Title;
    options.Author = Author;
    options.Subject = Subject;
    options.Keywords = Keywords;
    if (ShowDialog) {
        TfrmRTFPDFOptions dlg(RichText);
        dlg.SetLeftMargin(LeftMargin);
        dlg.SetTopMargin(TopMargin);
        dlg.SetRightMargin(RightMargin);
        dlg.SetBottomMargin(BottomMargin);
        dlg.SetPageSize(PageSize);
        dlg.SetPageOrientation(Orientation);
        dlg.SetTitle(Title);
        dlg.SetAuthor(Author);
        dlg.SetSubject(Subject);
        dlg.SetKeywords(Keywords);
        if (dlg.exec() != QDialog::Accepted)
            return false;
        LeftMargin = dlg.LeftMargin();
        TopMargin = dlg.TopMargin();
        RightMargin = dlg.RightMargin();
        BottomMargin = dlg.BottomMargin();
        PageSize = dlg.PageSize();
        Orientation = dlg.PageOrientation();
        options.Title = dlg.Title();
        options.Author = dlg.Author();
        options.Subject = dlg.Subject();
        options.Keywords = dlg.Keywords();
    }
    const int ppi = ScreenPixelsPerInch;
    const auto px = [ppi](int mm) { return MulDiv(mm, ppi * 5, 127); };
    const TWPPageSetup page = PDFPageSetup(PageSize, Orientation, LeftMargin, TopMargin, RightMargin, BottomMargin);
    const int width = MulDiv(page.PageWidth, ppi, 1440);
    const int height = MulDiv(page.PageHeight, ppi, 1440);
    if (width - px(LeftMargin) - px(RightMargin) < 50) {
        ShowError(QStringLiteral("Horizontal margins are too large"));
        return false;
    }
    if (height - px(TopMargin) - px(BottomMargin) < 50) {
        ShowError(QStringLiteral("Vertical margins are too large"));
        return false;
    }
    options.Page = page;
    const QByteArray pdf = TWPPagePainter::WritePdf(RichText->Document(), options);
    if (pdf.isEmpty())
        return false;
    QSaveFile file(FileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size())
        return false;
    return file.commit();
}

void TdmQEWPActions::PrintPreview(TWPRichText *RichText)
{
    if (!RichText)
        return;
    d->Preview->SetEditBox(&RichText->Edit());
    d->Preview->Execute();
}

// --- spelling ----------------------------------------------------------------------------------

void TdmQEWPActions::LoadDefaultDictionaries()
{
    const QString source = QCoreApplication::applicationDirPath() + QStringLiteral("/custom/dictionaries/");
    const QString target = RoamingAppDataPath() + QStringLiteral("/Quenlor/LocalSettings/WPSpell/");
    QDir().mkpath(target);
    d->Spell->SetInitialDir(target);
    const QFileInfoList files = QDir(source).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &fi : files) {
        if (fi.suffix().compare(u"DCT", Qt::CaseInsensitive) != 0)
            continue;
        const QString copy = target + fi.fileName();
        if (!QFileInfo::exists(copy))
            QFile::copy(fi.absoluteFilePath(), copy); // a failed copy is still looked for below
        if (GetDCTIndexByFileName(fi.fileName()) == -1)
            d->Spell->AddDictionary(copy);
    }
}

int TdmQEWPActions::GetDCTIndexByFileName(const QString &FileName) const
{
    return d->Spell->GetDCTIndexByFileName(FileName);
}

void TdmQEWPActions::SpellCommand(TWPRichText &Editor, int Command)
{
    QTextDocument *text = Editor.Document().Text();
    // The module's and the engine's spell-as-you-go actions show one state.
    const auto syncAsYouGo = [this](bool on) {
        for (const char *name : {"XA_SpellAsYouGo", "WPASpellAsYouGo1"})
            if (QAction *a = Action(QString::fromLatin1(name)))
                a->setChecked(on);
    };
    switch (Command) {
    case wpscCheck: {
        // The check dialog; without one the next misspelt word is selected.
        if (auto *dlg = qobject_cast<TWPSpellCheckDlg *>(Dialog(QStringLiteral("TWPSpellCheckDlg")))) {
            dlg->SetController(d->Spell);
            dlg->SetEditBox(&Editor);
            dlg->Execute();
            return;
        }
        TWPSpellCheckRun run(*d->Spell, *text, Editor.TextCursor().selectionEnd());
        if (run.Next()) {
            QTextCursor c(text);
            c.setPosition(run.Current().Start);
            c.setPosition(run.Current().Start + run.Current().Length, QTextCursor::KeepAnchor);
            Editor.SetTextCursor(c);
        }
        return;
    }
    case wpscThesaurus: {
        QTextCursor c = Editor.TextCursor();
        if (!c.hasSelection())
            c.select(QTextCursor::WordUnderCursor);
        const QString word = c.selectedText().trimmed();
        if (word.isEmpty())
            return;
        QStringList items;
        for (const TWPThesaurusMeaning &m : d->Spell->Thesaurus(word))
            for (const QString &s : m.Synonyms)
                if (!items.contains(s))
                    items.append(s);
        QString choice;
        const QString caption = d->LanguageControl->GetString(113, QStringLiteral("Thesaurus"));
        const bool ok = OnChooseItem ? OnChooseItem(caption, items, choice)
                                     : [&] {
                                           bool accepted = false;
                                           choice = QInputDialog::getItem(&Editor, caption, word, items, 0, false, &accepted);
                                           return accepted;
                                       }();
        if (!ok || choice.isEmpty() || items.isEmpty() || !TWPToolsAction::MayEdit(Editor, c))
            return;
        c.beginEditBlock();
        c.insertText(choice);
        c.endEditBlock();
        Editor.SetTextCursor(c);
        return;
    }
    case wpscStartAsYouGo: {
        syncAsYouGo(true);
        auto *marker = Editor.findChild<TWPSpellAsYouGo *>(QString::fromLatin1(SpellAsYouGoName));
        if (!marker) {
            marker = new TWPSpellAsYouGo(d->Spell, &Editor);
            marker->setObjectName(QString::fromLatin1(SpellAsYouGoName));
        }
        // The editor keeps it on the text it shows, loads included.
        Editor.SetSpellAsYouGo(marker);
        return;
    }
    case wpscStopAsYouGo:
        syncAsYouGo(false);
        Editor.SetSpellAsYouGo(nullptr);
        delete Editor.findChild<TWPSpellAsYouGo *>(QString::fromLatin1(SpellAsYouGoName));
        return;
    case wpscConfigure:
        if (auto *dlg = qobject_cast<TWPSpellOptionsDlg *>(Dialog(QStringLiteral("TWPSpellOptionsDlg")))) {
            dlg->SetController(d->Spell);
            dlg->SetEditBox(&Editor);
            if (dlg->Execute() && Editor.SpellAsYouGo())
                Editor.SpellAsYouGo()->Recheck();
        }
        return;
    default:
        return;
    }
}

// --- graphic options ---------------------------------------------------------------------

void TdmQEWPActions::ApplyGraphicOptionsByNum(int N)
{
    TWPRichText *e = GetTheWPRichText();
    QTextCursor object;
    if (!e || N < 1 || N > 7 || !selectedPicture(e->TextCursor(), &object))
        return;
    if (!TWPToolsAction::MayEdit(*e, object))
        return;
    QTextCharFormat f = object.charFormat();
    const auto place = [&f](TWPObjPositionMode position, int wrap) {
        f.setProperty(wpObjPositionMode, int(position));
        if (wrap >= 0)
            f.setProperty(wpObjWrapMode, wrap);
    };
    switch (N) {
    case 1: place(wpotChar, -1); break;
    case 2: place(wpotPar, wpwrAutomatic); break;
    case 3: place(wpotPar, wpwrBoth); break;
    case 4: place(wpotPage, wpwrNone); break;
    case 5: place(wpotPage, wpwrBoth); break;
    case 6: f.setProperty(wpObjUnderText, !f.boolProperty(wpObjUnderText)); break;
    case 7: place(wpotPar, wpwrNone); break;
    }
    // The new format and the layout that follows it are one undo step.
    object.beginEditBlock();
    object.setCharFormat(f);
    const int at = PlacePicture(object.document(), object.selectionStart());
    object.endEditBlock();
    if (N == 6)
        e->ReformatAll();
    QTextCursor picture(object.document());
    picture.setPosition(at);
    picture.setPosition(at + 1, QTextCursor::KeepAnchor);
    e->SetTextCursor(picture);
}

void TdmQEWPActions::XA_GraphicOptExecute(QObject *Sender)
{
    ApplyGraphicOptionsByNum(Tag(qobject_cast<QAction *>(Sender)));
}

void TdmQEWPActions::XA_GraphicOptUpdate(QAction *Action)
{
    TWPRichText *e = nullptr;
    if (OnGetWPRichText)
        OnGetWPRichText(this, e);
    QTextCursor object;
    const bool selected = e && selectedPicture(e->TextCursor(), &object);
    const QTextCharFormat f = selected ? object.charFormat() : QTextCharFormat();
    const int position = f.intProperty(wpObjPositionMode);
    const int wrap = f.intProperty(wpObjWrapMode);
    const bool relative = position == wpotPar || position == wpotPage;
    bool checked = false;
    switch (Tag(Action)) {
    case 1: checked = !relative; break;
    case 2: checked = position == wpotPar && wrap == wpwrAutomatic; break;
    case 3: checked = position == wpotPar && wrap == wpwrBoth; break;
    case 4: checked = position == wpotPage && wrap == wpwrNone; break;
    case 5: checked = position == wpotPage && wrap == wpwrBoth; break;
    case 6: checked = f.boolProperty(wpObjUnderText); break;
    case 7: checked = position == wpotPar && wrap == wpwrNone; break;
    }
    Action->setEnabled(selected && (Tag(Action) != 6 || relative));
    Action->setChecked(selected && checked);
}

// --- the module's handlers -------------------------------------------------------------------

void TdmQEWPActions::DoOnBeforeInsertField(QObject *, TWPRichText *Editor, const QString &FieldName,
                                           QObject *, bool &Handled)
{
    const int eq = FieldName.indexOf(u'=');
    const QString name = eq < 0 ? FieldName : FieldName.mid(eq + 1);
    if (Editor)
        Editor->InputString(QStringLiteral("<<") + name + QStringLiteral(">>"));
    Handled = true;
}

bool TdmQEWPActions::InputQuery(int captionId, int promptId, const QString &defaultCaption,
                                const QString &defaultPrompt, QString &value)
{
    const QString caption = d->LanguageControl->GetString(captionId, defaultCaption);
    const QString prompt = d->LanguageControl->GetString(promptId, defaultPrompt);
    if (OnInputQuery)
        return OnInputQuery(caption, prompt, value);
    bool ok = false;
    const QString text = QInputDialog::getText(nullptr, caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok)
        value = text;
    return ok;
}

void TdmQEWPActions::ExecuteDialog(const QString &className, bool modal)
{
    TWPRichText *e = GetTheWPRichText();
    if (!e)
        return;
    if (TWPCustomDialog *dlg = Dialog(className)) {
        dlg->SetEditBox(e);
        dlg->setProperty("Modal", modal);
        dlg->Execute();
    }
}

void TdmQEWPActions::XA_NewExecute(QObject *)
{
    TWPRichText *e = GetTheWPRichText();
    if (!e || e->ReadOnly())
        return;
    e->Clear();
    SetWPEditorFileName(*e, {});
}

void TdmQEWPActions::XA_LoadExecute(QObject *)
{
    if (TWPRichText *e = GetTheWPRichText())
        WPOpenDialog(*e);
}

void TdmQEWPActions::XA_SaveExecute(QObject *)
{
    if (TWPRichText *e = GetTheWPRichText())
        WPSaveDialog(*e, false);
}

void TdmQEWPActions::XA_SaveAsExecute(QObject *)
{
    if (TWPRichText *e = GetTheWPRichText())
        WPSaveDialog(*e, true);
}

void TdmQEWPActions::XA_SaveToStringExecute(QObject *Sender)
{
    TWPRichText *e = GetTheWPRichText();
    if (const IPtr<IQERichTextOwner> owner = ownerOf(e))
        owner->SaveToString(Sender, e);
}

void TdmQEWPActions::XA_ExportFileExecute(QObject *Sender)
{
    TWPRichText *e = GetTheWPRichText();
    if (const IPtr<IQERichTextOwner> owner = ownerOf(e))
        owner->ExportTo(Sender, e);
}

void TdmQEWPActions::XA_DocPropExecute(QObject *) { ExecuteDialog(QStringLiteral("TWPDocPropDlg")); }

void TdmQEWPActions::XA_PrintExecute(QObject *)
{
    if (TWPRichText *e = GetTheWPRichText())
        WPPrintEditor(*e, false);
}

void TdmQEWPActions::XA_PrintDialogExecute(QObject *)
{
    if (TWPRichText *e = GetTheWPRichText())
        WPPrintEditor(*e, true);
}

void TdmQEWPActions::XA_DiaPreviewExecute(QObject *) { PrintPreview(GetTheWPRichText()); }

void TdmQEWPActions::XA_DiaPageSetupExecute(QObject *) { ExecuteDialog(QStringLiteral("TWPPagePropDlg")); }

void TdmQEWPActions::XA_HTMLPageSetupExecute(QObject *)
{
    TWPRichText *e = GetTheWPRichText();
    if (!e)
        return;
    if (!d->HTMLPageSetup)
        d->HTMLPageSetup = std::make_unique<TQEWPHTMLPageSetupDlg>();
    d->HTMLPageSetup->SetEditBox(&e->Edit());
    if (d->HTMLPageSetup->Execute())
        e->viewport()->update();
}

void TdmQEWPActions::XA_DelParFormatExecute(QObject *)
{
    TWPRichText *e = GetTheWPRichText();
    if (!e)
        return;
    QTextCursor c = e->TextCursor();
    if (!TWPToolsAction::MayEdit(*e, c))
        return;
    c.beginEditBlock();
    for (QTextBlock b = e->Document().Text()->findBlock(c.selectionStart()); b.isValid(); b = b.next()) {
        // What places the paragraph in the document stays: its section, its page break.
        const QTextBlockFormat old = b.blockFormat();
        QTextBlockFormat bf;
        for (int keep : {int(wpSectionIndex), int(wpPageBreakBefore), int(QTextFormat::PageBreakPolicy)})
            if (old.hasProperty(keep))
                bf.setProperty(keep, old.property(keep));
        QTextCursor bc(b);
        bc.setBlockFormat(bf);
        if (b.contains(c.selectionEnd()))
            break;
    }
    c.endEditBlock();
    e->SetModified(true);
    e->SetTextCursor(c);
}

void TdmQEWPActions::XA_DelCharFormatExecute(QObject *)
{
    TWPRichText *e = GetTheWPRichText();
    if (!e)
        return;
    QTextCursor c = e->TextCursor();
    if (!TWPToolsAction::MayEdit(*e, c))
        return;
    // The editor's default attribute: its document's default font.
    QTextCharFormat f;
    f.setFont(e->Document().Text()->defaultFont());
    c.beginEditBlock();
    c.setCharFormat(f);
    c.endEditBlock();
    e->SetModified(true);
    e->SetTextCursor(c);
}

void TdmQEWPActions::XA_SelectTableExecute(QObject *)
{
    TWPRichText *e = GetTheWPRichText();
    if (!e)
        return;
    QTextTable *t = e->TextCursor().currentTable();
    if (!t)
        return;
    QTextCursor c = t->cellAt(0, 0).firstCursorPosition();
    c.setPosition(t->cellAt(t->rows() - 1, t->columns() - 1).lastCursorPosition().position(), QTextCursor::KeepAnchor);
    e->SetTextCursor(c);
}

void TdmQEWPActions::XA_ViewExecute(QObject *Sender)
{
    if (TWPRichText *e = GetTheWPRichText())
        e->SetZoomMode(Tag(qobject_cast<QAction *>(Sender)));
}

void TdmQEWPActions::XA_ManageHeaderFooterExecute(QObject *)
{
    ExecuteDialog(QStringLiteral("TWPManageHeaderFooter"), false);
}

namespace {
// A new paragraph at the caret that starts a new page.
bool insertPageBreak(TWPRichText &e, QTextCursor &c)
{
    if (!TWPToolsAction::MayEdit(e, c))
        return false;
    QTextBlockFormat bf = c.blockFormat();
    bf.clearProperty(wpSectionIndex);
    bf.setProperty(wpPageBreakBefore, true);
    bf.setPageBreakPolicy(bf.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
    c.removeSelectedText();
    c.insertBlock(bf);
    return true;
}
} // namespace

void TdmQEWPActions::XA_InsPageBreakExecute(QObject *)
{
    TWPRichText *e = GetTheWPRichText();
    if (!e)
        return;
    QTextCursor c = e->TextCursor();
    c.beginEditBlock();
    const bool ok = insertPageBreak(*e, c);
    c.endEditBlock();
    if (ok)
        e->SetTextCursor(c);
}

void TdmQEWPActions::XA_InsSectionBreakExecute(QObject *)
{
    TWPRichText *e = GetTheWPRichText();
    if (!e)
        return;
    QTextCursor c = e->TextCursor();
    c.beginEditBlock();
    const bool ok = insertPageBreak(*e, c);
    if (ok)
        e->Document().AddSection(c);
    c.endEditBlock();
    if (ok)
        e->SetTextCursor(c);
}

void TdmQEWPActions::XA_InsGraphicExecute(QObject *)
{
    TWPRichText *e = GetTheWPRichText();
    if (!e)
        return;
    const QString name = QFileDialog::getOpenFileName(
        e, QString(), QString(), QStringLiteral("Pictures (*.png *.jpg *.jpeg *.emf *.wmf);;All files (*)"));
    QFile file(name);
    if (name.isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    QByteArray kind = QImageReader::imageFormat(name);
    if (kind.isEmpty())
        kind = QFileInfo(name).suffix().toLower().toLatin1();
    const QString picture = e->Document().AddPicture(file.readAll(), QString::fromLatin1(kind));
    QTextCursor c = e->TextCursor();
    if (picture.isEmpty() || !TWPToolsAction::MayEdit(*e, c))
        return;
    c.beginEditBlock();
    c.removeSelectedText();
    e->Document().InsertPicture(c, picture);
    c.endEditBlock();
    e->SetTextCursor(c);
}

void TdmQEWPActions::XA_InsSymbolExecute(QObject *) { ExecuteDialog(QStringLiteral("TWPSymbolDlgEx")); }

void TdmQEWPActions::XA_FInsExecute(QObject *Sender)
{
    static const TWPFieldKind kinds[] = {TWPFieldKind::Page, TWPFieldKind::NextPage, TWPFieldKind::PriorPage,
                                         TWPFieldKind::NumPages, TWPFieldKind::Date, TWPFieldKind::Time};
    const int tag = Tag(qobject_cast<QAction *>(Sender));
    TWPRichText *e = GetTheWPRichText();
    if (e && tag >= 0 && tag < int(std::size(kinds)))
        WPInsertField(*e, kinds[tag]);
}

void TdmQEWPActions::InsertFieldByQuery(int captionId, const QString &caption, const QString &defaultName,
                                        TWPFieldKind kind)
{
    TWPRichText *e = GetTheWPRichText();
    QString name = defaultName;
    if (e && InputQuery(captionId, captionId + 1, caption, QStringLiteral("Field name:"), name) && !name.isEmpty())
        WPInsertField(*e, kind, name);
}

void TdmQEWPActions::XA_InsNamedFieldExecute(QObject *)
{
    InsertFieldByQuery(98, QStringLiteral("Insert Field"), QStringLiteral("PAGE"), TWPFieldKind::Named);
}

void TdmQEWPActions::XA_InsMailmergeFieldExecute(QObject *)
{
    InsertFieldByQuery(100, QStringLiteral("Insert Mailmerge Field"), QStringLiteral("NEWFIELD"), TWPFieldKind::Merge);
}

void TdmQEWPActions::XA_InsertFormFieldExecute(QObject *)
{
    InsertFieldByQuery(104, QStringLiteral("Insert Form Field"), QStringLiteral("NEWFIELD"), TWPFieldKind::Form);
}

void TdmQEWPActions::XA_InsBookmarkExecute(QObject *)
{
    TWPRichText *e = GetTheWPRichText();
    QString name = QStringLiteral("NEWBOOKM");
    if (!e || !InputQuery(102, 103, QStringLiteral("Insert Bookmark"), QStringLiteral("Bookmark name:"), name)
        || name.isEmpty())
        return;
    const QTextCursor c = e->TextCursor();
    e->Document().AddBookmark(name, c.selectionStart(), c.selectionEnd());
    e->SetModified(true);
}

void TdmQEWPActions::XA_InsHyperlinkExecute(QObject *) { ExecuteDialog(QStringLiteral("TWPHyperlinkDlg")); }

bool TdmQEWPActions::InsertPointsHidden(const TWPRichText &Editor)
{
    return Editor.InsertPointsHidden();
}

void TdmQEWPActions::XA_FieldsMarkersExecute(QObject *)
{
    if (TWPRichText *e = GetTheWPRichText()) {
        e->SetInsertPointsHidden(!e->InsertPointsHidden());
        e->viewport()->update();
    }
}

void TdmQEWPActions::XY_ShowSpecialCharsExecute(QObject *)
{
    TWPRichText *e = GetTheWPRichText();
    if (!e)
        return;
    const unsigned set = unsigned(wpShowCR) | unsigned(wpShowFF) | unsigned(wpShowNL) | unsigned(wpShowSPC)
                         | unsigned(wpShowHardSPC) | unsigned(wpShowTAB) | unsigned(wpDrawPageMarginLines);
    // Keyed on the paragraph marks alone: any other mark on its own adds the set.
    const unsigned now = e->ViewOptions();
    e->SetViewOptions((now & unsigned(wpShowCR)) ? now & ~set : now | set);
}

void TdmQEWPActions::XA_FrmFontDialogExecute(QObject *) { ExecuteDialog(QStringLiteral("TWPFontDlg")); }
void TdmQEWPActions::XA_FrmIndentSpacingExecute(QObject *) { ExecuteDialog(QStringLiteral("TWPParagraphPropDlg")); }
void TdmQEWPActions::XA_FrmBorderExecute(QObject *)
{
    // Web pages (editors without tabs) get single lines only.
    TWPToolsBeforExeuteWPParagraphBord2Dialog wrapper(TWPToolsEnviroment::Global());
    ExecuteDialog(QStringLiteral("TWPParagraphBorderDlg"));
}
void TdmQEWPActions::XA_FrmNumbersExecute(QObject *) { ExecuteDialog(QStringLiteral("TWPBulletDlg")); }
void TdmQEWPActions::XA_FrmTabStopsExecute(QObject *) { ExecuteDialog(QStringLiteral("TWPTabDlg")); }

void TdmQEWPActions::SetCapitalization(int capitalization)
{
    TWPRichText *e = GetTheWPRichText();
    if (!e)
        return;
    QTextCursor c = e->TextCursor();
    if (!TWPToolsAction::MayEdit(*e, c))
        return;
    QTextCharFormat f;
    f.setFontCapitalization(QFont::Capitalization(capitalization));
    c.beginEditBlock();
    c.mergeCharFormat(f);
    c.endEditBlock();
    e->SetModified(true);
    e->SetTextCursor(c);
}

void TdmQEWPActions::XA_FrmCap_LowercaseExecute(QObject *) { SetCapitalization(QFont::AllLowercase); }
void TdmQEWPActions::XA_FrmCap_UppercaseExecute(QObject *) { SetCapitalization(QFont::AllUppercase); }
void TdmQEWPActions::XA_FrmCap_OffExecute(QObject *) { SetCapitalization(QFont::MixedCase); }

void TdmQEWPActions::XA_SpellCheckExecute(QObject *)
{
    if (TWPRichText *e = GetTheWPRichText())
        SpellCommand(*e, wpscCheck);
}

void TdmQEWPActions::XA_SpellThesaurusExecute(QObject *)
{
    if (TWPRichText *e = GetTheWPRichText())
        SpellCommand(*e, wpscThesaurus);
}

void TdmQEWPActions::XA_SpellAsYouGoExecute(QObject *Sender)
{
    TWPRichText *e = GetTheWPRichText();
    auto *action = qobject_cast<QAction *>(Sender);
    if (!e || !action)
        return;
    action->setChecked(!action->isChecked());
    SpellCommand(*e, action->isChecked() ? wpscStartAsYouGo : wpscStopAsYouGo);
}

void TdmQEWPActions::XA_ConfigSpellcheckerExecute(QObject *)
{
    if (TWPRichText *e = GetTheWPRichText())
        SpellCommand(*e, wpscConfigure);
}

void TdmQEWPActions::XA_CreateTableExecute(QObject *) { ExecuteDialog(QStringLiteral("TWPTableDlg")); }

void TdmQEWPActions::XA_SplitTableExecute(QObject *)
{
    TWPRichText *e = GetTheWPRichText();
    if (!e)
        return;
    QTextCursor c = e->TextCursor();
    QTextTable *t = c.currentTable();
    if (!t)
        return;
    const int row = t->cellAt(c).row();
    if (row == 0)
        return; // nothing above to keep apart
    QTextCursor rows = t->cellAt(row, 0).firstCursorPosition();
    rows.setPosition(t->cellAt(t->rows() - 1, t->columns() - 1).lastCursorPosition().position(),
                     QTextCursor::KeepAnchor);
    if (!TWPToolsAction::MayEdit(*e, rows))
        return;
    // The rows from the caret's on move into a table of their own, after
    // an empty paragraph that keeps the two apart.
    const QTextDocumentFragment lower(rows);
    QTextCursor edit(e->Document().Text());
    edit.beginEditBlock();
    const int count = t->rows() - row;
    QTextCursor after(e->Document().Text());
    after.setPosition(t->lastPosition() + 1);
    t->removeRows(row, count);
    after.insertBlock();
    after.insertFragment(lower);
    edit.endEditBlock();
    e->SetTextCursor(after);
}

void TdmQEWPActions::XA_ConvertTokensExecute(QObject *)
{
    TWPRichText *e = GetTheWPRichText();
    if (!e || e->ReadOnly())
        return;
    // The owner's merge engine when it has one (its warnings stay with it),
    // else one for this conversion.
    TWPSuperMerge local;
    auto *merge = qobject_cast<TWPSuperMerge *>(GetSuperMerge());
    if (!merge || merge->Source() != &e->Document()) {
        merge = &local;
        local.SetSourceDest(&e->Document());
    }
    const int converted = merge->ConvertTokens(wpConvertFields | wpConvertBands | wpConvertGroups
                                                   | wpClearErrorsAndWarning,
                                               QStringLiteral("<<"), QStringLiteral(">>"), u':', u'#');
    if (converted) {
        e->SetModified(true);
        e->ReformatAll();
    }
}

void TdmQEWPActions::XA_ShowRepBandExecute(QObject *)
{
    TWPRichText *e = GetTheWPRichText();
    auto *merge = e ? qobject_cast<TWPSuperMerge *>(GetSuperMerge()) : nullptr;
    auto *dlg = merge ? qobject_cast<TWPReportBandsDialog *>(Dialog(QStringLiteral("TWPReportBandsDialog"))) : nullptr;
    if (!dlg)
        return;
    dlg->SetEditBox(e);
    dlg->SetSuperMerge(merge);
    dlg->DataBases = merge->DataBases();
    dlg->ShowAddDeleteButtons = true;
    dlg->ShowInsertFieldList = true;
    dlg->ShowFormulas = true;
    dlg->OnBeforeInsertField = [this](QObject *sender, TWPRichText *editor, const QString &name, QObject *item,
                                      bool &handled) { DoOnBeforeInsertField(sender, editor, name, item, handled); };
    dlg->Execute();
}

} // namespace zor
