// The list-editing commands through the real Qt host on the offscreen platform: the real file
// dialogs and the real numbered-list dialog, played from timers while a batch is running, so
// that each test also shows the batch going on inside the dialog's modal loop.
#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <vector>

#include "fake/TestText.h"
#include "platform/Internet.h"
#include "platform/qt/QtHost.h"
#include "qt/QtTestSupport.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "resources/Text.h"
#include "window/PomvexDlg.h"

namespace {

// The main window's logic with a stand-in transfer that ends every job at once, normally, so a
// started batch moves on by one job per tick.
class QuickJobs : public JobRunner {
  public:
    JobResult Download(const JobRequest& job, JobSink&) override {
        started.push_back(job.slot);
        return JobOutcome::Done;
    }
    JobResult Check(const JobRequest& job, JobSink& sink) override { return Download(job, sink); }
    std::vector<int> started;  // job indexes in the order the sequencer started them
};

QString Q(Sid id) {
    return QString::fromUtf8(StrUtf8(id).data(), StrUtf8(id).size());
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}
void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

}  // namespace

class TestLists : public QObject {
    Q_OBJECT

  private:
    // Plays the user of the next modal window of kind T: once it is up and the batch has
    // started `jobs` further jobs while it was open, runs `act` on it. Gives up after 15 s,
    // closing whatever modal window is up, so that a fault fails the test instead of hanging.
    template <class T>
    void Drive(int jobs, std::function<void(T*)> act) {
        Poll<T>(jobs, -1, QDeadlineTimer(15000), std::move(act));
    }
    template <class T>
    void Poll(int jobs, int base, QDeadlineTimer deadline, std::function<void(T*)> act) {
        QWidget* modal = QApplication::activeModalWidget();
        T* want = qobject_cast<T*>(modal);
        if (want) {
            int now = static_cast<int>(m_jobs->started.size());
            if (base < 0) base = now;
            if (now - base >= jobs) {
                act(want);
                return;
            }
        }
        if (deadline.hasExpired()) {
            m_errors << QStringLiteral(
                            "gave up waiting for a %1 with %2 jobs started in it (modal: %3)")
                            .arg(T::staticMetaObject.className())
                            .arg(jobs)
                            .arg(modal ? modal->metaObject()->className() : "none");
            if (modal) modal->close();
            return;
        }
        QTimer::singleShot(20, this, [=, this] { Poll<T>(jobs, base, deadline, act); });
    }

