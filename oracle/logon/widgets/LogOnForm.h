#pragma once
// TLogOnForm: the logon dialog on Qt widgets, and the same form relabelled for changing a
// password. A fixed-size, stay-on-top dialog; the positions of its parts are those of its
// design (client area 291 x 175 with every row shown), rows that are not used are hidden and the
// form shrinks by their height, and a picture widens it by a strip at the left.
//
// Keys, offered to the form before the field that has the focus: Control+Enter closes it with
// OK (the log-on is then not recorded in the history), Down-arrow in a text field or Control+H
// anywhere opens the history menu below the history button.
#include <QDialog>

#include <memory>

#include "platform/UIServices.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;
class QWidget;

namespace quorvel {

class TLogOnForm : public QDialog {
public:
    explicit TLogOnForm(QWidget* parent = nullptr);
    ~TLogOnForm() override;

    // The logon dialog: fills the form from state / reads what the user entered back into it.
    void LoadLogon(const platform::LogonDialogState& state);
    void StoreLogon(platform::LogonDialogState& state) const;
    // The password dialog: the visible ones of old password, new password and verification take
    // the user name, password and database rows in that order.
    void LoadPassword(const platform::PasswordDialogState& state);
    void StorePassword(platform::PasswordDialogState& state) const;

    // Fills HistoryPopup from the history and pops it up below the history button; choosing an
    // entry fills the fields, and closes the form with OK when the history says so.
    void ShowHistoryMenu();
    bool ControlDownOnOK() const { return FControlDownOnOK; }

    // The parts, named as the design names them.
    QLabel* LogonImage = nullptr;
    QWidget* ButtonPanel = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QFrame* GroupBox = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* UsernameEdit = nullptr;
    QToolButton* HistoryBtn = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* PasswordEdit = nullptr;
    QWidget* DBPanel = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* DatabaseEdit = nullptr;
    QComboBox* AliasList = nullptr;
    QWidget* CAPanel = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* ConnectAsList = nullptr;
    QMenu* HistoryPopup = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Arrange(int pictureWidth, bool databaseRow, bool connectAsRow);
    void HistoryEntryChosen(int tag);
    void AcceptOK();

    platform::LogonDialogState FState;   // the logon dialog's state while it is shown
    bool FHistory = false;
    bool FUseAliasList = false;
    bool FControlDownOnOK = false;
    QWidget* FFirstFocus = nullptr;
};

// The dialogs of the user-interface services on this form.
std::unique_ptr<platform::ILogonDialog> CreateQtLogonDialog();
std::unique_ptr<platform::IPasswordDialog> CreateQtPasswordDialog();

} // namespace quorvel
