#pragma once
// User-interface services without a window: everything shown is recorded, and answers come
// from a script (queues filled beforehand). Used by tests and by console mode.
//
// Without a scripted answer a message box gives its most cautious button (OK when it is the
// only one, otherwise Cancel, No or Abort), a confirmation gives No and a dialog is cancelled,
// so nothing unattended ever agrees to something by default.
#include "platform/UIServices.h"

#include <deque>
#include <mutex>

namespace quorvel::platform {

struct UIRecord {
    enum class Kind { MessageBox, Confirm, LogonDialog, PasswordDialog, SelectionDialog };
    Kind What = Kind::MessageBox;
    std::string Text;  // message text, or the dialog's caption
    std::string Title; // message title
    MessageKind Icon = MessageKind::None;
    MessageButtons Buttons = MessageButtons::OK;
    DialogResult Answer = DialogResult::None;
    bool Scripted = false; // the answer came from the script, not the default
};

class HeadlessUIServices : public IUIServices {
public:
    HeadlessUIServices();
    ~HeadlessUIServices() override;

    // ---- the script ----
    // Answers of message boxes and confirmations, in order (Yes or No for a confirmation).
    void QueueAnswer(DialogResult answer);
    // A dialog answer: fill changes the state as a user would, then the dialog closes with result.
    void QueueLogonAnswer(DialogResult result, std::function<void(LogonDialogState&)> fill = {});
    void QueuePasswordAnswer(DialogResult result, std::function<void(PasswordDialogState&)> fill = {});
    void QueueSelectionAnswer(DialogResult result, std::function<void(SelectionDialogState&)> fill = {});
    void SetControlKeyDown(bool down);
    // Called for every record as it is made (console mode prints messages here).
    void SetOnShown(std::function<void(const UIRecord&)> onShown);

    // ---- what happened ----
    std::vector<UIRecord> Shown() const;
    std::vector<CursorShape> CursorChanges() const;
    int ProcessMessagesCalls() const;
    // Answers queued but not used.
    std::size_t PendingAnswers() const;
    void Clear();

    // ---- IUIServices ----
    DialogResult MessageBox(const std::string& text, const std::string& title, MessageKind kind,
                            MessageButtons buttons) override;
    bool Confirm(const std::string& text, const std::string& title) override;
    CursorShape Cursor() const override;
    void SetCursor(CursorShape shape) override;
    void ProcessMessages() override;
    bool ControlKeyDown() const override;
    std::unique_ptr<ILogonDialog> CreateLogonDialog() override;
    std::unique_ptr<IPasswordDialog> CreatePasswordDialog() override;
    std::unique_ptr<ISelectionDialog> CreateSelectionDialog() override;

private:
    template <typename State>
    struct DialogAnswer {
        DialogResult Result;
        std::function<void(State&)> Fill;
    };
    template <typename State>
    DialogResult RunDialog(std::deque<DialogAnswer<State>>& queue, State& state, UIRecord::Kind kind,
                           const std::string& caption);
    void Record(UIRecord record);

    class LogonDialog;
    class PasswordDialog;
    class SelectionDialog;

    mutable std::mutex FLock;
    std::deque<DialogResult> FAnswers;
    std::deque<DialogAnswer<LogonDialogState>> FLogonAnswers;
    std::deque<DialogAnswer<PasswordDialogState>> FPasswordAnswers;
    std::deque<DialogAnswer<SelectionDialogState>> FSelectionAnswers;
    std::vector<UIRecord> FShown;
    std::vector<CursorShape> FCursorChanges;
    std::function<void(const UIRecord&)> FOnShown;
    CursorShape FCursor = crDefault;
    bool FControlDown = false;
    int FProcessMessagesCalls = 0;
};

} // namespace quorvel::platform
