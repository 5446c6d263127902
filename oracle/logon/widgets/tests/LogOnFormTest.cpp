// The logon form on real Qt widgets (offscreen): its designed layout, the rows that hide and
// shrink it, the picture strip, the focus rule, the keys and the history menu, the password
// dialogs on the same form, and the modal round trip through the dialog factories.
#include "oracle/logon/widgets/LogOnForm.h"

#include <QApplication>
#include <QAction>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace quorvel;
using platform::DialogResult;
using platform::LogonDialogState;
using platform::PasswordDialogState;
using platform::PopupMenuItem;

namespace {

class LogOnFormTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "logon_widgets_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
    }

    // The state the logon component gives the main window's dialog.
    static LogonDialogState FullState() {
        LogonDialogState s;
        s.Caption = "Oracle Logon";
        s.Username = {"Username", "scott", true, true, false};
        s.Password = {"Password", "", true, true, true};
        s.Database = {"Database", "QUORVEL", true, true, false};
        s.ConnectAsLabel = "Connect as";
        s.ConnectAsItems = {"Normal", "SYSDBA", "SYSOPER"};
        s.ConnectAsVisible = true;
        s.HistoryButtonVisible = true;
        s.HistoryButtonEnabled = true;
        s.HistoryButtonHint = "Logon history";
        s.FocusPassword = true;
        return s;
    }

    static void Save(QWidget& w, const char* name) { w.grab().save(QDir::temp().filePath(name)); }
};

