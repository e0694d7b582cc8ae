#include "platform/qt/QtHost.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <stdexcept>

#include "platform/Exceptions.h"
#include "platform/OsPath.h"
#include "resources/Text.h"
#include "platform/qt/BlockingPump.h"
#include "platform/qt/InputGate.h"
#include "platform/qt/QtDialogView.h"
#include "platform/qt/QtSupport.h"
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
// Texts of modeless views that change after every block reach the widgets (and so the screen)
// at most this often: 25 repaints a second read as continuous, 500 only burn the copy's CPU.
constexpr int64_t kViewRefreshMs = 40;

// Lets a tap of Alt put the menu bar into keyboard mode (first menu highlighted, arrows move,
// Down opens), as on most Linux desktops; Qt's own default style leaves Alt alone.
class AltNavigationStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* ret) const override {
        if (hint == SH_MenuBar_AltKeyNavigation) return 1;
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};

// The clock's text ("12月07日　 05:37:12") is wider in the dialog font than its box: Latin digits
// of the stand-in face are wider than in the face the layout was drawn with, while the dialog
// units (from the A..z average) are right for everything else. The box keeps its template
// rectangle; its text gets a horizontally narrowed face, just enough for the widest clock text.
void FitClockText(QLineEdit* clock) {
    QFont font = clock->font();
    const QFontMetricsF plain(font);
    QChar widest = u'0';
    for (char16_t d = u'1'; d <= u'9'; ++d)
        if (plain.horizontalAdvance(QChar(d)) > plain.horizontalAdvance(widest)) widest = d;
    QString sample = QStringLiteral("00月00日\u3000 00:00:00");
    sample.replace(u'0', widest);
    // The line edit's text area: inside the frame and its fixed 2-pixel side margins, with one
    // pixel for the cursor.
    const int frame = clock->hasFrame() ? clock->style()->pixelMetric(QStyle::PM_DefaultFrameWidth,
                                                                      nullptr, clock)
                                        : 0;
    const qreal room = clock->width() - 2 * frame - 2 * 2 - 1;
    for (int stretch = 100; stretch >= 70; --stretch) {
        font.setStretch(stretch);
        if (QFontMetricsF(font).horizontalAdvance(sample) <= room) break;
    }
    if (font.stretch() != 100) clock->setFont(font);
}

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
    m_gate = new InputGate(this);
    // A click into a disabled window brings the window that stands over it forward, with a
    // beep, as the desktop does for a window that waits for its dialog.
    m_gate->onRefusedClick = [this](QWidget* refused) {
        QWidget* top = LastActivePopup();
        if (top == refused || !top->isVisible()) return;
        QApplication::beep();
        top->raise();
        top->activateWindow();
    };
    // Switching to a disabled window (the task switcher, a click on its task-bar entry) brings
    // up the window it waits for, with the keyboard, as the desktop does for a window that owns
    // an open dialog; otherwise the keys would go to a window that refuses them.
    m_gate->onActivated = [this](QWidget* refused) {
        QWidget* top = LastActivePopup();
        if (top == refused || !top->isVisible()) return;
        QTimer::singleShot(0, top, [top] { top->activateWindow(); });
    };
    m_flushTimer = new QTimer(this);
    m_flushTimer->setSingleShot(true);
    m_flushTimer->setTimerType(Qt::PreciseTimer);
    connect(m_flushTimer, &QTimer::timeout, this, &QtHost::FlushViews);

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
    BuildMenu();
    if (auto* clock = qobject_cast<QLineEdit*>(control(IDC_CLOCK))) FitClockText(clock);
    SelectOnFocus::Install(m_client);

    m_logic = makeLogic(*this);
    if (!m_logic) throw std::invalid_argument("QtHost: the logic factory returned null");
    m_logic->OnInitDialog();
}

QtHost::~QtHost() {
    // Views outliving the window keep a null dialog (QPointer); just forget them.
    m_views.clear();
}

