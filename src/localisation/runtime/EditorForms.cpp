#include <ZorCompCore/localisation/runtime/EditorForms.h>

#include <ZorCompCore/localisation/runtime/SibFile.h>
#include <ZorCompCore/localisation/runtime/SiLang.h>

#include <QFile>
#include <QWidget>

namespace zor {

TsiEditorSettings &siEditorSettings()
{
    static TsiEditorSettings settings;
    return settings;
}

void siInitEditorForm(QWidget *AForm, TsiCustomLang *AFormLang)
{
    const TsiEditorSettings &settings = siEditorSettings();
    if (settings.OnNewForm)
        settings.OnNewForm(AForm);
    if (AFormLang && settings.Language != 1)
        AFormLang->SetActiveLanguage(settings.Language);
}

bool siLoadFormTexts(TsiCustomLang *ALang, const QString &AFormName)
{
    QFile file(QStringLiteral(":/zor/forms/%1.tsv").arg(AFormName));
    if (!ALang || !file.open(QIODevice::ReadOnly))
        return false;
    TSIBEntry entry = SIBEntryFromTSV(QString::fromUtf8(file.readAll()));
    entry.OwnerName = AFormName;
    TSIBFileManager files;
    files.AssignTo(files.Add(entry), ALang);
    return true;
}

} // namespace zor
