// Components that tie several language components together: a dispatcher that
// switches many forms at once, and a linked component that takes the texts it
// lacks from a shared container.
#pragma once

#include <ZorCompCore/localisation/runtime/SiLang.h>
#include <ZorCompCore/zor_export.h>

#include <QList>
#include <functional>
#include <memory>

namespace zor {

// Switches every connected language component together. A component follows
// the dispatcher by language name when it has a language of that name
// (compared ignoring ASCII case), otherwise by language number; a component
// that has neither keeps its language.
class ZOR_EXPORT TsiLangDispatcher : public TComponent
{
    Q_OBJECT
public:
    explicit TsiLangDispatcher(QObject *AOwner = nullptr);
    ~TsiLangDispatcher() override;

    // Names of the dispatcher's languages; NumOfLanguages is their count.
    TStringList &LangNames();
    const TStringList &LangNames() const;
    int NumOfLanguages() const;

    // 1-based; setting a number outside 1..NumOfLanguages is ignored.
    int ActiveLanguage() const;
    void SetActiveLanguage(int AValue);
    QString Language() const;
    // Ignored for a name that is not among LangNames.
    void SetLanguage(const QString &AValue);

    // Connected components that still exist, in connection order. Use
    // TsiCustomLang::SetLangDispatcher to connect and disconnect.
    QList<TsiCustomLang *> Components() const;

    // Called after the connected components were switched.
    std::function<void(TsiLangDispatcher &)> OnLanguageChanged;

    // Brings one component to the dispatcher's language.
    void Apply(TsiCustomLang *ALang) const;

private:
    friend class TsiCustomLang;
    void attach(TsiCustomLang *ALang);
    void detach(TsiCustomLang *ALang);

    struct Private;
    std::unique_ptr<Private> const d;
};

// A form's language component that shares texts with a common container (a
// language component of a shared module): GetText of an ID that has no text
// here answers the container's text for the language of the same name, then
// for the same language number.
class ZOR_EXPORT TsiLangLinked : public TsiCustomLang
{
    Q_OBJECT
public:
    explicit TsiLangLinked(QObject *AOwner = nullptr);
    ~TsiLangLinked() override;

    TsiCustomLang *CommonContainer() const;
    // Null clears the link; the link ends when the container is destroyed.
    void SetCommonContainer(TsiCustomLang *AValue);

    QString GetText(const QString &TextID) const override;

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
