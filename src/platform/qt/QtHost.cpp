#include "platform/qt/QtHost.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <stdexcept>

#include "platform/qt/BlockingPump.h"
#include "platform/qt/CoarseClock.h"
#include "platform/qt/DialogBuilder.h"
#include "platform/qt/FileChooser.h"
#include "platform/qt/MenuBar.h"
#include "platform/qt/QtDialogView.h"
#include "platform/qt/QtText.h"
#include "platform/qt/SelectOnFocus.h"
#include "platform/qt/TemplateDialog.h"
#include "resources/Resource.h"
#include "resources/Strings.h"

namespace {

// Pumping more often than this only burns time: an idle processEvents() costs microseconds,
// and a copy loop pumps twice after every 1 KB block. The interval is read from the coarse
// monotonic clock (a memory read, a quarter of steady_clock's cost) whose tick (4 ms on this
// kind of kernel) makes the real interval: the event loop is still served every few ms.
constexpr int64_t kMinPumpIntervalMs = 2;

}  // namespace

using namespace qthost;

// ---- construction ----

QtHost::QtHost(LogicFactory makeLogic, QWidget* parent)
    : QDialog(parent, FrameFlags(TemplateOrThrow(IDD_MAIN).style, true)), m_units(DialogFont()) {
    const DialogTemplate& t = TemplateOrThrow(IDD_MAIN);
    setFont(DialogFont());
    setWindowTitle(QString::fromUtf8(t.caption));
    setWindowIcon(ProgramIcon());
    setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // fixed frame: the client keeps its size
    m_menuBar = new QMenuBar(this);
    m_menuBar->setNativeMenuBar(false);
    layout->setMenuBar(m_menuBar);
    m_client = new QWidget(this);
    layout->addWidget(m_client);

    for (const BuiltControl& b : BuildControls(t, m_client, m_units)) {
        if (b.tmpl->id == IDC_STATIC) continue;
        m_controls[b.tmpl->id] = b.widget;
        if (auto* button = qobject_cast<QPushButton*>(b.widget)) {
            int id = b.tmpl->id;
            connect(button, &QPushButton::clicked, this,
                    [this, id] { logic().OnCommand(id, false); });
        }
    }
    FillMenuBar(
        *m_menuBar, *this, [this](int command) { logic().OnCommand(command, true); },
        [this] { return m_enabled; });
    SelectOnFocus::Install(m_client);

    m_logic = makeLogic(*this);
    if (!m_logic) throw std::invalid_argument("QtHost: the logic factory returned null");
    m_logic->OnInitDialog();
}

QtHost::~QtHost() {
    // Views outliving the window keep a null dialog (QPointer); just forget them.
    m_views.Clear();
}

QWidget* QtHost::control(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QString QtHost::AppName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

// ---- keyboard and closing ----

void QtHost::keyPressEvent(QKeyEvent* e) {
    if (!m_enabled) {
        e->accept();
        return;
    }
    if (IsEnter(e)) {
        // A control that keeps Enter (its template says so) never lets it come this far.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            if (button->isEnabled()) button->click();
            return;
        }
        // Everything else that lets Enter through gives the OK command.
        if (logic().OnOKCommand()) accept();
        return;
    }
    if (e->key() == Qt::Key_Escape) {
        reject();
        return;
    }
    QDialog::keyPressEvent(e);
}

void QtHost::reject() {
    // A disabled window takes neither Escape nor its close box.
    if (!m_enabled) return;
    if (logic().OnCancelCommand()) QDialog::reject();
}

void QtHost::closeEvent(QCloseEvent* e) {
    if (!m_enabled) {
        e->ignore();
        return;
    }
    QDialog::closeEvent(e);
}

// ---- controls ----

void QtHost::SetDlgItemText(int id, const std::string& text) {
    if (QWidget* w = control(id)) SetWidgetText(w, text);
}

std::string QtHost::GetDlgItemText(int id) {
    QWidget* w = control(id);
    return w ? WidgetText(w) : std::string();
}

void QtHost::AddComboItem(int id, const std::string& item) {
    if (auto* c = qobject_cast<QComboBox*>(control(id))) {
        // Adding the first item would select it and replace the edit text; keep what is there.
        QString keep = c->currentText();
        c->addItem(ToQ(item));
        c->setCurrentIndex(-1);
        c->setEditText(keep);
    }
}

void QtHost::SetFocus(int id) {
    if (QWidget* w = control(id)) w->setFocus(Qt::OtherFocusReason);
}

void QtHost::InvalidateRect(bool /*erase*/) {
    update();
}

void QtHost::UpdateWindow() {
    FlushViews();
    repaint();
}

void QtHost::EnableWindow(bool enable) {
    // Through the gate, not setEnabled: the controls keep their look and the focused control
    // keeps the focus, and a modeless child window stays usable (a disabled Qt parent would
    // disable it too).
    m_enabled = enable;
    m_gate->SetEnabled(this, enable);
    if (!enable && m_menuBar->activeAction()) m_menuBar->setActiveAction(nullptr);
}

// ---- timers ----

void QtHost::SetTimer(unsigned id, uint32_t elapseMs) {
    int period = static_cast<int>(std::min<uint32_t>(elapseMs, 0x7FFFFFFF));
    if (timerPeriodForTest) period = timerPeriodForTest(id, period);
    if (blockingPump) blockingPump->Forget(id);
    m_timers.Start(id, period);
}

