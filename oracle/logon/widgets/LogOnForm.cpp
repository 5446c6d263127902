#include "oracle/logon/widgets/LogOnForm.h"

#include "base/CodePage.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

namespace quorvel {

using platform::DialogResult;
using platform::DialogTextField;
using platform::LogonDialogState;
using platform::PasswordDialogState;
using platform::PopupMenuItem;

namespace {

// The design: client area and the parts' rectangles with every row shown.
constexpr int kWidth = 291;
constexpr int kHeight = 175;
constexpr int kMargin = 7;             // GroupBox left margin
constexpr int kButtonPanelHeight = 38;
constexpr int kGroupTop = 7, kGroupWidth = 278, kGroupHeight = 124;
constexpr int kBevel = 2;              // raised inner and lowered outer bevel, one pixel each
constexpr int kDBPanelHeight = 26;
constexpr int kCAPanelHeight = 29;
constexpr int kImageWidth = 24;

// Masked fields show "*" for every character, whatever the platform's style would use.
class TAsteriskStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QString FromLocal(const std::string& s) {
    const std::u16string wide = AnsiToUtf16(s);
    return QString::fromUtf16(wide.data(), qsizetype(wide.size()));
}

std::string ToLocal(const QString& s) {
    return Utf16ToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size())));
}

QLabel* RightLabel(QWidget* parent, int x, int y, int w, int h) {
    auto* label = new QLabel(parent);
    label->setGeometry(x, y, w, h);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

void LoadField(QLabel* label, QLineEdit* edit, const DialogTextField& field) {
    label->setText(FromLocal(field.Label));
    edit->setText(FromLocal(field.Text));
    edit->setEchoMode(field.Masked ? QLineEdit::Password : QLineEdit::Normal);
    label->setEnabled(field.Enabled);
    edit->setEnabled(field.Enabled);
}

void AddMenuItems(QMenu* menu, const std::vector<PopupMenuItem>& items) {
    for (const PopupMenuItem& item : items) {
        if (item.Separator) {
            menu->addSeparator();
        } else if (!item.Children.empty() || item.Tag < 0) {
            QMenu* sub = menu->addMenu(FromLocal(item.Caption));
            AddMenuItems(sub, item.Children);
        } else {
            QAction* action = menu->addAction(FromLocal(item.Caption));
            action->setData(item.Tag);
        }
    }
}

} // namespace

