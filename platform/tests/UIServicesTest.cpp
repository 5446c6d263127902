#include "platform/HeadlessUIServices.h"
#include "platform/MainThread.h"
#include "platform/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

using namespace quorvel::platform;

namespace {

class UIServicesTest : public ::testing::Test {
protected:
    void SetUp() override { Previous = SetUIServices(&Headless); }
    void TearDown() override { SetUIServices(nullptr); }
    HeadlessUIServices Headless;
    IUIServices* Previous = nullptr;
};

TEST_F(UIServicesTest, RegisteredServicesAnswerAndADefaultExists) {
    EXPECT_EQ(&UIServices(), &Headless);
    ASSERT_NE(Previous, nullptr); // the built-in headless services
    SetUIServices(nullptr);
    EXPECT_EQ(&UIServices(), Previous);
    EXPECT_FALSE(UIServices().Confirm("Really?", "Confirm")); // nobody to say yes
    SetUIServices(&Headless);
}

TEST_F(UIServicesTest, MessagesAreRecordedAndAnsweredFromTheScriptThenCautiously) {
    Headless.QueueAnswer(DialogResult::Yes);
    Headless.QueueAnswer(DialogResult::Retry);
    EXPECT_TRUE(UIServices().Confirm("Modify query?", "Confirm"));
    EXPECT_EQ(UIServices().MessageBox("Lost", "Error", MessageKind::Error, MessageButtons::RetryCancel),
              DialogResult::Retry);
    struct Case {
        MessageButtons buttons;
        DialogResult answer;
    } defaults[] = {
        {MessageButtons::OK, DialogResult::OK},         {MessageButtons::OKCancel, DialogResult::Cancel},
        {MessageButtons::YesNo, DialogResult::No},      {MessageButtons::YesNoCancel, DialogResult::Cancel},
        {MessageButtons::RetryCancel, DialogResult::Cancel}, {MessageButtons::AbortRetryIgnore, DialogResult::Abort},
    };
    for (const auto& c : defaults)
        EXPECT_EQ(UIServices().MessageBox("m", "t", MessageKind::Warning, c.buttons), c.answer);
    EXPECT_FALSE(UIServices().Confirm("Again?", "Confirm"));

    const auto shown = Headless.Shown();
    ASSERT_EQ(shown.size(), 9u);
    EXPECT_EQ(shown[0].What, UIRecord::Kind::Confirm);
    EXPECT_EQ(shown[0].Text, "Modify query?");
    EXPECT_TRUE(shown[0].Scripted);
    EXPECT_EQ(shown[1].Icon, MessageKind::Error);
    EXPECT_EQ(shown[1].Title, "Error");
    EXPECT_FALSE(shown[2].Scripted);
    EXPECT_EQ(shown[8].Answer, DialogResult::No);
    EXPECT_EQ(Headless.PendingAnswers(), 0u);
}

TEST_F(UIServicesTest, DialogsAreFilledFromTheScript) {
    Headless.QueueLogonAnswer(DialogResult::OK, [](LogonDialogState& s) {
        s.Username.Text = "scott";
        s.Password.Text = "tiger";
        s.ConnectAsIndex = 1;
    });
    Headless.SetControlKeyDown(true);
    LogonDialogState logon;
    logon.Caption = "Oracle Logon";
    auto dialog = UIServices().CreateLogonDialog();
    EXPECT_EQ(dialog->ShowModal(logon), DialogResult::OK);
    EXPECT_EQ(logon.Username.Text, "scott");
    EXPECT_EQ(logon.Password.Text, "tiger");
    EXPECT_EQ(logon.ConnectAsIndex, 1);
    EXPECT_TRUE(logon.ControlDownOnOK);
    EXPECT_EQ(dialog->ShowModal(logon), DialogResult::Cancel); // the script has run out

    Headless.QueuePasswordAnswer(DialogResult::OK, [](PasswordDialogState& s) { s.NewPassword.Text = "new"; });
    PasswordDialogState password;
    password.Caption = "Change password";
    EXPECT_EQ(UIServices().CreatePasswordDialog()->ShowModal(password), DialogResult::OK);
    EXPECT_EQ(password.NewPassword.Text, "new");

    Headless.QueueSelectionAnswer(DialogResult::OK, [](SelectionDialogState& s) {
        s.ItemIndex = 1;
        s.Checked = false;
    });
    SelectionDialogState selection;
    selection.Items = {"A", "B"};
    selection.Checked = true;
    EXPECT_EQ(UIServices().CreateSelectionDialog()->ShowModal(selection), DialogResult::OK);
    EXPECT_EQ(selection.ItemIndex, 1);
    EXPECT_FALSE(selection.Checked);

    const auto shown = Headless.Shown();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].What, UIRecord::Kind::LogonDialog);
    EXPECT_EQ(shown[0].Text, "Oracle Logon");
    EXPECT_EQ(shown[1].Answer, DialogResult::Cancel);
    EXPECT_EQ(shown[2].What, UIRecord::Kind::PasswordDialog);
    EXPECT_EQ(shown[3].What, UIRecord::Kind::SelectionDialog);
    EXPECT_TRUE(UIServices().ControlKeyDown());
}

TEST_F(UIServicesTest, CursorIsRestoredAfterAScopeAlsoOnFailure) {
    EXPECT_EQ(UIServices().Cursor(), crDefault);
    try {
        ScopedCursor busy(crHourGlass);
        EXPECT_EQ(UIServices().Cursor(), crHourGlass);
        throw std::runtime_error("failed call");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(UIServices().Cursor(), crDefault);
    {
        ScopedCursor leaveAlone(crDefault);
    }
    EXPECT_EQ(Headless.CursorChanges(), (std::vector<CursorShape>{crHourGlass, crDefault}));
}

TEST_F(UIServicesTest, ProcessMessagesRunsWorkQueuedForTheMainThread) {
    std::atomic<bool> done{false};
    Thread worker([&](Thread&) {
        Synchronize([&] { UIServices().MessageBox("from a worker", "", MessageKind::Information, MessageButtons::OK); });
        done = true;
    });
    worker.Start();
    for (int i = 0; i < 2000 && !done; ++i) {
        UIServices().ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(done.load());
    EXPECT_GT(Headless.ProcessMessagesCalls(), 0);
    ASSERT_EQ(Headless.Shown().size(), 1u);
    EXPECT_EQ(Headless.Shown()[0].Text, "from a worker");
    worker.WaitFor();
}

} // namespace
