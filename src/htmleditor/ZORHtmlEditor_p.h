// Private parts of the HTML editor: the locked-down page, the request guard
// and the bridge the page's script reports through.
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>

#include <atomic>

namespace zor {

// Passes file: and data: requests (and the editor's own), http(s) only when
// remote content is allowed; everything else is blocked.
class TZORHtmlRequestGuard : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo &AInfo) override;

    std::atomic<bool> AllowRemote{false};
    // Requests blocked so far (for diagnostics and tests).
    std::atomic<int> Blocked{0};
};

// Navigates only to the text the editor loads: links, dropped files, forms
// and scripts never replace the document.
class TZORHtmlPage : public QWebEnginePage
{
    Q_OBJECT
public:
    using QWebEnginePage::QWebEnginePage;

    QUrl Expected;

protected:
    bool acceptNavigationRequest(const QUrl &AUrl, NavigationType AType, bool AIsMainFrame) override;
    QWebEnginePage *createWindow(WebWindowType) override { return nullptr; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel ALevel, const QString &AMessage,
                                  int ALine, const QString &ASource) override;
};

// What the page's script calls (over the web channel, in the isolated world).
class TZORHtmlBridge : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    void Changed(int ACount);
    void StatesChanged(const QString &AJson);
    void Clicked(const QString &AJson);
    void HeightChanged(int AHeight);

public Q_SLOTS:
    void changed(int ACount) { Q_EMIT Changed(ACount); }
    void selectionChanged(const QString &AJson) { Q_EMIT StatesChanged(AJson); }
    void elementClicked(const QString &AJson) { Q_EMIT Clicked(AJson); }
    void heightChanged(int AHeight) { Q_EMIT HeightChanged(AHeight); }
};

} // namespace zor
