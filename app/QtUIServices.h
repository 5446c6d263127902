#pragma once
// The user-interface services on Qt widgets, registered by the installer for its lifetime.
#include "platform/UIServices.h"

namespace quorvel {

class TQtUIServices : public platform::IUIServices {
public:
    // Registers itself and installs the main-thread wake-up on the Qt event loop; a
    // QApplication must exist.
    TQtUIServices();
    ~TQtUIServices() override;
    TQtUIServices(const TQtUIServices&) = delete;
    TQtUIServices& operator=(const TQtUIServices&) = delete;

    platform::DialogResult MessageBox(const std::string& text, const std::string& title, platform::MessageKind kind,
                                      platform::MessageButtons buttons) override;
    bool Confirm(const std::string& text, const std::string& title) override;
    platform::CursorShape Cursor() const override;
    void SetCursor(platform::CursorShape shape) override;
    void ProcessMessages() override;
    bool ControlKeyDown() const override;
    std::unique_ptr<platform::ILogonDialog> CreateLogonDialog() override;
    std::unique_ptr<platform::IPasswordDialog> CreatePasswordDialog() override;
    std::unique_ptr<platform::ISelectionDialog> CreateSelectionDialog() override;

private:
    platform::IUIServices* FPrevious = nullptr;
    platform::CursorShape FCursor = platform::crDefault;
};

} // namespace quorvel
