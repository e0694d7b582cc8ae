// 〜 and − typed into the list box, against a server that holds a file under each of them and under
// the character whose CP932 bytes they share: the typed one is fetched, never the other.
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "platform/curl/CurlInternet.h"
#include "platform/qt/QtHost.h"
#include "resources/Resource.h"
#include "transfer/LocalServers.h"
#include "window/PomvexDlg.h"

class TestTypedUrls : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY(m_home.isValid());
        qputenv("POMVEX_HOME", m_home.path().toUtf8());
        testsrv::ClearProxyEnvironment();
    }

    void typedCharacterIsTheOneAskedFor_data() {
        QTest::addColumn<QStringList>("names");  // typed, the one sharing its bytes, saved
        QTest::newRow("wave dash U+301C")
            << QStringList{"テスト〜2", "テスト～2", "テスト%E3%80%9C2"};
        QTest::newRow("minus sign U+2212")
            << QStringList{"テスト−3", "テスト－3", "テスト%E2%88%923"};
    }

    void typedCharacterIsTheOneAskedFor() {
        QFETCH(QStringList, names);
        testsrv::TempDir root, save;
        testsrv::ServerProcess http("recording_server.py", {root.path(), root / "lines"});
        testsrv::WriteBytes(root / names[0].toStdString(), testsrv::Pattern(3000, 1));
        testsrv::WriteBytes(root / names[1].toStdString(), testsrv::Pattern(3000, 2));
        CurlInternetClient internet;
        QtHost host([&internet](Host& h) { return std::make_unique<CPomvexDlg>(h, internet); });
        auto& logic = static_cast<CPomvexDlg&>(host.logic());
        const QString origin = QStringLiteral("http://127.0.0.1:%1/").arg(http.port());
        qobject_cast<QPlainTextEdit*>(host.control(IDC_LIST))->setPlainText(origin + names[0]);
        host.SetDlgItemText(IDC_SAVE_DIR, save.path() + "/");
        logic.OnCommand(IDC_GET, false);
        QTRY_VERIFY_WITH_TIMEOUT(
            logic.batch().Cursor() == 0 && logic.batch().TransfersRunning() == 0, 20000);
        QVERIFY(testsrv::ReadBytes(save / names[2].toStdString()) == testsrv::Pattern(3000, 1));
    }

  private:
    QTemporaryDir m_home;
};

QTEST_MAIN(TestTypedUrls)
#include "tst_typed_urls.moc"
