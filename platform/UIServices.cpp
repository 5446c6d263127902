#include "platform/UIServices.h"

#include "platform/HeadlessUIServices.h"
#include "platform/MainThread.h"

#include <atomic>

namespace quorvel::platform {

ILogonDialog::~ILogonDialog() = default;
IPasswordDialog::~IPasswordDialog() = default;
ISelectionDialog::~ISelectionDialog() = default;
IUIServices::~IUIServices() = default;

namespace {
HeadlessUIServices& DefaultServices() {
    static HeadlessUIServices services;
    return services;
}
std::atomic<IUIServices*> gServices{nullptr};
} // namespace

IUIServices& UIServices() {
    IUIServices* services = gServices.load();
    return services ? *services : DefaultServices();
}

IUIServices* SetUIServices(IUIServices* services) {
    IUIServices* previous = gServices.exchange(services);
    return previous ? previous : &DefaultServices();
}

ScopedCursor::ScopedCursor(CursorShape shape) {
    if (shape == crDefault) return;
    FPrevious = UIServices().Cursor();
    UIServices().SetCursor(shape);
    FActive = true;
}

ScopedCursor::~ScopedCursor() {
    if (FActive) UIServices().SetCursor(FPrevious);
}

// ---- headless -------------------------------------------------------------------------------

namespace {
DialogResult CautiousAnswer(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::OK: return DialogResult::OK;
    case MessageButtons::OKCancel:
    case MessageButtons::YesNoCancel:
    case MessageButtons::RetryCancel: return DialogResult::Cancel;
    case MessageButtons::YesNo: return DialogResult::No;
    case MessageButtons::AbortRetryIgnore: return DialogResult::Abort;
    }
    return DialogResult::Cancel;
}
} // namespace

class HeadlessUIServices::LogonDialog : public ILogonDialog {
public:
    explicit LogonDialog(HeadlessUIServices& owner) : FOwner(owner) {}
    DialogResult ShowModal(LogonDialogState& state) override {
        const DialogResult result =
            FOwner.RunDialog(FOwner.FLogonAnswers, state, UIRecord::Kind::LogonDialog, state.Caption);
        state.ControlDownOnOK = result == DialogResult::OK && FOwner.ControlKeyDown();
        return result;
    }

private:
    HeadlessUIServices& FOwner;
};

class HeadlessUIServices::PasswordDialog : public IPasswordDialog {
public:
    explicit PasswordDialog(HeadlessUIServices& owner) : FOwner(owner) {}
    DialogResult ShowModal(PasswordDialogState& state) override {
        return FOwner.RunDialog(FOwner.FPasswordAnswers, state, UIRecord::Kind::PasswordDialog, state.Caption);
    }

private:
    HeadlessUIServices& FOwner;
};

class HeadlessUIServices::SelectionDialog : public ISelectionDialog {
public:
    explicit SelectionDialog(HeadlessUIServices& owner) : FOwner(owner) {}
    DialogResult ShowModal(SelectionDialogState& state) override {
        return FOwner.RunDialog(FOwner.FSelectionAnswers, state, UIRecord::Kind::SelectionDialog, state.Caption);
    }

private:
    HeadlessUIServices& FOwner;
};

HeadlessUIServices::HeadlessUIServices() = default;
HeadlessUIServices::~HeadlessUIServices() = default;

void HeadlessUIServices::QueueAnswer(DialogResult answer) {
    std::lock_guard guard(FLock);
    FAnswers.push_back(answer);
}

void HeadlessUIServices::QueueLogonAnswer(DialogResult result, std::function<void(LogonDialogState&)> fill) {
    std::lock_guard guard(FLock);
    FLogonAnswers.push_back({result, std::move(fill)});
}

void HeadlessUIServices::QueuePasswordAnswer(DialogResult result, std::function<void(PasswordDialogState&)> fill) {
    std::lock_guard guard(FLock);
    FPasswordAnswers.push_back({result, std::move(fill)});
}

void HeadlessUIServices::QueueSelectionAnswer(DialogResult result,
                                              std::function<void(SelectionDialogState&)> fill) {
    std::lock_guard guard(FLock);
    FSelectionAnswers.push_back({result, std::move(fill)});
}

void HeadlessUIServices::SetControlKeyDown(bool down) {
    std::lock_guard guard(FLock);
    FControlDown = down;
}

void HeadlessUIServices::SetOnShown(std::function<void(const UIRecord&)> onShown) {
    std::lock_guard guard(FLock);
    FOnShown = std::move(onShown);
}