void QtHost::BuildMenu() {
    std::function<void(QMenu*, std::span<const MenuTemplate>)> fill =
        [&](QMenu* menu, std::span<const MenuTemplate> items) {
            for (const MenuTemplate& m : items) {
                if (!m.text) {
                    menu->addSeparator();
                } else if (!m.items.empty()) {
                    fill(menu->addMenu(QString::fromUtf8(m.text)), m.items);
                } else {
                    int command = m.command;
                    QAction* a = menu->addAction(QString::fromUtf8(m.text));
                    connect(a, &QAction::triggered, this,
                            [this, command] { logic().OnCommand(command, true); });
                }
            }
        };
    for (const MenuTemplate& top : MainMenu())
        fill(m_menuBar->addMenu(QString::fromUtf8(top.text)), top.items);

    // The menu texts carry no mnemonics, so the keyboard reaches the menu bar the desktop way:
    // F10 opens the first menu, a tap of Alt highlights it; the arrow keys move on from there.
    auto* style = new AltNavigationStyle;
    style->setParent(this);  // a later child than the menu bar: it outlives its user
    m_menuBar->setStyle(style);
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this, &QtHost::OpenMenuBar);
}

void QtHost::OpenMenuBar() {
    if (!m_enabled || m_menuBar->actions().isEmpty()) return;
    m_menuBar->setActiveAction(m_menuBar->actions().first());
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
        QWidget* focus = focusWidget();
        if (auto* button = qobject_cast<QPushButton*>(focus)) {
            if (button->isEnabled()) button->click();
            return;
        }
        QWidget* log = control(IDC_LOG);
        if (log && focus && (focus == log || log->isAncestorOf(focus)))
            return;  // the log takes no Enter
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
    QDialog::reject();
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

QTimer* QtHost::ArmTimer(unsigned id, int periodMs) {
    auto* timer = new QTimer(this);
    // A coarse timer of 20 s or more is rounded to whole seconds, and shorter ones may be off
    // by 5 %; the watchdog, the schedule check and the deadline must keep their period.
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(periodMs);
    connect(timer, &QTimer::timeout, this, [this, id, timer] { OnTimerFired(id, timer); });
    timer->start();
    return timer;
}

void QtHost::SetTimer(unsigned id, uint32_t elapseMs) {
    int period = static_cast<int>(std::min<uint32_t>(elapseMs, 0x7FFFFFFF));
    if (timerPeriodForTest) period = timerPeriodForTest(id, period);
    KillTimer(id);
    m_timers[id] = ArmTimer(id, period);
}

void QtHost::KillTimer(unsigned id) {
    auto it = m_timers.find(id);
    if (blockingPump) blockingPump->Forget(id);
    if (it == m_timers.end()) return;
    it->second->stop();
    it->second->deleteLater();  // may be the timer whose handler is running right now
    m_timers.erase(it);
}

void QtHost::OnTimerFired(unsigned id, QTimer* fired) {
    auto it = m_timers.find(id);
    if (it == m_timers.end() || it->second != fired) return;  // killed or replaced meanwhile
    // Qt never re-enters a timer's own handler, but the program wants the Win32 behaviour: the
    // tick fires again inside the download the tick started. So a fresh timer takes over the
    // id before the logic runs.
    int period = fired->interval();
    fired->stop();
    fired->deleteLater();
    it->second = ArmTimer(id, period);
    if (blockingPump && blockingPump->Defer(id)) return;  // fires once after the blocked step
    logic().OnTimerEvent(id);
}

// ---- message loop ----

void QtHost::PumpMessages() {
    if (CoarseNowMs() - m_lastPumpMs < kMinPumpIntervalMs) return;
    // Stored view texts are applied by the flush timer inside this pass once they are due.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_lastPumpMs = CoarseNowMs();
}

void QtHost::RegisterView(QtDialogView* view) {
    m_views.push_back(view);
}

void QtHost::UnregisterView(QtDialogView* view) {
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
    auto it = m_disabledOwners.find(view);
    if (it == m_disabledOwners.end()) return;
    if (it->second) m_gate->SetEnabled(it->second, true);
    m_disabledOwners.erase(it);
}

QWidget* QtHost::LastActivePopup() const {
    for (auto it = m_popups.rbegin(); it != m_popups.rend(); ++it)
        if (*it && (*it)->isVisible()) return it->data();
    return const_cast<QtHost*>(this);
}

void QtHost::FlushViews() {
    m_flushTimer->stop();
    m_lastFlushMs = CoarseNowMs();
    for (QtDialogView* v : m_views) v->Flush();
}

void QtHost::ScheduleFlush() {
    if (m_flushTimer->isActive()) return;
    // A text after a quiet spell shows at the next pass of the event loop; a stream of them
    // (a status line per block) is shown kViewRefreshMs after the last flush.
    int64_t since = CoarseNowMs() - m_lastFlushMs;
    m_flushTimer->start(
        static_cast<int>(std::clamp<int64_t>(kViewRefreshMs - since, 0, kViewRefreshMs)));
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
    QPointer<QWidget> active = QApplication::activeWindow();
    m_popups.emplace_back(&dialog);
    const int result = dialog.exec();
    std::erase_if(m_popups, [&dialog](const QPointer<QWidget>& p) { return !p || p == &dialog; });
    // The window the box stood over takes the activation back, and with it the control that
    // had the focus (Qt keeps a window's focus widget across a deactivation).
    QWidget* now = QApplication::activeWindow();
    if (active && active->isVisible() && (!now || now == &dialog)) active->activateWindow();
    return result;
}

int QtHost::ShowMessageBox(QWidget* owner, const std::string& text, unsigned type) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if ((type & 0xF0) == MB_ICONSTOP) icon = QMessageBox::Critical;
    if ((type & 0xF0) == MB_ICONEXCLAMATION) icon = QMessageBox::Warning;
    QMessageBox box(icon, AppName(), ToQ(text), QMessageBox::Ok, owner ? owner : this);
    box.setTextFormat(Qt::PlainText);
    box.setFont(DialogFont());
    if (type & MB_SYSTEMMODAL) box.setWindowModality(Qt::ApplicationModal);
    RunModal(box);
    return IDOK;
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
    QFileDialog dlg(this);
    dlg.setOption(QFileDialog::DontUseNativeDialog);  // a modal loop of ours: timers go on
    dlg.setFont(DialogFont());
    dlg.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dlg.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // The label keeps the classic "*.*", but on this file system that pattern would hide every
    // name without a dot; the model underneath gets "*". Set before the initial name, which a
    // save dialog would otherwise rewrite to the filter's suffix.
    dlg.setNameFilter(ToQ(Str(Sid::FileFilterAll)));
    auto matchAll = [&dlg] {
        if (auto* model = dlg.findChild<QFileSystemModel*>())
            model->setNameFilters({QStringLiteral("*")});
    };
    matchAll();
    connect(&dlg, &QFileDialog::filterSelected, &dlg, matchAll);
    // Choosing a filter in a save dialog gives the typed name the filter's suffix ("Pomvex.txt"
    // becomes "Pomvex.*" with the one filter "*.*"). The name is the user's: that step goes;
    // the model's patterns are kept by matchAll above.
    if (auto* types = dlg.findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        QObject::disconnect(types, SIGNAL(activated(int)), &dlg, SLOT(_q_useNameFilter(int)));

    // Names cross to and from the file system through the one boundary (ospath), never as
    // toolkit text.
    QFileInfo initial(initialPath.empty() ? QString()
                                          : QFile::decodeName(QByteArray::fromStdString(
                                                ospath::ToSystem(initialPath))));
    if (!initialPath.empty()) {
        if (initial.isDir()) {
            dlg.setDirectory(initial.absoluteFilePath());
        } else {
            dlg.setDirectory(initial.absolutePath());
            dlg.selectFile(initial.fileName());
        }
    }
    if (RunModal(dlg) != QDialog::Accepted) return false;
    QStringList files = dlg.selectedFiles();
    if (files.isEmpty()) return false;
    QByteArray system = QFile::encodeName(files.first());
    auto chosen = ospath::FromSystem(system.toStdString());
    if (!chosen)
        throw CTextException(
            FormatStr(Sid::ChosenNameNotShowable, {ospath::Displayable(system.toStdString())}));
    chosenPath = std::move(*chosen);
    return true;
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
    // Over a box that is open now, not under it: the box's modal loop would block a window
    // outside it, so the new window is its child and the box is disabled meanwhile.
    std::erase_if(m_popups, [](const QPointer<QWidget>& p) { return !p; });
    QWidget* owner = LastActivePopup();
    auto* dlg = new TemplateDialog(*t, handler, *this, /*modeless=*/true, owner);
    auto view = std::make_unique<QtDialogView>(*this, dlg, /*owning=*/true);
    if (owner != this && m_gate->IsEnabled(owner)) {
        m_gate->SetEnabled(owner, false);
        m_disabledOwners[view.get()] = owner;
    }
    handler.OnInitDialog(*view);
    view->Flush();
    // At the owner's client origin (below the menu bar of the main window).
    dlg->move((owner == this ? m_client : owner)->mapToGlobal(QPoint(0, 0)));
    m_popups.emplace_back(dlg);
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
