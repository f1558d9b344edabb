#include "WPDialogWrappers.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/dialogs/WPParagraphBorderDlg.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include <QDialog>

namespace zor {

TWPToolsEnviromentDialogEventWrapper::TWPToolsEnviromentDialogEventWrapper(TWPToolsEnviroment &Enviroment)
    : m_env(Enviroment), m_kept(Enviroment.OnDialog)
{
    m_env.OnDialog = [this](QObject *dialog, QObject *form) { DoWPToolsEnviromentDialog(dialog, form); };
}

TWPToolsEnviromentDialogEventWrapper::~TWPToolsEnviromentDialogEventWrapper()
{
    m_env.OnDialog = m_kept;
}

void TWPToolsEnviromentDialogEventWrapper::DoWPToolsEnviromentDialog(QObject *Dialog, QObject *Form)
{
    if (m_kept)
        m_kept(Dialog, Form);
}

void TWPToolsBeforExeuteWPParagraphBord2Dialog::DoWPToolsEnviromentDialog(QObject *Dialog, QObject *Form)
{
    TWPToolsEnviromentDialogEventWrapper::DoWPToolsEnviromentDialog(Dialog, Form);
    auto *border = qobject_cast<TWPParagraphBorderDlg *>(Dialog);
    auto *form = qobject_cast<QDialog *>(Form);
    if (!border || !form || !border->EditBox() || border->EditBox()->WantTabs())
        return;
    TWPParagraphBorderDlg::SetLineStyles(*form, {QStringLiteral("0=SINGLE")});
}

} // namespace zor