TLogOnForm::TLogOnForm(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(10);
    setFont(font);
    setFixedSize(kWidth, kHeight);
    // Centred on the primary screen as it is created, before the rows and the picture change
    // its size.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desk = screen->availableGeometry();
        move(desk.center() - QPoint(kWidth / 2, kHeight / 2));
    }

    LogonImage = new QLabel(this);
    LogonImage->setAlignment(Qt::AlignCenter);
    LogonImage->setAttribute(Qt::WA_TranslucentBackground);
    LogonImage->hide();

    ButtonPanel = new QWidget(this);
    OKBtn = new QPushButton(ButtonPanel);
    OKBtn->setDefault(true);
    OKBtn->setAutoDefault(true);
    CancelBtn = new QPushButton(ButtonPanel);
    CancelBtn->setAutoDefault(false);
    connect(OKBtn, &QPushButton::clicked, this, [this] { AcceptOK(); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { reject(); });

    GroupBox = new QFrame(this);
    // A lowered outer and a raised inner bevel, one pixel each.
    GroupBox->setFrameStyle(QFrame::Box | QFrame::Sunken);
    GroupBox->setLineWidth(1);
    GroupBox->setMidLineWidth(0);

    Label1 = RightLabel(GroupBox, 7, 20, 93, 15);
    UsernameEdit = new QLineEdit(GroupBox);
    UsernameEdit->setGeometry(104, 16, 150, 23);
    HistoryBtn = new QToolButton(GroupBox);
    HistoryBtn->setGeometry(257, 16, 16, 21);
    HistoryBtn->setArrowType(Qt::DownArrow);
    HistoryBtn->setAutoRaise(false);
    HistoryBtn->setFocusPolicy(Qt::NoFocus);
    HistoryBtn->hide();
    connect(HistoryBtn, &QToolButton::clicked, this, [this] { ShowHistoryMenu(); });
    Label2 = RightLabel(GroupBox, 7, 46, 93, 15);
    PasswordEdit = new QLineEdit(GroupBox);
    PasswordEdit->setGeometry(104, 42, 150, 23);
    PasswordEdit->setEchoMode(QLineEdit::Password);

    DBPanel = new QWidget(GroupBox);
    Label3 = RightLabel(DBPanel, 7, 3, 91, 15);
    DatabaseEdit = new QLineEdit(DBPanel);
    DatabaseEdit->setGeometry(102, 0, 151, 23);
    AliasList = new QComboBox(DBPanel);
    AliasList->setGeometry(182, 0, 72, 21);
    AliasList->setEditable(true);
    AliasList->setInsertPolicy(QComboBox::NoInsert);
    AliasList->completer()->setCompletionMode(QCompleter::InlineCompletion);
    AliasList->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    AliasList->hide();

    CAPanel = new QWidget(GroupBox);
    Label4 = RightLabel(CAPanel, 7, 3, 91, 15);
    ConnectAsList = new QComboBox(CAPanel);
    ConnectAsList->setGeometry(102, 0, 78, 21);
    ConnectAsList->addItems({QStringLiteral("Normal"), QStringLiteral("SYSDBA"), QStringLiteral("SYSOPER")});

    HistoryPopup = new QMenu(this);
    connect(HistoryPopup, &QMenu::triggered, this, [this](QAction* action) {
        bool ok = false;
        const int tag = action->data().toInt(&ok);
        if (ok) HistoryEntryChosen(tag);
    });

    auto* masking = new TAsteriskStyle;
    masking->setParent(this);
    for (QLineEdit* edit : {UsernameEdit, PasswordEdit, DatabaseEdit}) edit->setStyle(masking);

    setTabOrder(UsernameEdit, PasswordEdit);
    setTabOrder(PasswordEdit, DatabaseEdit);
    setTabOrder(DatabaseEdit, AliasList);
    setTabOrder(AliasList, ConnectAsList);
    setTabOrder(ConnectAsList, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
    // The form sees the keys before the field that has the focus.
    for (QWidget* w : {static_cast<QWidget*>(UsernameEdit), static_cast<QWidget*>(PasswordEdit),
                       static_cast<QWidget*>(DatabaseEdit), static_cast<QWidget*>(AliasList),
                       static_cast<QWidget*>(ConnectAsList), static_cast<QWidget*>(OKBtn),
                       static_cast<QWidget*>(CancelBtn)})
        w->installEventFilter(this);
    if (AliasList->lineEdit()) AliasList->lineEdit()->installEventFilter(this);
    installEventFilter(this);

    Arrange(0, true, true);
}

TLogOnForm::~TLogOnForm() = default;

void TLogOnForm::Arrange(int pictureWidth, bool databaseRow, bool connectAsRow) {
    const int shift = pictureWidth > 0 ? pictureWidth + 3 * kMargin : 0;
    const int left = pictureWidth > 0 ? pictureWidth + 4 * kMargin : kMargin;
    int groupHeight = kGroupHeight;
    if (!databaseRow) groupHeight -= kDBPanelHeight;
    if (!connectAsRow) groupHeight -= kCAPanelHeight;
    const int width = kWidth + shift;
    const int height = kHeight - (kGroupHeight - groupHeight);
    setFixedSize(width, height);

    ButtonPanel->setGeometry(0, height - kButtonPanelHeight, width, kButtonPanelHeight);
    OKBtn->setGeometry(left, 5, 78, 27);
    // As designed the buttons stand 9 pixels apart; next to a picture Cancel follows OK at the margin.
    CancelBtn->setGeometry(pictureWidth > 0 ? left + 78 + kMargin : 94, 5, 79, 27);
    GroupBox->setGeometry(left, kGroupTop, kGroupWidth, groupHeight);
    LogonImage->setGeometry(0, 0, pictureWidth > 0 ? pictureWidth + 4 * kMargin : kImageWidth,
                            height - kButtonPanelHeight);
    LogonImage->setVisible(pictureWidth > 0);

    // Rows aligned at the bottom of the group box, inside its bevels: connect-as lowest.
    int bottom = groupHeight - kBevel;
    CAPanel->setVisible(connectAsRow);
    if (connectAsRow) {
        bottom -= kCAPanelHeight;
        CAPanel->setGeometry(kBevel, bottom, kGroupWidth - 2 * kBevel, kCAPanelHeight);
    }
    DBPanel->setVisible(databaseRow);
    if (databaseRow) {
        bottom -= kDBPanelHeight;
        DBPanel->setGeometry(kBevel, bottom, kGroupWidth - 2 * kBevel, kDBPanelHeight);
    }
}

void TLogOnForm::LoadLogon(const LogonDialogState& state) {
    FState = state;
    FHistory = true;
    FUseAliasList = state.UseAliasList;

    int pictureWidth = 0;
    if (!state.Picture.empty()) {
        QPixmap picture;
        if (picture.loadFromData(reinterpret_cast<const uchar*>(state.Picture.data()), uint(state.Picture.size())) &&
            picture.width() > 0) {
            pictureWidth = picture.width();
            LogonImage->setPixmap(picture);
        }
    }

    setWindowTitle(FromLocal(state.Caption));
    OKBtn->setText(FromLocal(state.OKCaption));
    CancelBtn->setText(FromLocal(state.CancelCaption));
    LoadField(Label1, UsernameEdit, state.Username);
    LoadField(Label2, PasswordEdit, state.Password);
    Label3->setText(FromLocal(state.Database.Label));
    Label4->setText(FromLocal(state.ConnectAsLabel));

    if (state.UseAliasList) {
        AliasList->clear();
        for (const std::string& alias : state.Aliases) AliasList->addItem(FromLocal(alias));
        AliasList->setMaxVisibleItems(state.AliasDropDownCount > 0 ? state.AliasDropDownCount : 1);
        AliasList->setGeometry(DatabaseEdit->geometry());
        AliasList->setEditText(FromLocal(state.Database.Text));
        AliasList->show();
        DatabaseEdit->hide();
    } else {
        AliasList->hide();
        DatabaseEdit->show();
        DatabaseEdit->setText(FromLocal(state.Database.Text));
    }
    Label3->setEnabled(state.Database.Enabled);
    DatabaseEdit->setEnabled(state.Database.Enabled);
    AliasList->setEnabled(state.Database.Enabled);

    if (!state.ConnectAsItems.empty()) {
        ConnectAsList->clear();
        for (const std::string& item : state.ConnectAsItems) ConnectAsList->addItem(FromLocal(item));
    }
    ConnectAsList->setCurrentIndex(state.ConnectAsIndex >= 0 && state.ConnectAsIndex < ConnectAsList->count()
                                       ? state.ConnectAsIndex
                                       : 0);
    Label4->setEnabled(state.ConnectAsEnabled);
    ConnectAsList->setEnabled(state.ConnectAsEnabled);

    HistoryBtn->setVisible(state.HistoryButtonVisible);
    HistoryBtn->setEnabled(state.HistoryButtonEnabled);
    HistoryBtn->setToolTip(FromLocal(state.HistoryButtonHint));

    Arrange(pictureWidth, state.Database.Visible, state.ConnectAsVisible);
    FFirstFocus = state.FocusPassword || !UsernameEdit->isEnabled() ? PasswordEdit : UsernameEdit;
    FControlDownOnOK = false;
}

void TLogOnForm::StoreLogon(LogonDialogState& state) const {
    state.Username.Text = ToLocal(UsernameEdit->text());
    state.Password.Text = ToLocal(PasswordEdit->text());
    state.Database.Text = ToLocal(FUseAliasList ? AliasList->currentText() : DatabaseEdit->text());
    state.ConnectAsIndex = ConnectAsList->currentIndex();
    state.ControlDownOnOK = FControlDownOnOK;
}

void TLogOnForm::LoadPassword(const PasswordDialogState& state) {
    FHistory = false;
    FUseAliasList = false;
    setWindowTitle(FromLocal(state.Caption));
    OKBtn->setText(FromLocal(state.OKCaption));
    CancelBtn->setText(FromLocal(state.CancelCaption));
    std::vector<const DialogTextField*> fields;
    for (const DialogTextField* f : {&state.OldPassword, &state.NewPassword, &state.Verification})
        if (f->Visible) fields.push_back(f);
    const DialogTextField none;
    LoadField(Label1, UsernameEdit, fields.size() > 0 ? *fields[0] : none);
    LoadField(Label2, PasswordEdit, fields.size() > 1 ? *fields[1] : none);
    LoadField(Label3, DatabaseEdit, fields.size() > 2 ? *fields[2] : none);
    AliasList->hide();
    DatabaseEdit->show();
    HistoryBtn->hide();
    Arrange(0, fields.size() > 2, false);
    FFirstFocus = UsernameEdit;
    FControlDownOnOK = false;
}

void TLogOnForm::StorePassword(PasswordDialogState& state) const {
    std::vector<DialogTextField*> fields;
    for (DialogTextField* f : {&state.OldPassword, &state.NewPassword, &state.Verification})
        if (f->Visible) fields.push_back(f);
    const QLineEdit* edits[] = {UsernameEdit, PasswordEdit, DatabaseEdit};
    for (size_t i = 0; i < fields.size() && i < 3; ++i) fields[i]->Text = ToLocal(edits[i]->text());
}

void TLogOnForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (FFirstFocus) FFirstFocus->setFocus(Qt::OtherFocusReason);
}

