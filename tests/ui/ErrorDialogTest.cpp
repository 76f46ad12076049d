#include "ui/common/ErrorDialog.h"
#include "app/Reporter.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/common/QtTranslation.h"

#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTranslator>
#include <gtest/gtest.h>
#include <thread>

namespace {

const char* kCatalogue = R"(<?xml version="1.0" encoding="UTF-8"?>
<error>
  <msg id="3001">
    <summary>网络连接失败</summary>
    <description>无法连接到服务器。</description>
    <pos>2</pos>
  </msg>
  <msg id="7000">
    <summary>无法读取设置文件</summary>
    <description>设置文件丢失或损坏。</description>
    <pos>abc</pos>
  </msg>
</error>)";

class ErrorDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        WriteAll(m_home.File("ErrorMsg.xml"), kCatalogue);
    }
    CTempHome m_home{{.processDir = true}};
};

TEST_F(ErrorDialogTest, OpensWithTheEntryAndTheDetailsHidden) {
    CErrorDialog dialog;
    EXPECT_TRUE(dialog.ShowErrorById(3001));
    EXPECT_EQ(dialog.Summary(), QStringLiteral("网络连接失败"));
    EXPECT_EQ(dialog.IdText(), QStringLiteral("3001"));
    EXPECT_EQ(dialog.Description(), QStringLiteral("无法连接到服务器。"));
    EXPECT_EQ(dialog.Place(), 2);
    EXPECT_EQ(dialog.findChildren<QRadioButton*>().size(), 3);
    EXPECT_FALSE(dialog.DetailsShown());
    // A place that is no number selects the first.
    EXPECT_TRUE(dialog.ShowErrorById(7000));
    EXPECT_EQ(dialog.Place(), 0);
}

TEST_F(ErrorDialogTest, TheDetailsButtonGrowsAndShrinksTheWindow) {
    CErrorDialog dialog;
    dialog.ShowErrorById(3001);
    dialog.show();
    WaitFor([&] { return dialog.isVisible(); });
    const QRect closed = dialog.geometry();

    dialog.DetailsButton()->click();
    EXPECT_TRUE(dialog.DetailsShown());
    EXPECT_EQ(dialog.DetailsButton()->text(), QStringLiteral("隐藏详情 <<"));
    const QRect open = dialog.geometry();
    EXPECT_EQ(open.height() - closed.height(), CErrorDialog::kDetailsHeight);
    EXPECT_EQ(open.width(), closed.width());
    EXPECT_EQ(open.topLeft(), closed.topLeft());

    dialog.DetailsButton()->click();
    EXPECT_FALSE(dialog.DetailsShown());
    EXPECT_EQ(dialog.DetailsButton()->text(), QStringLiteral("显示详情 >>"));
    EXPECT_EQ(dialog.geometry().height(), closed.height());
}

TEST_F(ErrorDialogTest, AServerFaultShowsItsOwnTexts) {
    CErrorDialog dialog;
    dialog.ShowErrorText(4000, 1, QStringLiteral("服务器返回的提示信息"),
                         QStringLiteral("fault 42"));
    EXPECT_EQ(dialog.IdText(), QStringLiteral("4000"));
    EXPECT_EQ(dialog.Place(), 1);
    EXPECT_EQ(dialog.Summary(), QStringLiteral("服务器返回的提示信息"));
    EXPECT_EQ(dialog.Description(), QStringLiteral("fault 42"));
}

TEST_F(ErrorDialogTest, AnUnknownIdSaysSoBeforeTheDialog) {
    CRecordingMessageBoxes boxes;
    CMessageBox::ShowErrorById(nullptr, 1234);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], QStringLiteral("找不到对应的错误信息"));
    ASSERT_EQ(boxes.Errors().size(), 1u);
    EXPECT_EQ(boxes.Errors()[0].id, 1234);
    EXPECT_TRUE(boxes.Errors()[0].summary.isEmpty());

    CErrorDialog dialog;
    EXPECT_FALSE(dialog.ShowErrorById(1234));
    EXPECT_EQ(dialog.IdText(), QStringLiteral("1234"));
}

// Reports from a worker are shown on the interface thread (the worker waits for each); a failure
// with its reason (a network error of the weblog transport) opens the dialog with the catalogue's
// id, summary and place, and the reason heading the details.
TEST_F(ErrorDialogTest, AReportFromAWorkerIsShownOnTheInterfaceThreadWithItsReason) {
    CRecordingMessageBoxes boxes;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        GetReporter().ReportMessage("添加失败!");
        ReportErrorWithReason(3001,
                              "连接超时: http://127.0.0.1:9/xmlrpc.php 在限定的时间内没有回应");
        done = true;
    });
    EXPECT_TRUE(WaitFor([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(boxes.Texts(), std::vector<QString>{QStringLiteral("添加失败!")});
    ASSERT_EQ(boxes.Errors().size(), 1u);
    const auto shown = boxes.Errors()[0];
    EXPECT_EQ(shown.id, 3001);
    EXPECT_EQ(shown.place, 2);
    EXPECT_EQ(shown.summary, QStringLiteral("网络连接失败"));
    const QString details =
        QStringLiteral("原因: 连接超时: http://127.0.0.1:9/xmlrpc.php 在限定的时间内没有回应\r\n"
                       "无法连接到服务器。");
    EXPECT_EQ(shown.description, details);

    CErrorDialog dialog;
    dialog.ShowErrorText(shown.id, shown.place, shown.summary, shown.description);
    // The text box keeps the lines (its line ends are its own).
    EXPECT_EQ(dialog.Description().split(QRegularExpression(QStringLiteral("\r?\n"))),
              details.split(QStringLiteral("\r\n")));
    EXPECT_EQ(dialog.IdText(), QStringLiteral("3001"));
}

// Qt's own texts follow the window's language in every program that calls it at start.
TEST(QtTranslationTest, TheTextFieldMenuIsChinese) {
    EnsureApp();
    ASSERT_TRUE(InstallQtTranslation()) << "qtbase_zh_CN.qm missing (qt6-translations-l10n)";
    EXPECT_TRUE(InstallQtTranslation());
    QLineEdit field;
    std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
    ASSERT_FALSE(menu->actions().isEmpty());
    // Qt's own Chinese writes Undo as 撤消, the common spelling is 撤销.
    EXPECT_TRUE(
        menu->actions().first()->text().contains(QRegularExpression(QStringLiteral("^撤[消销]"))))
        << menu->actions().first()->text().toStdString();
    // The other tests see Qt's texts as before.
    const auto translators = qApp->findChildren<QTranslator*>();
    EXPECT_EQ(translators.size(), 1);
    for (QTranslator* translator : translators)
        delete translator;
}

} // namespace
