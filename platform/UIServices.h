#pragma once
// What the library asks of a user interface: message boxes, confirmations, the mouse cursor,
// processing pending messages, the Control key, and its modal dialogs.
//
// One implementation is registered for the process. Until the GUI registers its Qt one, a
// headless implementation (HeadlessUIServices.h) answers, so the library, console mode and
// tests never need a window.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvel::platform {

enum class MessageKind { None, Information, Warning, Error, Confirmation };
enum class MessageButtons { OK, OKCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class DialogResult { None, OK, Cancel, Yes, No, Abort, Retry, Ignore };

// Screen cursor values as the components store them: 0 leaves the shape alone / the normal
// arrow, -11 the hourglass (busy) shape. Other values are passed through to the toolkit.
using CursorShape = int;
inline constexpr CursorShape crDefault = 0;
inline constexpr CursorShape crHourGlass = -11;

// ---- dialogs --------------------------------------------------------------------------------
// The library's logic fills a dialog's state, shows it modally and reads the state back; the
// user interface only presents it.

struct DialogTextField {
    std::string Label;
    std::string Text;
    bool Visible = true;
    bool Enabled = true;
    bool Masked = false; // shows "*" for every character
};

// An entry of a pop-up menu: a caption with a tag handed back when chosen, a separator line,
// or a submenu of its children.
struct PopupMenuItem {
    std::string Caption;
    int Tag = -1;
    bool Separator = false;
    std::vector<PopupMenuItem> Children;
};

struct LogonDialogState {
    std::string Caption;
    std::string OKCaption = "OK";
    std::string CancelCaption = "Cancel";
    std::string Picture; // encoded image shown at the left; empty for none
    DialogTextField Username;
    DialogTextField Password;
    DialogTextField Database;
    // With UseAliasList the database is chosen from (or typed into) a drop-down of Aliases
    // showing AliasDropDownCount rows; its text is Database.Text.
    bool UseAliasList = false;
    std::vector<std::string> Aliases;
    int AliasDropDownCount = 8;
    std::string ConnectAsLabel;
    std::vector<std::string> ConnectAsItems; // e.g. Normal, SYSDBA, SYSOPER
    int ConnectAsIndex = 0;
    bool ConnectAsVisible = false;
    bool ConnectAsEnabled = true;
    bool HistoryButtonVisible = false;
    bool HistoryButtonEnabled = false;
    std::string HistoryButtonHint;
    // Called when the user opens the history menu; returns its items.
    std::function<std::vector<PopupMenuItem>()> HistoryMenu;
    // Called with the tag of the chosen entry; may change the fields. Returning true closes the
    // dialog with OK at once.
    std::function<bool(int tag, LogonDialogState& state)> HistoryChosen;
    // Set by the dialog: whether the Control key was down when it was closed with OK.
    bool ControlDownOnOK = false;
    // Where the focus starts when the dialog is shown: the password field instead of the user
    // name field (the user name is filled in or cannot be edited).
    bool FocusPassword = false;
};

struct PasswordDialogState {
    std::string Caption;
    std::string OKCaption = "OK";
    std::string CancelCaption = "Cancel";
    DialogTextField OldPassword;   // hidden for an expired password
    DialogTextField NewPassword;
    DialogTextField Verification;
};

struct SelectionDialogState {
    std::string Caption;
    std::vector<std::string> Items;
    int ItemIndex = -1; // the chosen item; -1 for none
    std::string CheckBoxCaption;
    bool CheckBoxVisible = false;
    bool Checked = false;
    std::string OKCaption = "OK";
    std::string CancelCaption = "Cancel";
};

class ILogonDialog {
public:
    virtual ~ILogonDialog();
    virtual DialogResult ShowModal(LogonDialogState& state) = 0;
};

class IPasswordDialog {
public:
    virtual ~IPasswordDialog();
    virtual DialogResult ShowModal(PasswordDialogState& state) = 0;
};

class ISelectionDialog {
public:
    virtual ~ISelectionDialog();
    virtual DialogResult ShowModal(SelectionDialogState& state) = 0;
};

// ---- the services ---------------------------------------------------------------------------

class IUIServices {
public:
    virtual ~IUIServices();

    virtual DialogResult MessageBox(const std::string& text, const std::string& title, MessageKind kind,
                                    MessageButtons buttons) = 0;
    // A confirmation with Yes and No buttons: true for Yes.
    virtual bool Confirm(const std::string& text, const std::string& title) = 0;
    virtual CursorShape Cursor() const = 0;
    virtual void SetCursor(CursorShape shape) = 0;
    // Handles pending user-interface events and runs work queued for the main thread
    // (MainThread.h); called by the library while it waits.
    virtual void ProcessMessages() = 0;
    virtual bool ControlKeyDown() const = 0;

    virtual std::unique_ptr<ILogonDialog> CreateLogonDialog() = 0;
    virtual std::unique_ptr<IPasswordDialog> CreatePasswordDialog() = 0;
    virtual std::unique_ptr<ISelectionDialog> CreateSelectionDialog() = 0;
};

// The registered implementation; the headless one until another is registered.
IUIServices& UIServices();
// Registers services for the process (nullptr returns to the headless default) and gives back
// the one registered before. The caller keeps ownership and unregisters before destroying it.
IUIServices* SetUIServices(IUIServices* services);

// Shows the given cursor for the life of the object and restores the previous one after,
// also when leaving by an exception. crDefault leaves the cursor alone.
class ScopedCursor {
public:
    explicit ScopedCursor(CursorShape shape);
    ~ScopedCursor();
    ScopedCursor(const ScopedCursor&) = delete;
    ScopedCursor& operator=(const ScopedCursor&) = delete;

private:
    bool FActive = false;
    CursorShape FPrevious = crDefault;
};

} // namespace quorvel::platform