std::vector<UIRecord> HeadlessUIServices::Shown() const {
    std::lock_guard guard(FLock);
    return FShown;
}

std::vector<CursorShape> HeadlessUIServices::CursorChanges() const {
    std::lock_guard guard(FLock);
    return FCursorChanges;
}

int HeadlessUIServices::ProcessMessagesCalls() const {
    std::lock_guard guard(FLock);
    return FProcessMessagesCalls;
}

std::size_t HeadlessUIServices::PendingAnswers() const {
    std::lock_guard guard(FLock);
    return FAnswers.size() + FLogonAnswers.size() + FPasswordAnswers.size() + FSelectionAnswers.size();
}

void HeadlessUIServices::Clear() {
    std::lock_guard guard(FLock);
    FAnswers.clear();
    FLogonAnswers.clear();
    FPasswordAnswers.clear();
    FSelectionAnswers.clear();
    FShown.clear();
    FCursorChanges.clear();
    FCursor = crDefault;
    FControlDown = false;
    FProcessMessagesCalls = 0;
}

void HeadlessUIServices::Record(UIRecord record) {
    std::function<void(const UIRecord&)> onShown;
    {
        std::lock_guard guard(FLock);
        FShown.push_back(record);
        onShown = FOnShown;
    }
    if (onShown) onShown(record);
}

DialogResult HeadlessUIServices::MessageBox(const std::string& text, const std::string& title, MessageKind kind,
                                            MessageButtons buttons) {
    UIRecord record;
    record.What = UIRecord::Kind::MessageBox;
    record.Text = text;
    record.Title = title;
    record.Icon = kind;
    record.Buttons = buttons;
    {
        std::lock_guard guard(FLock);
        if (!FAnswers.empty()) {
            record.Answer = FAnswers.front();
            FAnswers.pop_front();
            record.Scripted = true;
        } else {
            record.Answer = CautiousAnswer(buttons);
        }
    }
    const DialogResult answer = record.Answer;
    Record(std::move(record));
    return answer;
}

bool HeadlessUIServices::Confirm(const std::string& text, const std::string& title) {
    UIRecord record;
    record.What = UIRecord::Kind::Confirm;
    record.Text = text;
    record.Title = title;
    record.Icon = MessageKind::Confirmation;
    record.Buttons = MessageButtons::YesNo;
    {
        std::lock_guard guard(FLock);
        record.Answer = DialogResult::No;
        if (!FAnswers.empty()) {
            record.Answer = FAnswers.front() == DialogResult::Yes ? DialogResult::Yes : DialogResult::No;
            FAnswers.pop_front();
            record.Scripted = true;
        }
    }
    const bool yes = record.Answer == DialogResult::Yes;
    Record(std::move(record));
    return yes;
}

CursorShape HeadlessUIServices::Cursor() const {
    std::lock_guard guard(FLock);
    return FCursor;
}

void HeadlessUIServices::SetCursor(CursorShape shape) {
    std::lock_guard guard(FLock);
    FCursor = shape;
    FCursorChanges.push_back(shape);
}

void HeadlessUIServices::ProcessMessages() {
    {
        std::lock_guard guard(FLock);
        ++FProcessMessagesCalls;
    }
    CheckSynchronize();
}

bool HeadlessUIServices::ControlKeyDown() const {
    std::lock_guard guard(FLock);
    return FControlDown;
}

template <typename State>
DialogResult HeadlessUIServices::RunDialog(std::deque<DialogAnswer<State>>& queue, State& state,
                                           UIRecord::Kind kind, const std::string& caption) {
    DialogAnswer<State> answer{DialogResult::Cancel, {}};
    bool scripted = false;
    {
        std::lock_guard guard(FLock);
        if (!queue.empty()) {
            answer = std::move(queue.front());
            queue.pop_front();
            scripted = true;
        }
    }
    if (answer.Fill) answer.Fill(state); // outside the lock: it may use these services
    UIRecord record;
    record.What = kind;
    record.Text = caption;
    record.Answer = answer.Result;
    record.Scripted = scripted;
    Record(std::move(record));
    return answer.Result;
}

std::unique_ptr<ILogonDialog> HeadlessUIServices::CreateLogonDialog() { return std::make_unique<LogonDialog>(*this); }

std::unique_ptr<IPasswordDialog> HeadlessUIServices::CreatePasswordDialog() {
    return std::make_unique<PasswordDialog>(*this);
}

std::unique_ptr<ISelectionDialog> HeadlessUIServices::CreateSelectionDialog() {
    return std::make_unique<SelectionDialog>(*this);
}

} // namespace quorvel::platform
