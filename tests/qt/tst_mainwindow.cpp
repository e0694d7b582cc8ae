// The main window as the user meets it: defaults, layout against the template, tab order,
// Enter/Escape, the closing length check, the question before a running night ends, the error
// wrapper's box, timers that fire inside their own handler, and the template dialogs the host
// builds.
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/TextInput.h"
#include "platform/qt/QtHost.h"
#include "qt/QtTestSupport.h"
#include "resources/Cp932.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "resources/Templates.h"
#include "window/PomvexDlg.h"

namespace {

struct SeenBox {
    QString text;
    QMessageBox::Icon icon;
    QString caption;
};

// Types `s` into `w` key by key, as a keyboard (or an input method) would.
void typeText(QWidget* w, const QString& s) {
    for (QChar ch : s) {
        QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}
std::string Cp(const char* utf8) {
    return *text::Utf8ToCp932(utf8);
}

// "終了" would end the test: the status is recorded and the command leaves through the wrapper.
class ExitRecordingHost : public QtHost {
  public:
    using QtHost::QtHost;
    [[noreturn]] void ExitProcess(int status) override {
        exitStatus = status;
        throw status;
    }
    int exitStatus = -1;
};

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    NoInternet m_internet;
    std::vector<SeenBox> m_boxes;

    // A fresh main window whose boxes are recorded and answered with OK at once.
    std::unique_ptr<QtHost> makeHost() {
        auto host = std::make_unique<QtHost>(
            [this](Host& h) { return std::make_unique<TestDlg>(h, m_internet); });
        host->onModalShown = [this](QDialog& d) {
            if (auto* box = qobject_cast<QMessageBox*>(&d)) {
                m_boxes.push_back({box->text(), box->icon(), box->windowTitle()});
                box->button(QMessageBox::Ok)->click();
            }
        };
        return host;
    }
    static TestDlg& logicOf(QtHost& h) { return static_cast<TestDlg&>(h.logic()); }
    static void showActive(QtHost& h) {
        h.show();
        h.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&h));
    }
    static QComboBox* combo(QtHost& h, int id) { return qobject_cast<QComboBox*>(h.control(id)); }

  private slots:
    void initTestCase() {
        QVERIFY(m_home.isValid());
        qputenv("POMVEX_HOME", QFile::encodeName(m_home.path() + "/Pomvex"));
    }
    void init() { m_boxes.clear(); }

    void defaults_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("items");
        auto range = [](int first, int last, int step) {
            QStringList l;
            for (int n = first; n <= last; n += step) l << QString::number(n);
            return l;
        };
        QTest::newRow("IDC_MONTH") << IDC_MONTH << "11" << range(1, 12, 1);
        QTest::newRow("IDC_DAY") << IDC_DAY << "28" << range(1, 31, 1);
        // Numeric order: "10" after "9", not after "1".
        QTest::newRow("IDC_HOUR") << IDC_HOUR << "0" << range(0, 23, 1);
        QTest::newRow("IDC_MINUTE") << IDC_MINUTE << "0" << range(0, 50, 10);
        QTest::newRow("IDC_DURATION") << IDC_DURATION << "2" << range(1, 4, 1);
    }
    void defaults() {
        QFETCH(int, id);
        QFETCH(QString, start);
        QFETCH(QStringList, items);
        auto host = makeHost();
        QComboBox* c = combo(*host, id);
        QVERIFY(c);
        QCOMPARE(c->currentText(), start);
        QCOMPARE(c->currentIndex(), -1);  // a start text, not a selected item
        QStringList got;
        for (int i = 0; i < c->count(); ++i) got << c->itemText(i);
        QCOMPARE(got, items);
    }

    void startTexts() {
        auto host = makeHost();
        QtHost& h = *host;
        const std::string folder = m_home.path().toStdString() + "/Pomvex";
        QCOMPARE(h.GetDlgItemText(IDC_SAVE_DIR), folder + "/");
        QVERIFY(QDir(QString::fromStdString(folder)).exists());
        QCOMPARE(h.GetDlgItemText(IDC_LOG), Cp("LOGを表示します\r\n"));
        QCOMPARE(qobject_cast<QPlainTextEdit*>(h.control(IDC_LOG))->toPlainText(),
                 U("LOGを表示します\n"));
        QCOMPARE(h.GetDlgItemText(IDC_LIST), Str(Sid::PlaceholderLine1) + "\r\n" +
                                                 Str(Sid::PlaceholderLine2) + "\r\n" +
                                                 Str(Sid::PlaceholderExampleUrl) + "\r\n");
        for (int id : {IDC_URL, IDC_CLOCK, IDC_STATE})
            QCOMPARE(h.GetDlgItemText(id), std::string());
        TestDlg& d = logicOf(h);
        QCOMPARE(d.batch().Cursor(), 0);
        QCOMPARE(int(d.batch().Idle()), 1);
        QCOMPARE(int(d.batch().Armed()), 0);
        QVERIFY(d.batch().Log().empty());
        QVERIFY(d.batch().GetSchedule().m_strMonth.empty());

        showActive(h);
        QCOMPARE(h.focusWidget(), h.control(IDC_LIST));
        for (auto* b : h.findChildren<QPushButton*>())
            QVERIFY(!b->isDefault() && !b->autoDefault());
        QVERIFY(h.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(h.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(h.minimumSize(), h.maximumSize());
        QCOMPARE(h.windowTitle(), U("Pomvex"));
        QVERIFY(m_boxes.empty());
    }

    void secondStartShowsNoBox() {
        auto first = makeHost();
        first.reset();
        auto second = makeHost();
        showActive(*second);
        QTest::qWait(50);
        QVERIFY(m_boxes.empty());
        QVERIFY(second->isVisible());
    }

    void layout_data() {
        QTest::addColumn<int>("index");
        const DialogTemplate* t = FindTemplate(IDD_MAIN);
        for (size_t i = 0; i < t->controls.size(); ++i) {
            const ControlTemplate& c = t->controls[i];
            QByteArray name = QByteArray::number(int(i + 1)) + " id " + QByteArray::number(c.id) +
                              " \"" + c.text + "\"";
            QTest::newRow(name.constData()) << int(i);
        }
    }
    void layout() {
        QFETCH(int, index);
        auto host = makeHost();
        const DialogTemplate* t = FindTemplate(IDD_MAIN);
        const ControlTemplate& c = t->controls[index];
        const qthost::DialogUnits& u = host->units();
        QCOMPARE(host->client()->size(), u.Size(359, 281));

        // Every widget sits on the client at the template's rectangle; find it by position for
        // the unnamed statics and by id for the rest.
        QWidget* w = nullptr;
        if (c.id != IDC_STATIC) {
            w = host->control(c.id);
        } else {
            for (QLabel* l : host->client()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
                if (l->text() == U(c.text)) w = l;
        }
        QVERIFY2(w, "control not built");
        QCOMPARE(w->parentWidget(), host->client());
        QRect want = u.ControlRect(c);
        QCOMPARE(w->geometry(), want);
        // Back through the mapping: the pixel rectangle gives the template's dialog units.
        auto back = [](int px, int unit, int div) { return (px * div + unit / 2) / unit; };
        QCOMPARE(back(w->x(), u.avgCharWidth(), 4), c.x);
        QCOMPARE(back(w->y(), u.charHeight(), 8), c.y);
        QCOMPARE(back(w->width(), u.avgCharWidth(), 4), c.w);
        QCOMPARE(back(w->height(), u.charHeight(), 8),
                 c.kind == Kind::ComboDropDown ? qthost::kComboClosedDlu : c.h);

        switch (c.kind) {
            case Kind::Static:
                QVERIFY(qobject_cast<QLabel*>(w));
                break;
            case Kind::StaticIcon:
                QVERIFY(qobject_cast<QLabel*>(w));
                break;
            case Kind::Edit: {
                auto* e = qobject_cast<QLineEdit*>(w);
                QVERIFY(e);
                QCOMPARE(e->isReadOnly(), bool(c.flags & ReadOnly));
                break;
            }
            case Kind::MultiEdit: {
                auto* m = qobject_cast<QPlainTextEdit*>(w);
                QVERIFY(m);
                QCOMPARE(m->isReadOnly(), bool(c.flags & ReadOnly));
                QCOMPARE(m->lineWrapMode(), QPlainTextEdit::NoWrap);
                QVERIFY(m->tabChangesFocus());
                break;
            }
            case Kind::PushButton:
                QVERIFY(qobject_cast<QPushButton*>(w));
                QCOMPARE(qobject_cast<QPushButton*>(w)->text(), U(c.text));
                break;
            case Kind::ComboDropDown: {
                auto* cb = qobject_cast<QComboBox*>(w);
                QVERIFY(cb && cb->isEditable());
                QCOMPARE(cb->insertPolicy(), QComboBox::NoInsert);
                break;
            }
            case Kind::ProgressBar:
                QVERIFY(qobject_cast<QProgressBar*>(w));
                break;
        }
    }

    void menu() {
        auto host = makeHost();
        showActive(*host);
        QMenuBar* bar = host->findChild<QMenuBar*>();
        QVERIFY(bar);
        QStringList top;
        for (QAction* a : bar->actions()) top << a->text();
        QCOMPARE(top, QStringList({U("ファイル"), U("ツール"), U("ヘルプ")}));
        // The client keeps its template size below the bar.
        QVERIFY(host->client()->y() >= bar->height());
    }

    void tabOrder() {
        auto host = makeHost();
        showActive(*host);
        std::vector<int> want;
        for (const ControlTemplate& c : FindTemplate(IDD_MAIN)->controls)
            if (c.flags & TabStop) want.push_back(c.id);
        QCOMPARE(want.front(), IDC_LIST);
        std::vector<int> got;
        for (size_t i = 0; i < want.size(); ++i) {
            QWidget* f = QApplication::focusWidget();
            int id = 0;
            for (int candidate : want) {
                QWidget* w = host->control(candidate);
                if (w && (w == f || w->isAncestorOf(f))) id = candidate;
            }
            got.push_back(id);
            QTest::keyClick(f, Qt::Key_Tab);
        }
        QCOMPARE(got, want);
        // ... and round again to IDC_LIST.
        QCOMPARE(QApplication::focusWidget(), host->control(IDC_LIST));
    }

    void enterInSaveDirCloses() {
        auto host = makeHost();
        showActive(*host);
        QTest::keyClick(host->control(IDC_SAVE_DIR), Qt::Key_Return);
        QVERIFY(!host->isVisible());
        QCOMPARE(host->result(), int(QDialog::Accepted));
        TestDlg& d = logicOf(*host);
        QCOMPARE(d.batch().GetSchedule().m_strMonth, std::string("11"));
        QCOMPARE(d.batch().GetSchedule().m_strDuration, std::string("2"));
        QCOMPARE(d.ListOnClose(), host->GetDlgItemText(IDC_LIST));
        QVERIFY(m_boxes.empty());
    }

    void lengthCheck_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("closes");
        QTest::newRow("two digits") << U("12") << true;
        QTest::newRow("three digits") << U("123") << false;
        QTest::newRow("one double-byte char (2 bytes)") << U("あ") << true;
        QTest::newRow("double-byte char and one more") << U("あ1") << false;
        QTest::newRow("two half-width kana (2 bytes)") << U("ｱｲ") << true;
        QTest::newRow("empty") << QString() << true;
    }
    void lengthCheck() {
        QFETCH(QString, typed);
        QFETCH(bool, closes);
        auto host = makeHost();
        showActive(*host);
        QLineEdit* field = combo(*host, IDC_MONTH)->lineEdit();
        field->clear();
        typeText(field, typed);
        QCOMPARE(combo(*host, IDC_MONTH)->currentText(), typed);
        QTest::keyClick(field, Qt::Key_Return);  // Enter in the combo's own field
        const std::string bytes = text::Utf8ToCp932OrThrow(typed.toStdString());
        QCOMPARE(logicOf(*host).batch().GetSchedule().m_strMonth, bytes);
        QCOMPARE(host->isVisible(), !closes);
        if (closes) {
            QVERIFY(m_boxes.empty());
            return;
        }
        QCOMPARE(int(m_boxes.size()), 1);
        QCOMPARE(m_boxes[0].text, U("2 文字以内で入力してください。"));
        QCOMPARE(m_boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(m_boxes[0].caption, QtHost::AppName());
        QWidget* f = host->focusWidget();
        QVERIFY(f == host->control(IDC_MONTH) || host->control(IDC_MONTH)->isAncestorOf(f));
        // The later steps did not run.
        QVERIFY(logicOf(*host).batch().GetSchedule().m_strDay.empty());
    }

    void escapeClosesWithoutExchange_data() {
        QTest::addColumn<int>("id");
        QTest::newRow("IDC_LIST") << IDC_LIST;
        QTest::newRow("IDC_LOG") << IDC_LOG;
        QTest::newRow("IDC_SAVE_DIR") << IDC_SAVE_DIR;
        QTest::newRow("IDC_GET") << IDC_GET;
    }
    void escapeClosesWithoutExchange() {
        QFETCH(int, id);
        auto host = makeHost();
        showActive(*host);
        host->control(id)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!host->isVisible());
        QCOMPARE(host->result(), int(QDialog::Rejected));
        QVERIFY(logicOf(*host).batch().GetSchedule().m_strMonth.empty());
        QVERIFY(logicOf(*host).ListOnClose().empty());
    }

    // While a batch runs or the timer is armed, every way out asks first, "いいえ" the default.
    void askBeforeEnding_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("yes");
        for (const char* path : {"Escape", "Enter in 保存場所", "close box", "終了"}) {
            QTest::addRow("%s, no batch", path) << path << "idle" << false;
            for (const char* state : {"batch", "armed"})
                for (bool yes : {true, false})
                    QTest::addRow("%s, %s, %s", path, state, yes ? "はい" : "いいえ")
                        << path << state << yes;
        }
    }
    void askBeforeEnding() {
        QFETCH(QString, path);
        QFETCH(QString, state);
        QFETCH(bool, yes);
        ExitRecordingHost h([this](Host& h) { return std::make_unique<TestDlg>(h, m_internet); });
        QStringList asked;
        h.onModalShown = [&](QDialog& d) {
            auto* box = qobject_cast<QMessageBox*>(&d);
            if (QAbstractButton* no = box->button(QMessageBox::No)) {
                asked << box->text() + (box->defaultButton() == no ? " default " : " ") +
                             no->text();
                box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
            } else {
                box->button(QMessageBox::Ok)->click();  // the wrapper's box after 終了
            }
        };
        showActive(h);
        TestDlg& d = logicOf(h);
        if (state != "idle") d.OnCommand(state == "batch" ? IDC_GET : IDC_GET_LATER, false);
        combo(h, IDC_MONTH)->setEditText("12");
        auto fields = [&] {
            return QStringLiteral("cursor %1, armed %2, month '%3', list copy of %4 bytes")
                .arg(d.batch().Cursor())
                .arg(d.batch().Armed())
                .arg(d.batch().GetSchedule().m_strMonth.c_str())
                .arg(d.ListOnClose().size());
        };
        const QString before = fields();
        if (path == "Escape") QTest::keyClick(h.control(IDC_LIST), Qt::Key_Escape);
        if (path == "Enter in 保存場所") QTest::keyClick(h.control(IDC_SAVE_DIR), Qt::Key_Return);
        if (path == "close box") h.close();
        if (path == "終了") d.OnCommand(ID_FILE_EXIT, true);
        const QString words = state == "batch" ? "ダウンロード中" : "タイマー作動中";
        QCOMPARE(asked, state == "idle"
                            ? QStringList()
                            : QStringList(words + "です。終了しますか? default いいえ(&N)"));
        const bool ended = path == "終了" ? h.exitStatus == 0 : !h.isVisible();
        QCOMPARE(ended, state == "idle" || yes);
        if (!ended) QCOMPARE(fields(), before);  // the armed schedule and the list copy too
    }

    void enterInsideTheWindow() {
        auto host = makeHost();
        showActive(*host);
        TestDlg& d = logicOf(*host);
        d.recordCommands = true;

        // IDC_LIST: a line break; CR LF comes back between lines, none added at the end.
        host->SetDlgItemText(IDC_LIST, "");
        QTest::keyClicks(host->control(IDC_LIST), "a");
        QTest::keyClick(host->control(IDC_LIST), Qt::Key_Return);
        QTest::keyClicks(host->control(IDC_LIST), "b");
        QCOMPARE(host->GetDlgItemText(IDC_LIST), std::string("a\r\nb"));
        QVERIFY(host->isVisible());

        // IDC_LOG: nothing at all.
        host->control(IDC_LOG)->setFocus();
        QTest::keyClick(host->control(IDC_LOG), Qt::Key_Return);
        QVERIFY(host->isVisible());
        QCOMPARE(host->GetDlgItemText(IDC_LOG), Cp("LOGを表示します\r\n"));

        // A focused push button is pressed.
        host->control(IDC_NEXT)->setFocus();
        QTest::keyClick(host->control(IDC_NEXT), Qt::Key_Return);
        QVERIFY(host->isVisible());
        QCOMPARE(d.commands, (std::vector<std::pair<int, bool>>{{IDC_NEXT, false}}));
        QVERIFY(d.batch().GetSchedule().m_strMonth.empty());  // no data exchange
    }

    void commandsReachTheLogic() {
        auto host = makeHost();
        TestDlg& d = logicOf(*host);
        d.recordCommands = true;
        std::vector<std::pair<int, bool>> want;
        for (int id : {IDC_GET, IDC_GET_LATER, IDC_CHECK_LIST, IDC_NEXT, IDC_ABORT, IDC_OPEN_LIST,
                       IDC_SAVE_LIST}) {
            qobject_cast<QPushButton*>(host->control(id))->click();
            want.push_back({id, false});
        }
        std::function<void(QMenu*)> all = [&](QMenu* m) {
            for (QAction* a : m->actions()) {
                if (a->menu())
                    all(a->menu());
                else if (!a->isSeparator())
                    a->trigger();
            }
        };
        // Recorded, not run: 終了 would end the test process.
        for (QAction* top : host->findChild<QMenuBar*>()->actions()) all(top->menu());
        for (int id :
             {ID_DOWNLOAD_START, ID_DOWNLOAD_TIMER, ID_LIST_SAVE, ID_LIST_OPEN, ID_FILE_EXIT,
              ID_TOOL_CHECK_LIST, ID_TOOL_SERIAL, ID_TOOL_RATE_LIMIT, ID_TOOL_AFTER_NOTHING,
              ID_TOOL_AFTER_SUSPEND, ID_TOOL_AFTER_POWEROFF, ID_HELP_ABOUT})
            want.push_back({id, true});
        QCOMPARE(d.commands, want);
    }

    void errorWrapperReportsAndTimerGoesOn() {
        auto host = makeHost();
        TestDlg& d = logicOf(*host);
        const std::string path = Cp("/srv/保存/denied.txt");
        int firings = 0;
        d.onTestTimer = [&](unsigned) {
            if (++firings == 1) throw CFileException(CFileException::accessDenied, path);
        };
        host->SetTimer(90, 20);
        QTRY_VERIFY(firings >= 3);
        host->KillTimer(90);
        QCOMPARE(int(m_boxes.size()), 1);
        QCOMPARE(m_boxes[0].text, U("/srv/保存/denied.txt へのｱｸｾｽは拒否されました。"));
        QCOMPARE(m_boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(m_boxes[0].caption, QtHost::AppName());
    }

    // The tick must fire again inside the work its own handler started (the download pumps).
    void timerFiresInsideItsOwnHandler() {
        auto host = makeHost();
        TestDlg& d = logicOf(*host);
        int depth = 0, maxDepth = 0, firings = 0;
        d.onTestTimer = [&](unsigned) {
            ++firings;
            maxDepth = std::max(maxDepth, ++depth);
            if (depth == 1) {
                QElapsedTimer t;
                t.start();
                while (t.elapsed() < 300) host->PumpMessages();
            }
            --depth;
        };
        host->SetTimer(91, 20);
        QTRY_VERIFY(firings >= 4);
        host->KillTimer(91);
        QVERIFY2(maxDepth >= 2, "no nested firing");
        // Killed: no more firings.
        int before = firings;
        QTest::qWait(80);
        QCOMPARE(firings, before);
    }

    void nonCp932TextIsRefused() {
        auto host = makeHost();
        qobject_cast<QPlainTextEdit*>(host->control(IDC_LIST))->setPlainText(U("a😀b"));
        QVERIFY_THROWS_EXCEPTION(CTextException, host->GetDlgItemText(IDC_LIST));
        // The control keeps the text.
        QCOMPARE(qobject_cast<QPlainTextEdit*>(host->control(IDC_LIST))->toPlainText(), U("a😀b"));
    }

    void aboutBox() {
        auto host = makeHost();
        QString caption;
        QStringList labels;
        host->onModalShown = [&](QDialog& dlg) {
            caption = dlg.windowTitle();
            for (QLabel* l : dlg.findChildren<QLabel*>()) labels << l->text();
            QTest::keyClick(&dlg, Qt::Key_Return);
        };
        DialogHandler about;
        QCOMPARE(host->DoModal(IDD_ABOUTBOX, about), IDOK);
        QCOMPARE(caption, U("Pomvexのﾊﾞｰｼﾞｮﾝ情報"));
        QVERIFY(labels.contains(U("Pomvex Version 1.0")));
    }

    void modelessView() {
        struct Handler : DialogHandler {
            int cancels = 0;
            bool OnCancel(DialogView&) override {
                ++cancels;
                return true;
            }
        } handler;
        auto host = makeHost();
        showActive(*host);
        std::unique_ptr<DialogView> view = host->CreateModeless(IDD_PROGRESS, handler);
        QVERIFY(view);
        QDialog* dlg = nullptr;
        for (QDialog* d : host->findChildren<QDialog*>())
            if (d->isVisible()) dlg = d;
        QVERIFY(dlg);
        auto* status = dlg->findChild<QLabel*>(QStringLiteral("ctl%1").arg(IDC_PROGDLG_STATUS));
        QVERIFY(status);

        view->SetItemText(IDC_PROGDLG_STATUS, Cp("保存中"));
        QCOMPARE(view->GetItemText(IDC_PROGDLG_STATUS), Cp("保存中"));
        QTRY_COMPARE(status->text(), U("保存中"));

        view->SetRange(IDC_PROGDLG_PROGRESS, 0, 20480);
        QCOMPARE(view->SetPos(IDC_PROGDLG_PROGRESS, 500), 0);
        QCOMPARE(view->SetPos(IDC_PROGDLG_PROGRESS, 99999), 500);
        QCOMPARE(view->SetPos(IDC_PROGDLG_PROGRESS, 0), 20480);

        // 中止, Escape and the close box reach the handler and leave the window open.
        dlg->findChild<QPushButton*>(QStringLiteral("ctl2"))->click();
        QTest::keyClick(dlg, Qt::Key_Escape);
        dlg->close();
        QCOMPARE(handler.cancels, 3);
        QVERIFY(dlg->isVisible());

        // The main window disabled still leaves the modeless window usable.
        host->EnableWindow(false);
        QVERIFY(dlg->isEnabled());
        QTest::keyClick(host.get(), Qt::Key_Escape);
        QVERIFY(host->isVisible());
        host->EnableWindow(true);

        QPointer<QDialog> guard(dlg);
        view.reset();
        QVERIFY(!guard);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
