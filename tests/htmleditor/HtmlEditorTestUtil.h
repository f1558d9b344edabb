// Shared by the HTML editor's suites: one shown editor per test, and a way to
// look into (and act on) the page from its isolated world.
#pragma once

#include "TestUtil.h"

#include <ZorCompCore/htmleditor/ZORHtmlEditor.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <memory>

namespace ztest {

inline QString readData(const QString &name)
{
    QFile f(QStringLiteral(ZOR_TEST_DATA "/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

// A picture's bytes in AFormat ("PNG", "JPEG" …).
inline QByteArray pictureBytes(int w, int h, Qt::GlobalColor color, const char *format = "PNG")
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Writes ABytes to AFileName; false when it cannot.
inline bool writeFile(const QString &AFileName, const QByteArray &ABytes)
{
    QFile f(AFileName);
    return f.open(QIODevice::WriteOnly) && f.write(ABytes) == ABytes.size();
}

// Waits (bounded) until condition holds, processing events meanwhile.
template<class F>
bool waitFor(F condition, int timeoutMs = 15000)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QTest::qWait(20);
    }
    return true;
}

class EditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        editor = std::make_unique<zor::TZORHtmlEditor>();
        editor->resize(900, 700);
        editor->show();
        editor->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
    }

    // Runs a script in the editor's isolated world (the page's own world has
    // no JavaScript) and returns its value.
    QVariant js(const QString &script)
    {
        editor->HTMLText(); // waits for a text being loaded
        QVariant value;
        bool done = false;
        QEventLoop loop;
        editor->View()->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                              [&](const QVariant &v) {
                                                  value = v;
                                                  done = true;
                                                  loop.quit();
                                              });
        if (!done) {
            QTimer::singleShot(15000, &loop, &QEventLoop::quit);
            loop.exec();
        }
        EXPECT_TRUE(done) << "script did not answer: " << script.toStdString();
        return value;
    }

    // The caret at the end of the element with id AId, focus in the page.
    void caretAtEndOf(const QString &id)
    {
        editor->View()->setFocus();
        js(QStringLiteral("(function(){const e=document.getElementById('%1');const r=document.createRange();"
                          "r.selectNodeContents(e);r.collapse(false);const s=getSelection();"
                          "s.removeAllRanges();s.addRange(r);})()")
               .arg(id));
    }

    // Selects the contents of the element with id AId.
    void select(const QString &id)
    {
        editor->View()->setFocus();
        js(QStringLiteral("(function(){const e=document.getElementById('%1');const r=document.createRange();"
                          "r.selectNodeContents(e);const s=getSelection();s.removeAllRanges();s.addRange(r);})()")
               .arg(id));
    }

    // Keys as a user types them, into Chromium's input widget.
    void type(const QString &text)
    {
        QWidget *input = editor->View()->focusProxy();
        ASSERT_NE(input, nullptr);
        input->setFocus();
        QTest::keyClicks(input, text);
    }

    std::unique_ptr<zor::TZORHtmlEditor> editor;
};

} // namespace ztest
