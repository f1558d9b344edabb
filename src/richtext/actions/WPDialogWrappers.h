// Hooks on the engine's dialogs: a wrapper puts its own handler in the
// environment's dialog callback (TWPToolsEnviroment::OnDialog), calls the
// handler it replaced first, and puts that one back when it goes. Wrappers
// nest: each restores the one it found.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <functional>

class QObject;

namespace zor {

class TWPToolsEnviroment;

class ZOR_EXPORT TWPToolsEnviromentDialogEventWrapper
{
public:
    explicit TWPToolsEnviromentDialogEventWrapper(TWPToolsEnviroment &Enviroment);
    virtual ~TWPToolsEnviromentDialogEventWrapper();
    TWPToolsEnviromentDialogEventWrapper(const TWPToolsEnviromentDialogEventWrapper &) = delete;
    TWPToolsEnviromentDialogEventWrapper &operator=(const TWPToolsEnviromentDialogEventWrapper &) = delete;

protected:
    // Dialog is the engine dialog (a TWPCustomDialog), Form the form it is
    // about to show.
    virtual void DoWPToolsEnviromentDialog(QObject *Dialog, QObject *Form);

private:
    TWPToolsEnviroment &m_env;
    std::function<void(QObject *, QObject *)> m_kept;
};

// Around the paragraph border dialog: an editor that does not want tabs
// (web pages) gets single lines only, the form's line styles narrowed to
// "0=SINGLE".
class ZOR_EXPORT TWPToolsBeforExeuteWPParagraphBord2Dialog : public TWPToolsEnviromentDialogEventWrapper
{
public:
    using TWPToolsEnviromentDialogEventWrapper::TWPToolsEnviromentDialogEventWrapper;

protected:
    void DoWPToolsEnviromentDialog(QObject *Dialog, QObject *Form) override;
};

} // namespace zor