void QtHost::KillTimer(unsigned id) {
    if (blockingPump) blockingPump->Forget(id);
    m_timers.Kill(id);
}

void QtHost::OnTimerFired(unsigned id) {
    if (blockingPump && blockingPump->Defer(id)) return;  // fires once after the blocked step
    logic().OnTimerEvent(id);
}

// ---- message loop and modeless views ----

bool QtHost::PumpDue() const {
    return CoarseNowMs() - m_lastPumpMs >= kMinPumpIntervalMs;
}

void QtHost::PumpMessages() {
    if (!PumpDue()) return;
    // Stored view texts are applied by the refresh timer inside this pass once they are due.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_lastPumpMs = CoarseNowMs();
}

void QtHost::RegisterView(QtDialogView* view) {
    m_views.Register(view);
}

void QtHost::UnregisterView(QtDialogView* view) {
    m_views.Unregister(view);
    m_popups.Release(view);
}

QWidget* QtHost::LastActivePopup() const {
    return m_popups.Top();
}

void QtHost::FlushViews() {
    m_views.Flush();
}

void QtHost::ScheduleFlush() {
    m_views.Schedule();
}

// ---- boxes and dialogs ----

int QtHost::RunModal(QDialog& dialog) {
    if (onModalShown) {
        QPointer<QDialog> guard(&dialog);
        QTimer::singleShot(0, &dialog, [this, guard] {
            if (guard && onModalShown) onModalShown(*guard);
        });
    }
    FlushViews();
    return m_popups.Exec(dialog);
}

int QtHost::ShowMessageBox(QWidget* owner, const std::string& text, unsigned type) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if ((type & 0xF0) == MB_ICONSTOP) icon = QMessageBox::Critical;
    if ((type & 0xF0) == MB_ICONEXCLAMATION) icon = QMessageBox::Warning;
    if ((type & 0xF0) == MB_ICONQUESTION) icon = QMessageBox::Question;
    const bool yesNo = (type & 0xF) == MB_YESNO;
    QMessageBox box(icon, AppName(), ToQ(text),
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    owner ? owner : this);
    box.setTextFormat(Qt::PlainText);
    box.setFont(DialogFont());
    if (type & MB_SYSTEMMODAL) box.setWindowModality(Qt::ApplicationModal);
    if (yesNo) {
        // The program's own words, whatever translation of the toolkit is loaded.
        box.button(QMessageBox::Yes)->setText(ToQ(Str(Sid::ButtonYes)));
        box.button(QMessageBox::No)->setText(ToQ(Str(Sid::ButtonNo)));
        box.setDefaultButton((type & MB_DEFBUTTON2) ? QMessageBox::No : QMessageBox::Yes);
    }
    RunModal(box);
    if (!yesNo) return IDOK;
    return box.clickedButton() == box.button(QMessageBox::Yes) ? IDYES : IDNO;
}

int QtHost::MessageBox(const std::string& text, unsigned type) {
    return ShowMessageBox(this, text, type);
}

bool QtHost::Guarded(const std::function<void()>& fn) {
    bool done = false;
    logic().RunGuarded(
        [&] {
            fn();
            done = true;
        },
        false);
    return done;
}

bool QtHost::FileDialog(bool open, const std::string& initialPath, std::string& chosenPath) {
    return ChooseFile(this, open, initialPath, chosenPath,
                      [this](QDialog& dialog) { return RunModal(dialog); });
}

int QtHost::DoModal(int templateId, DialogHandler& handler) {
    const DialogTemplate& t = TemplateOrThrow(templateId);
    TemplateDialog dlg(t, handler, *this, /*modeless=*/false, this);
    QtDialogView view(*this, &dlg, /*owning=*/false);
    if (!Guarded([&] { handler.OnInitDialog(view); })) return IDCANCEL;
    return RunModal(dlg) == QDialog::Accepted ? IDOK : IDCANCEL;
}

std::unique_ptr<DialogView> QtHost::CreateModeless(int templateId, DialogHandler& handler) {
    const DialogTemplate* t = FindTemplate(templateId);
    if (!t) return nullptr;
    // Over a box that is open now, not under it (see PopupStack).
    QWidget* owner = m_popups.Top();
    auto* dlg = new TemplateDialog(*t, handler, *this, /*modeless=*/true, owner);
    auto view = std::make_unique<QtDialogView>(*this, dlg, /*owning=*/true);
    m_popups.DisableOwner(view.get(), owner);
    handler.OnInitDialog(*view);
    view->Flush();
    // At the owner's client origin (below the menu bar of the main window).
    dlg->move((owner == this ? m_client : owner)->mapToGlobal(QPoint(0, 0)));
    m_popups.Push(dlg);
    dlg->show();
    dlg->activateWindow();
    return view;
}

// ---- runtime ----

int64_t QtHost::Now() {
    return static_cast<int64_t>(std::time(nullptr));
}

void QtHost::ExitProcess(int status) {
    std::exit(status);
}

void QtHost::CheckMenuItem(int command) {
    for (QAction* a : m_menuBar->findChildren<QAction*>())
        if (a->isCheckable() && a->data().toInt() == command) a->setChecked(true);
}
