#include <ZorCompCore/localisation/runtime/SiLangLinked.h>

#include <QPointer>

namespace zor {

// --- TsiLangDispatcher --------------------------------------------------------

struct TsiLangDispatcher::Private
{
    TStringList langNames;
    int active = 1;
    QList<QPointer<TsiCustomLang>> components;
};

TsiLangDispatcher::TsiLangDispatcher(QObject *AOwner) : TComponent(AOwner), d(std::make_unique<Private>())
{
    d->langNames.Add(QStringLiteral("Language 1"));
}

TsiLangDispatcher::~TsiLangDispatcher()
{
    // Components outlive their dispatcher often (a shared module closes first).
    const auto components = d->components;
    d->components.clear();
    for (const QPointer<TsiCustomLang> &lang : components)
        if (lang)
            lang->SetLangDispatcher(nullptr);
}

TStringList &TsiLangDispatcher::LangNames()
{
    return d->langNames;
}

const TStringList &TsiLangDispatcher::LangNames() const
{
    return d->langNames;
}

int TsiLangDispatcher::NumOfLanguages() const
{
    return d->langNames.Count();
}

int TsiLangDispatcher::ActiveLanguage() const
{
    return d->active;
}

void TsiLangDispatcher::SetActiveLanguage(int AValue)
{
    if (AValue < 1 || AValue > NumOfLanguages())
        return;
    d->active = AValue;
    // Copy: a component may disconnect itself while it switches.
    const auto components = d->components;
    for (const QPointer<TsiCustomLang> &lang : components)
        if (lang)
            Apply(lang);
    if (OnLanguageChanged)
        OnLanguageChanged(*this);
}

QString TsiLangDispatcher::Language() const
{
    return d->active <= d->langNames.Count() ? d->langNames.Get(d->active - 1) : QString();
}

void TsiLangDispatcher::SetLanguage(const QString &AValue)
{
    for (int i = 0; i < d->langNames.Count(); ++i) {
        if (siCompareText(d->langNames.Get(i), AValue) == 0) {
            SetActiveLanguage(i + 1);
            return;
        }
    }
}

QList<TsiCustomLang *> TsiLangDispatcher::Components() const
{
    QList<TsiCustomLang *> result;
    for (const QPointer<TsiCustomLang> &lang : d->components)
        if (lang)
            result.append(lang);
    return result;
}

void TsiLangDispatcher::Apply(TsiCustomLang *ALang) const
{
    if (!ALang)
        return;
    const QString name = Language();
    const TStringList &names = ALang->LangNames();
    for (int i = 0; i < qMin(ALang->NumOfLanguages(), names.Count()); ++i) {
        if (siCompareText(names.Get(i), name) == 0) {
            if (ALang->ActiveLanguage() != i + 1)
                ALang->SetActiveLanguage(i + 1);
            return;
        }
    }
    if (d->active <= ALang->NumOfLanguages() && ALang->ActiveLanguage() != d->active)
        ALang->SetActiveLanguage(d->active);
}

void TsiLangDispatcher::attach(TsiCustomLang *ALang)
{
    d->components.removeAll(nullptr);
    if (!d->components.contains(ALang))
        d->components.append(ALang);
}

void TsiLangDispatcher::detach(TsiCustomLang *ALang)
{
    d->components.removeAll(ALang);
    d->components.removeAll(nullptr);
}

// --- TsiLangLinked --------------------------------------------------------------

struct TsiLangLinked::Private
{
    QPointer<TsiCustomLang> container;
};

TsiLangLinked::TsiLangLinked(QObject *AOwner) : TsiCustomLang(AOwner), d(std::make_unique<Private>()) {}

TsiLangLinked::~TsiLangLinked() = default;

TsiCustomLang *TsiLangLinked::CommonContainer() const
{
    return d->container;
}

void TsiLangLinked::SetCommonContainer(TsiCustomLang *AValue)
{
    d->container = AValue != this ? AValue : nullptr;
}

QString TsiLangLinked::GetText(const QString &TextID) const
{
    QString result = TsiCustomLang::GetText(TextID);
    const TsiCustomLang *container = d->container;
    if (!result.isEmpty() || !container)
        return result;
    const TStringList &names = container->LangNames();
    const QString language = Language();
    for (int i = 0; i < qMin(container->NumOfLanguages(), names.Count()); ++i)
        if (siCompareText(names.Get(i), language) == 0)
            return container->Strings().GetTranslationByID(TextID, i + 1);
    return container->Strings().GetTranslationByID(TextID, ActiveLanguage());
}

} // namespace zor