TEST_F(LogOnFormTest, TheDesignedLayoutWithEveryRow) {
    TLogOnForm form;
    form.LoadLogon(FullState());
    form.show();
    EXPECT_EQ(form.size(), QSize(291, 175));
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(form.font().pixelSize(), 10);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Oracle Logon"));
    EXPECT_EQ(form.ButtonPanel->geometry(), QRect(0, 137, 291, 38));
    EXPECT_EQ(form.OKBtn->geometry(), QRect(7, 5, 78, 27));
    EXPECT_EQ(form.CancelBtn->geometry(), QRect(94, 5, 79, 27));
    EXPECT_TRUE(form.OKBtn->isDefault());
    EXPECT_EQ(form.OKBtn->text(), QStringLiteral("OK"));
    EXPECT_EQ(form.CancelBtn->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(form.GroupBox->geometry(), QRect(7, 7, 278, 124));
    EXPECT_EQ(form.Label1->geometry(), QRect(7, 20, 93, 15));
    EXPECT_TRUE(form.Label1->alignment().testFlag(Qt::AlignRight));
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Username"));
    EXPECT_EQ(form.UsernameEdit->geometry(), QRect(104, 16, 150, 23));
    EXPECT_EQ(form.UsernameEdit->text(), QStringLiteral("scott"));
    EXPECT_EQ(form.HistoryBtn->geometry(), QRect(257, 16, 16, 21));
    EXPECT_TRUE(form.HistoryBtn->isVisible());
    EXPECT_EQ(form.HistoryBtn->toolTip(), QStringLiteral("Logon history"));
    EXPECT_EQ(form.Label2->geometry().topLeft(), QPoint(7, 46));
    EXPECT_EQ(form.PasswordEdit->geometry(), QRect(104, 42, 150, 23));
    EXPECT_EQ(form.PasswordEdit->echoMode(), QLineEdit::Password);
    // Both rows are aligned at the bottom of the group box, inside its two-pixel bevel.
    EXPECT_EQ(form.CAPanel->geometry(), QRect(2, 93, 274, 29));
    EXPECT_EQ(form.DBPanel->geometry(), QRect(2, 67, 274, 26));
    EXPECT_EQ(form.Label3->geometry(), QRect(7, 3, 91, 15));
    EXPECT_EQ(form.DatabaseEdit->geometry(), QRect(102, 0, 151, 23));
    EXPECT_TRUE(form.DatabaseEdit->isVisible());
    EXPECT_FALSE(form.AliasList->isVisible());
    EXPECT_EQ(form.Label4->geometry(), QRect(7, 3, 91, 15));
    EXPECT_EQ(form.ConnectAsList->geometry(), QRect(102, 0, 78, 21));
    ASSERT_EQ(form.ConnectAsList->count(), 3);
    EXPECT_EQ(form.ConnectAsList->itemText(2), QStringLiteral("SYSOPER"));
    EXPECT_FALSE(form.ConnectAsList->isEditable());
    EXPECT_FALSE(form.LogonImage->isVisible());
    EXPECT_EQ(form.focusWidget(), form.PasswordEdit);
    Save(form, "quorvel-logon-dialog.png");
}

TEST_F(LogOnFormTest, UnusedRowsHideAndShrinkTheForm) {
    struct Case {
        bool database, connectAs;
        int height, groupHeight;
    };
    for (const Case& c : {Case{true, true, 175, 124}, Case{false, true, 149, 98}, Case{true, false, 146, 95},
                          Case{false, false, 120, 69}}) {
        LogonDialogState s = FullState();
        s.Database.Visible = c.database;
        s.ConnectAsVisible = c.connectAs;
        TLogOnForm form;
        form.LoadLogon(s);
        form.show();
        EXPECT_EQ(form.size(), QSize(291, c.height)) << c.database << c.connectAs;
        EXPECT_EQ(form.GroupBox->height(), c.groupHeight);
        EXPECT_EQ(form.DBPanel->isVisible(), c.database);
        EXPECT_EQ(form.CAPanel->isVisible(), c.connectAs);
        EXPECT_EQ(form.ButtonPanel->y(), c.height - 38);
        if (c.database && !c.connectAs) {
            EXPECT_EQ(form.DBPanel->y(), 95 - 2 - 26);
        }
    }
}

TEST_F(LogOnFormTest, TheDatabaseListTakesTheTextFieldsPlace) {
    LogonDialogState s = FullState();
    s.UseAliasList = true;
    s.Aliases = {"QUORVEL", "QUORVEL.WORLD", "PROD"};
    s.AliasDropDownCount = 5;
    s.Database.Text = "PROD";
    s.HistoryButtonVisible = false;
    TLogOnForm form;
    form.LoadLogon(s);
    form.show();
    EXPECT_FALSE(form.DatabaseEdit->isVisible());
    EXPECT_FALSE(form.HistoryBtn->isVisible());
    ASSERT_TRUE(form.AliasList->isVisible());
    EXPECT_EQ(form.AliasList->geometry().topLeft(), QPoint(102, 0));
    EXPECT_EQ(form.AliasList->width(), 151);
    EXPECT_TRUE(form.AliasList->isEditable());
    EXPECT_EQ(form.AliasList->count(), 3);
    EXPECT_EQ(form.AliasList->maxVisibleItems(), 5);
    EXPECT_EQ(form.AliasList->currentText(), QStringLiteral("PROD"));
    form.AliasList->setEditText(QStringLiteral("typed"));
    form.ConnectAsList->setCurrentIndex(2);
    LogonDialogState back = s;
    form.StoreLogon(back);
    EXPECT_EQ(back.Database.Text, "typed");
    EXPECT_EQ(back.ConnectAsIndex, 2);
    Save(form, "quorvel-logon-dialog-list.png");
}

TEST_F(LogOnFormTest, APictureWidensTheFormByAStripAtTheLeft) {
    QImage image(32, 40, QImage::Format_ARGB32);
    image.fill(QColor(30, 90, 160));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    LogonDialogState s = FullState();
    s.Picture.assign(bytes.constData(), size_t(bytes.size()));
    TLogOnForm form;
    form.LoadLogon(s);
    form.show();
    EXPECT_EQ(form.size(), QSize(291 + 32 + 21, 175));
    EXPECT_TRUE(form.LogonImage->isVisible());
    EXPECT_EQ(form.LogonImage->width(), 32 + 28);
    EXPECT_EQ(form.GroupBox->x(), 32 + 28);
    EXPECT_EQ(form.OKBtn->x(), 32 + 28);
    EXPECT_EQ(form.CancelBtn->x(), 32 + 28 + 78 + 7);
    Save(form, "quorvel-logon-dialog-picture.png");

    // Bytes that are no image leave the form as designed.
    s.Picture = "not an image";
    TLogOnForm plain;
    plain.LoadLogon(s);
    EXPECT_EQ(plain.size(), QSize(291, 175));
    EXPECT_FALSE(plain.LogonImage->isVisibleTo(&plain));
}

TEST_F(LogOnFormTest, FocusAndDisabledFields) {
    struct Case {
        std::string user;
        bool userEnabled;
        bool focusPassword;
        bool expectPassword;
    };
    for (const Case& c : {Case{"", true, false, false}, Case{"scott", false, true, true},
                          Case{"scott", true, true, true}}) {
        LogonDialogState s = FullState();
        s.Username.Text = c.user;
        s.Username.Enabled = c.userEnabled;
        s.FocusPassword = c.focusPassword;
        s.Database.Enabled = false;
        s.ConnectAsEnabled = false;
        s.HistoryButtonEnabled = false;
        TLogOnForm form;
        form.LoadLogon(s);
        form.show();
        EXPECT_EQ(form.focusWidget(), c.expectPassword ? static_cast<QWidget*>(form.PasswordEdit)
                                                       : static_cast<QWidget*>(form.UsernameEdit))
            << c.user;
        EXPECT_EQ(form.UsernameEdit->isEnabled(), c.userEnabled);
        EXPECT_EQ(form.Label1->isEnabled(), c.userEnabled);
        EXPECT_FALSE(form.DatabaseEdit->isEnabled());
        EXPECT_FALSE(form.Label3->isEnabled());
        EXPECT_FALSE(form.ConnectAsList->isEnabled());
        EXPECT_FALSE(form.Label4->isEnabled());
        EXPECT_FALSE(form.HistoryBtn->isEnabled());
        if (!c.userEnabled) Save(form, "quorvel-logon-dialog-password-only.png");
    }
}

TEST_F(LogOnFormTest, EnterAndControlEnterCloseWithOK) {
    struct Case {
        Qt::KeyboardModifiers modifiers;
        bool controlDown;
    };
    for (const Case& c : {Case{Qt::NoModifier, false}, Case{Qt::ControlModifier, true}}) {
        TLogOnForm form;
        form.LoadLogon(FullState());
        form.show();
        QTest::keyClicks(form.PasswordEdit, "tiger");
        QTest::keyClick(form.PasswordEdit, Qt::Key_Return, c.modifiers);
        EXPECT_EQ(form.result(), QDialog::Accepted);
        EXPECT_EQ(form.ControlDownOnOK(), c.controlDown);
        LogonDialogState back = FullState();
        form.StoreLogon(back);
        EXPECT_EQ(back.Password.Text, "tiger");
        EXPECT_EQ(back.ControlDownOnOK, c.controlDown);
    }
}

// Down-arrow in a text field or Control+H anywhere opens the history menu below the history
// button; choosing an entry fills the fields and, when the history says so, closes with OK.
TEST_F(LogOnFormTest, HistoryMenuFromTheKeysAndChoosingAnEntry) {
    LogonDialogState s = FullState();
    int menus = 0;
    s.HistoryMenu = [&] {
        ++menus;
        PopupMenuItem entry, separator, production, sub;
        entry.Caption = "scott@QUORVEL";
        entry.Tag = 0;
        separator.Separator = true;
        sub.Caption = "system@PROD as SYSDBA";
        sub.Tag = 1;
        production.Caption = "Production";
        production.Children = {sub};
        return std::vector<PopupMenuItem>{entry, separator, production};
    };
    s.HistoryChosen = [](int tag, LogonDialogState& st) {
        st.Username.Text = tag == 1 ? "system" : "scott";
        st.Password.Text = tag == 1 ? "manager" : "";
        st.Database.Text = tag == 1 ? "PROD" : "QUORVEL";
        st.ConnectAsIndex = tag == 1 ? 1 : 0;
        return !st.Password.Text.empty();
    };
    TLogOnForm form;
    form.LoadLogon(s);
    form.show();

    QTest::keyClick(form.UsernameEdit, Qt::Key_Down);
    EXPECT_EQ(menus, 1);
    EXPECT_TRUE(form.HistoryPopup->isVisible());
    const auto actions = form.HistoryPopup->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("scott@QUORVEL"));
    EXPECT_TRUE(actions[1]->isSeparator());
    ASSERT_NE(actions[2]->menu(), nullptr);
    EXPECT_EQ(actions[2]->text(), QStringLiteral("Production"));
    Save(*form.HistoryPopup, "quorvel-logon-history-menu.png");
    form.HistoryPopup->hide();

    // Down in the connect-as list belongs to the list; Control+H works there.
    QTest::keyClick(form.ConnectAsList, Qt::Key_Down);
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(form.ConnectAsList->currentIndex(), 1);
    QTest::keyClick(form.ConnectAsList, Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(menus, 2);
    form.HistoryPopup->hide();

    // An entry without a password fills the fields and waits (the menu was filled afresh).
    const auto refilled = form.HistoryPopup->actions();
    ASSERT_EQ(refilled.size(), 3);
    refilled[0]->trigger();
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.DatabaseEdit->text(), QStringLiteral("QUORVEL"));

    // Control+H also on a button and on the form itself.
    QTest::keyClick(form.CancelBtn, Qt::Key_H, Qt::ControlModifier);
    QTest::keyClick(&form, Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(menus, 4);
    form.HistoryPopup->hide();

    form.HistoryPopup->clear();
    QTest::keyClick(form.PasswordEdit, Qt::Key_H, Qt::ControlModifier);
    const auto again = form.HistoryPopup->actions();
    ASSERT_EQ(again.size(), 3);
    again[2]->menu()->actions()[0]->trigger();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(form.ControlDownOnOK());
    EXPECT_EQ(form.UsernameEdit->text(), QStringLiteral("system"));
    EXPECT_EQ(form.PasswordEdit->text(), QStringLiteral("manager"));
    EXPECT_EQ(form.ConnectAsList->currentIndex(), 1);

    // Without the history button the keys open nothing.
    LogonDialogState none = FullState();
    none.HistoryButtonVisible = false;
    none.HistoryMenu = s.HistoryMenu;
    TLogOnForm plain;
    plain.LoadLogon(none);
    plain.show();
    QTest::keyClick(plain.UsernameEdit, Qt::Key_Down);
    EXPECT_EQ(menus, 5);
}

TEST_F(LogOnFormTest, ThePasswordDialogsOnTheSameForm) {
    PasswordDialogState expired;
    expired.Caption = "Your password has expired";
    expired.OldPassword = {"Old password", "", false, true, true};
    expired.NewPassword = {"New password", "", true, true, true};
    expired.Verification = {"Verification", "", true, true, true};
    TLogOnForm form;
    form.LoadPassword(expired);
    form.show();
    EXPECT_EQ(form.size(), QSize(291, 120));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Your password has expired"));
    EXPECT_EQ(form.Label1->text(), QStringLiteral("New password"));
    EXPECT_EQ(form.Label2->text(), QStringLiteral("Verification"));
    EXPECT_EQ(form.UsernameEdit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(form.PasswordEdit->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(form.DBPanel->isVisible());
    EXPECT_FALSE(form.CAPanel->isVisible());
    EXPECT_FALSE(form.HistoryBtn->isVisible());
    EXPECT_EQ(form.focusWidget(), form.UsernameEdit);
    QTest::keyClicks(form.UsernameEdit, "lion");
    QTest::keyClicks(form.PasswordEdit, "LION");
    Save(form, "quorvel-expired-password-dialog.png");
    form.StorePassword(expired);
    EXPECT_EQ(expired.NewPassword.Text, "lion");
    EXPECT_EQ(expired.Verification.Text, "LION");

    PasswordDialogState change = expired;
    change.Caption = "Change password";
    change.OldPassword.Visible = true;
    TLogOnForm three;
    three.LoadPassword(change);
    three.show();
    EXPECT_EQ(three.size(), QSize(291, 146));
    EXPECT_TRUE(three.DBPanel->isVisible());
    EXPECT_EQ(three.Label3->text(), QStringLiteral("Verification"));
    EXPECT_EQ(three.DatabaseEdit->echoMode(), QLineEdit::Password);
    Save(three, "quorvel-change-password-dialog.png");
}

// The factories run the form modally and hand the user's input back.
TEST_F(LogOnFormTest, TheDialogsRunModally) {
    auto dialog = CreateQtLogonDialog();
    LogonDialogState s = FullState();
    QTimer::singleShot(0, [] {
        auto* form = dynamic_cast<TLogOnForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        form->PasswordEdit->setText(QStringLiteral("tiger"));
        form->OKBtn->click();
    });
    EXPECT_EQ(dialog->ShowModal(s), DialogResult::OK);
    EXPECT_EQ(s.Password.Text, "tiger");
    QTimer::singleShot(0, [] { dynamic_cast<TLogOnForm*>(QApplication::activeModalWidget())->CancelBtn->click(); });
    EXPECT_EQ(dialog->ShowModal(s), DialogResult::Cancel);

    auto password = CreateQtPasswordDialog();
    PasswordDialogState p;
    p.OldPassword.Visible = false;
    QTimer::singleShot(0, [] {
        auto* form = dynamic_cast<TLogOnForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        form->UsernameEdit->setText(QStringLiteral("new"));
        form->PasswordEdit->setText(QStringLiteral("new"));
        form->OKBtn->click();
    });
    EXPECT_EQ(password->ShowModal(p), DialogResult::OK);
    EXPECT_EQ(p.NewPassword.Text, "new");
    EXPECT_EQ(p.Verification.Text, "new");
}

} // namespace
