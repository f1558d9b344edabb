#include <ZorCompCore/utilities/QEDialogs.h>

#include "TestUtil.h"
#include <ZorCompCore/platform/Exception.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <exception>
#include <thread>

using namespace zor;

namespace {

struct HandlerGuard
{
    ~HandlerGuard() { GlobalMessageDialogHandler = nullptr; }
};

// Runs fn on a worker thread and returns the message of what it raised.
QString RaisedOnWorker(const std::function<void()> &fn)
{
    QString message = QStringLiteral("<nothing raised>");
    std::thread worker([&] {
        try {
            fn();
        } catch (const Exception &e) {
            message = e.Message();
        }
    });
    worker.join();
    return message;
}

} // namespace

TEST(QEDialogs, HandlerTakesEveryDialog)
{
    HandlerGuard guard;
    struct Call
    {
        QString msg;
        TMsgDlgType type;
        TMsgDlgButtons buttons;
        int help;
    };
    std::vector<Call> calls;
    GlobalMessageDialogHandler = [&](const QString &msg, TMsgDlgType type, TMsgDlgButtons buttons, int help) {
        calls.push_back({msg, type, buttons, help});
        return mrNo;
    };

    ShowMessage(QStringLiteral("hello"));
    EXPECT_EQ(MessageDlg(QStringLiteral("sure?"), mtConfirmation, TMsgDlgButtons(mbYes) | mbNo, 17), mrNo);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].msg, QStringLiteral("hello"));
    EXPECT_EQ(calls[0].type, mtCustom);
    EXPECT_EQ(calls[0].buttons, TMsgDlgButtons(mbOK));
    EXPECT_EQ(calls[0].help, 0);
    EXPECT_EQ(calls[1].type, mtConfirmation);
    EXPECT_EQ(calls[1].buttons, TMsgDlgButtons(mbYes) | mbNo);
    EXPECT_EQ(calls[1].help, 17);

    // Input dialogs do not ask a handler: they answer as if cancelled.
    EXPECT_EQ(InputBox(QStringLiteral("c"), QStringLiteral("p"), QStringLiteral("def")), QStringLiteral("def"));
    QString value = QStringLiteral("kept");
    EXPECT_FALSE(InputQuery(QStringLiteral("c"), QStringLiteral("p"), value));
    EXPECT_EQ(value, QStringLiteral("kept"));
    EXPECT_EQ(calls.size(), 2u);

    // The handler serves other threads as well, on their own thread.
    std::thread::id seen;
    GlobalMessageDialogHandler = [&](const QString &, TMsgDlgType, TMsgDlgButtons, int) {
        seen = std::this_thread::get_id();
        return mrOk;
    };
    std::thread::id workerId;
    std::thread worker([&] {
        workerId = std::this_thread::get_id();
        ShowMessage(QStringLiteral("from a worker"));
    });
    worker.join();
    EXPECT_EQ(seen, workerId);
}

TEST(QEDialogs, RefusedOffTheMainThread)
{
    ASSERT_FALSE(GlobalMessageDialogHandler);
    EXPECT_EQ(RaisedOnWorker([] { ShowMessage(QStringLiteral("hello")); }),
              QStringLiteral("Can call MessageDialog only in MainThread!\r\nhello"));
    EXPECT_EQ(RaisedOnWorker([] { MessageDlg(QStringLiteral("sure?"), mtWarning, mbOK); }),
              QStringLiteral("Can call MessageDialog only in MainThread!\r\nsure?"));
    EXPECT_EQ(RaisedOnWorker([] { InputBox(QStringLiteral("Name"), QStringLiteral("p"), QString()); }),
              QStringLiteral("Can call MessageDialog only in MainThread!\r\nInputBox Name"));
    EXPECT_EQ(RaisedOnWorker([] {
                  QString v;
                  InputQuery(QStringLiteral("Age"), QStringLiteral("p"), v);
              }),
              QStringLiteral("Can call MessageDialog only in MainThread!\r\nInputQuery Age"));
}

TEST(QEDialogs, MessageBoxButtonsGiveTheirResults)
{
    ASSERT_FALSE(GlobalMessageDialogHandler);
    struct Row
    {
        const char *name;
        TMsgDlgButtons buttons;
        QMessageBox::StandardButton click; // NoButton: the custom "All" button
        int expected;
    };
    const Row rows[] = {
        {"yes", TMsgDlgButtons(mbYes) | mbNo, QMessageBox::Yes, mrYes},
        {"no", TMsgDlgButtons(mbYes) | mbNo, QMessageBox::No, mrNo},
        {"retry", TMsgDlgButtons(mbAbort) | mbRetry | mbIgnore, QMessageBox::Retry, mrRetry},
        {"ignore", TMsgDlgButtons(mbAbort) | mbRetry | mbIgnore, QMessageBox::Ignore, mrIgnore},
        {"yes to all", TMsgDlgButtons(mbYesToAll) | mbNoToAll, QMessageBox::YesToAll, mrYesToAll},
        {"all", TMsgDlgButtons(mbAll) | mbYesToAll, QMessageBox::NoButton, mrAll},
        {"no buttons gives OK", TMsgDlgButtons(), QMessageBox::Ok, mrOk},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        bool clicked = false;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            QAbstractButton *b = nullptr;
            if (row.click != QMessageBox::NoButton) {
                b = box->button(row.click);
            } else {
                for (QAbstractButton *candidate : box->buttons())
                    if (candidate->text() == QStringLiteral("&All"))
                        b = candidate;
            }
            if (b) {
                clicked = true;
                b->click();
            } else {
                box->reject();
            }
        });
        EXPECT_EQ(MessageDlg(QStringLiteral("question"), mtConfirmation, row.buttons), row.expected);
        EXPECT_TRUE(clicked);
    }
}