    QPushButton* MainButton(int id) { return qobject_cast<QPushButton*>(m_host->control(id)); }
    QAction* MenuAction(const QString& text) {
        for (QAction* a : m_host->findChildren<QAction*>())
            if (a->text() == text) return a;
        return nullptr;
    }
    // Types `text` into the edit, replacing what it held: ASCII as key presses, anything else
    // the way an input method commits it.
    static void Type(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        for (QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClicks(edit, QString(c));
            } else {
                QInputMethodEvent commit;
                commit.setCommitString(QString(c));
                QApplication::sendEvent(edit, &commit);
            }
        }
    }

    QTemporaryDir m_home;
    std::unique_ptr<QuickJobs> m_jobs;
    std::unique_ptr<QtHost> m_host;
    CPomvexDlg* m_logic = nullptr;  // owned by m_host
    QStringList m_errors;

  private slots:
    void init() {
        QVERIFY(m_home.isValid());
        qputenv("POMVEX_HOME", m_home.path().toLocal8Bit());
        m_errors.clear();
        m_jobs = std::make_unique<QuickJobs>();
        m_host = std::make_unique<QtHost>([this](Host& host) {
            auto logic = std::make_unique<CPomvexDlg>(host, *m_jobs);
            m_logic = logic.get();
            return logic;
        });
        m_host->show();
        // A batch of 100 jobs, started the way the user starts one.
        std::string urls;
        for (int i = 1; i <= 100; ++i) urls += "http://127.0.0.1:9/f" + std::to_string(i) + "\r\n";
        m_host->SetDlgItemText(IDC_LIST, urls);
        MainButton(IDC_GET)->click();
        QCOMPARE(m_logic->batch().Cursor(), 1);
    }
    void cleanup() {
        m_host.reset();
        m_logic = nullptr;
    }

    void openListThroughTheFileDialog() {
        const QString path = m_home.filePath("urls.txt");
        WriteFile(path,
                  "http://x/a\nhttp://x/b\r\n\r\nhttp://x/\x88\x9F");  // LF, CR LF, empty, no end
        QString shownDir, shownName;
        Drive<QFileDialog>(2, [&](QFileDialog* dlg) {
            shownDir = dlg->directory().absolutePath();
            auto* name = dlg->findChild<QLineEdit*>("fileNameEdit");
            if (!name) return dlg->reject(), void(m_errors << "no file name edit");
            shownName = name->text();
            if (dlg->acceptMode() != QFileDialog::AcceptOpen) m_errors << "not an open dialog";
            Type(name, path);
            QTest::keyClick(name, Qt::Key_Return);
        });
        const size_t before = m_jobs->started.size();
        MainButton(IDC_OPEN_LIST)->click();
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
        QCOMPARE(shownDir, m_home.path());
        QCOMPARE(shownName, QStringLiteral("Pomvex.txt"));
        QVERIFY(m_jobs->started.size() >= before + 2);  // the batch went on inside the dialog
        const std::string want = "http://x/a\r\nhttp://x/b\r\n\r\nhttp://x/\x88\x9F\r\n";
        QCOMPARE(m_host->GetDlgItemText(IDC_LIST), want);
        QCOMPARE(m_logic->lists().List(), want);
    }

    void saveListAsksBeforeReplacing() {
        const QString path = m_home.filePath("Pomvex.txt");
        WriteFile(path, QByteArray(5000, '#'));
        const std::string list = Sj("http://s/1\r\n\r\nhttp://s/画像2");  // no final line end
        m_host->SetDlgItemText(IDC_LIST, list);
        bool asked = false;
        Drive<QFileDialog>(2, [&](QFileDialog* dlg) {
            if (dlg->acceptMode() != QFileDialog::AcceptSave) m_errors << "not a save dialog";
            // The replace question comes up inside the file dialog's own accept.
            Drive<QMessageBox>(0, [&](QMessageBox* box) {
                asked = true;
                if (QAbstractButton* yes = box->button(QMessageBox::Yes))
                    yes->click();
                else
                    box->close(), m_errors << "replace question without a Yes button";
            });
            auto* box = dlg->findChild<QDialogButtonBox*>("buttonBox");
            QPushButton* save = box ? box->button(QDialogButtonBox::Save) : nullptr;
            if (!save) return dlg->reject(), void(m_errors << "no save button");
            save->click();  // keeps the offered name, Pomvex.txt
        });
        MenuAction(QString::fromUtf8("リストの保存"))->trigger();
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
        QVERIFY(asked);
        QCOMPARE(ReadFile(path), QByteArray::fromStdString(list));
    }

    void saveRefusesTextWithoutCp932Form() {
        const QString path = m_home.filePath("Pomvex.txt");
        WriteFile(path, "before\r\n");
        auto* list = qobject_cast<QPlainTextEdit*>(m_host->control(IDC_LIST));
        QVERIFY(list);
        list->setPlainText(QString::fromUtf8("http://x/\xF0\x9F\x98\x80"));  // U+1F600
        QString boxText;
        Drive<QMessageBox>(0, [&](QMessageBox* box) {
            boxText = box->text();
            box->close();
        });
        MainButton(IDC_SAVE_LIST)->click();
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
        QCOMPARE(boxText, Q(Sid::TextNotCp932));
        QCOMPARE(ReadFile(path), QByteArray("before\r\n"));
        QCOMPARE(list->toPlainText(), QString::fromUtf8("http://x/\xF0\x9F\x98\x80"));
    }

    void serialDialogRefusesThenGenerates() {
        QString from0, to0, prefix0, firstBox;
        QWidget* focusAfterBox = nullptr;
        QString selectedAfterBox;
        QLineEdit* fromEdit = nullptr;
        Drive<QDialog>(1, [&](QDialog* dlg) {
            fromEdit = dlg->findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(IDC_SERIAL_FROM));
            auto* toEdit = dlg->findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(IDC_SERIAL_TO));
            auto* prefix =
                dlg->findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(IDC_SERIAL_PREFIX));
            auto* suffix =
                dlg->findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(IDC_SERIAL_SUFFIX));
            auto* ok = dlg->findChild<QPushButton*>(QStringLiteral("ctl%1").arg(IDOK));
            if (!fromEdit || !toEdit || !prefix || !suffix || !ok)
                return dlg->reject(), void(m_errors << "serial dialog controls missing");
            from0 = fromEdit->text();
            to0 = toEdit->text();
            prefix0 = prefix->text() + suffix->text();
            // Both numbers wrong: only the first one is reported.
            Type(fromEdit, "abc");
            Type(toEdit, "100");
            Drive<QMessageBox>(0, [&](QMessageBox* box) {
                firstBox = box->text();
                box->close();
            });
            ok->click();  // returns once the box is gone; the dialog stays open
            focusAfterBox = dlg->focusWidget();
            selectedAfterBox = fromEdit->selectedText();
            Type(fromEdit, " 11 ");
            Type(toEdit, "08");
            Type(prefix, QString::fromUtf8("http://h/画 像"));
            Type(suffix, ".jpg ");
            ok->click();
        });
        const size_t before = m_jobs->started.size();
        MenuAction(QString::fromUtf8("連番編集"))->trigger();
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
        QCOMPARE(from0, QStringLiteral("0"));
        QCOMPARE(to0, QStringLiteral("99"));
        QCOMPARE(prefix0, QString());
        QCOMPARE(firstBox, Q(Sid::SerialEnterInteger));
        QVERIFY(focusAfterBox && focusAfterBox == fromEdit);
        QCOMPARE(selectedAfterBox, QStringLiteral("abc"));
        QVERIFY(m_jobs->started.size() >= before + 1);
        std::string want;
        for (const char* n : {"08", "09", "10", "11"})
            want += Sj("http://h/画 像") + n + ".jpg \r\n";
        QCOMPARE(m_host->GetDlgItemText(IDC_LIST), want);
        QCOMPARE(m_logic->lists().List(), want);
    }

    void serialCancelChangesNothing() {
        const std::string before = m_host->GetDlgItemText(IDC_LIST);
        Drive<QDialog>(0, [&](QDialog* dlg) {
            if (auto* e = dlg->findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(IDC_SERIAL_FROM)))
                Type(e, "5");
            QTest::keyClick(dlg, Qt::Key_Escape);
        });
        MenuAction(QString::fromUtf8("連番編集"))->trigger();
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
        QCOMPARE(m_host->GetDlgItemText(IDC_LIST), before);
    }
};

QTEST_MAIN(TestLists)
#include "tst_lists.moc"
