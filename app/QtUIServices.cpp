#include "app/QtUIServices.h"

#include "base/CodePage.h"
#include "base/Exception.h"
#include "oracle/logon/widgets/LogOnForm.h"
#include "platform/MainThread.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>

namespace quorvel {

using namespace platform;

namespace {

QString FromLocal(const std::string& s) {
    const std::u16string wide = AnsiToUtf16(s);
    return QString::fromUtf16(wide.data(), qsizetype(wide.size()));
}

QMessageBox::StandardButtons ButtonsOf(MessageButtons b) {
    switch (b) {
    case MessageButtons::OK: return QMessageBox::Ok;
    case MessageButtons::OKCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    case MessageButtons::AbortRetryIgnore: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(MessageKind k) {
    switch (k) {
    case MessageKind::None: return QMessageBox::NoIcon;
    case MessageKind::Information: return QMessageBox::Information;
    case MessageKind::Warning: return QMessageBox::Warning;
    case MessageKind::Error: return QMessageBox::Critical;
    case MessageKind::Confirmation: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

DialogResult ResultOf(int button) {
    switch (button) {
    case QMessageBox::Ok: return DialogResult::OK;
    case QMessageBox::Cancel: return DialogResult::Cancel;
    case QMessageBox::Yes: return DialogResult::Yes;
    case QMessageBox::No: return DialogResult::No;
    case QMessageBox::Abort: return DialogResult::Abort;
    case QMessageBox::Retry: return DialogResult::Retry;
    case QMessageBox::Ignore: return DialogResult::Ignore;
    default: return DialogResult::Cancel;
    }
}

[[noreturn]] void NotYet(const char* what) {
    throw Exception(std::string(what) + " is not available yet in this build");
}

} // namespace

TQtUIServices::TQtUIServices() {
    FPrevious = SetUIServices(this);
    // Work queued for the main thread runs from the Qt event loop.
    SetMainThreadWakeup([] {
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, [] { CheckSynchronize(); }, Qt::QueuedConnection);
    });
}

TQtUIServices::~TQtUIServices() {
    SetMainThreadWakeup({});
    while (FCursor != crDefault) SetCursor(crDefault);
    SetUIServices(FPrevious);
}

DialogResult TQtUIServices::MessageBox(const std::string& text, const std::string& title, MessageKind kind,
                                       MessageButtons buttons) {
    QMessageBox box(IconOf(kind), title.empty() ? QApplication::applicationDisplayName() : FromLocal(title),
                    FromLocal(text), ButtonsOf(buttons), QApplication::activeWindow());
    return ResultOf(box.exec());
}

bool TQtUIServices::Confirm(const std::string& text, const std::string& title) {
    return MessageBox(text, title, MessageKind::Confirmation, MessageButtons::YesNo) == DialogResult::Yes;
}

CursorShape TQtUIServices::Cursor() const { return FCursor; }

void TQtUIServices::SetCursor(CursorShape shape) {
    if (shape == FCursor) return;
    if (FCursor != crDefault) QGuiApplication::restoreOverrideCursor();
    if (shape != crDefault)
        QGuiApplication::setOverrideCursor(QCursor(shape == crHourGlass ? Qt::WaitCursor : Qt::BusyCursor));
    FCursor = shape;
}

void TQtUIServices::ProcessMessages() {
    QCoreApplication::processEvents();
    CheckSynchronize();
}

bool TQtUIServices::ControlKeyDown() const {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
}

std::unique_ptr<ILogonDialog> TQtUIServices::CreateLogonDialog() { return CreateQtLogonDialog(); }
std::unique_ptr<IPasswordDialog> TQtUIServices::CreatePasswordDialog() { return CreateQtPasswordDialog(); }
std::unique_ptr<ISelectionDialog> TQtUIServices::CreateSelectionDialog() { NotYet("The selection dialog"); }

} // namespace quorvel