void TLogOnForm::AcceptOK() {
    FControlDownOnOK = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
    accept();
}

bool TLogOnForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool control = key->modifiers().testFlag(Qt::ControlModifier);
        if (control && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            FControlDownOnOK = true;
            accept();
            return true;
        }
        const bool textField = watched == UsernameEdit || watched == PasswordEdit || watched == DatabaseEdit;
        if ((control && key->key() == Qt::Key_H) ||
            (textField && key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier)) {
            ShowHistoryMenu();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TLogOnForm::ShowHistoryMenu() {
    // Only the logon dialog has a history, and only when its button is offered.
    if (!FHistory || !HistoryBtn->isVisible() || !HistoryBtn->isEnabled() || !FState.HistoryMenu) return;
    HistoryPopup->clear();
    AddMenuItems(HistoryPopup, FState.HistoryMenu());
    if (HistoryPopup->isEmpty()) return;
    HistoryPopup->popup(HistoryBtn->mapToGlobal(HistoryBtn->rect().bottomLeft()));
}

void TLogOnForm::HistoryEntryChosen(int tag) {
    if (!FState.HistoryChosen) return;
    StoreLogon(FState);
    const bool close = FState.HistoryChosen(tag, FState);
    UsernameEdit->setText(FromLocal(FState.Username.Text));
    PasswordEdit->setText(FromLocal(FState.Password.Text));
    if (FUseAliasList)
        AliasList->setEditText(FromLocal(FState.Database.Text));
    else
        DatabaseEdit->setText(FromLocal(FState.Database.Text));
    if (CAPanel->isVisibleTo(this)) ConnectAsList->setCurrentIndex(FState.ConnectAsIndex);
    if (close) {
        FControlDownOnOK = false;
        accept();
    }
}

namespace {

QWidget* DialogParent() { return QApplication::activeWindow(); }

class QtLogonDialog : public platform::ILogonDialog {
public:
    DialogResult ShowModal(LogonDialogState& state) override {
        if (!FForm) FForm = std::make_unique<TLogOnForm>(DialogParent());
        FForm->LoadLogon(state);
        const int result = FForm->exec();
        if (result != QDialog::Accepted) return DialogResult::Cancel;
        FForm->StoreLogon(state);
        return DialogResult::OK;
    }

private:
    std::unique_ptr<TLogOnForm> FForm;
};

class QtPasswordDialog : public platform::IPasswordDialog {
public:
    DialogResult ShowModal(PasswordDialogState& state) override {
        if (!FForm) FForm = std::make_unique<TLogOnForm>(DialogParent());
        FForm->LoadPassword(state);
        const int result = FForm->exec();
        if (result != QDialog::Accepted) return DialogResult::Cancel;
        FForm->StorePassword(state);
        return DialogResult::OK;
    }

private:
    std::unique_ptr<TLogOnForm> FForm;
};

} // namespace

std::unique_ptr<platform::ILogonDialog> CreateQtLogonDialog() { return std::make_unique<QtLogonDialog>(); }
std::unique_ptr<platform::IPasswordDialog> CreateQtPasswordDialog() { return std::make_unique<QtPasswordDialog>(); }

} // namespace quorvel
