#include "app/ui/TMain.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"
#include "versions/PackageTestFixtures.h"
#include "versions/ui/DownloadQemuWindow.h"
#include "versions/ui/InstallPackageWindow.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

const QString InstalledText = QStringLiteral("Package Installation was completed successfully");
const QString ListText =
    QStringLiteral("Unable to retrieve QEMU package information, Please try again later");
const QString DownloadText =
    QStringLiteral("Unable to download the QEMU package, Please try again later");
const QString ExtractText = QStringLiteral("There was a problem extracting the QEMU package");

ScriptedInteraction* installScript()
{
    auto script = std::make_unique<ScriptedInteraction>();
    ScriptedInteraction* raw = script.get();
    Interaction::install(std::move(script));
    return raw;
}

QByteArray listOf(const QByteArray& fileName, const QByteArray& desc, const QByteArray& code,
                  const QByteArray& sha256Of = {})
{
    const QByteArray sum = QCryptographicHash::hash(sha256Of, QCryptographicHash::Sha256).toHex();
    return "items=2\r\nItem1=" + fileName + "\r\nItem1Desc=" + desc + "\r\nItem1Ver=" + code +
           (sha256Of.isEmpty() ? QByteArray() : "\r\nItem1SHA256=" + sum) +
           "\r\nItem2=other.zip\r\nItem2Desc=Other\r\nItem2Ver=1\r\n";
}

// Picks a row (or none) and presses "Download".
std::function<int(QDialog&)> choose(int row)
{
    return [row](QDialog& dialog) {
        auto& window = dynamic_cast<DownloadQemuWindow&>(dialog);
        if (row >= 0)
            window.list()->setCurrentItem(window.list()->topLevelItem(row));
        window.DownloadClick();
        return window.result();
    };
}

std::function<int(QDialog&)> runInstaller(int delay = 0)
{
    return [delay](QDialog& dialog) {
        auto& window = dynamic_cast<InstallPackageWindow&>(dialog);
        window.setStartDelay(delay);
        window.setStallTimeout(2000);
        return window.exec();
    };
}

QStringList topLevel(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System |
                                  QDir::Hidden);
}

struct Row
{
    QString id, desc, path, verid, kqemu, console, deflt;
};

QList<Row> versionRows(const QString& folder)
{
    TableHandle table;
    table.setFolder(folder);
    table.setTableName(TableSchemas::VersionTable);
    QList<Row> rows;
    if (!table.open())
        return rows;
    for (table.first(); !table.isEmpty() && !table.eof(); table.next())
        rows.append(
            {table.fieldValue(QStringLiteral("ID")), table.fieldValue(QStringLiteral("DESC")),
             table.fieldValue(QStringLiteral("PATH")), table.fieldValue(QStringLiteral("VERID")),
             table.fieldValue(QStringLiteral("KQEMU")), table.fieldValue(QStringLiteral("CONSOLE")),
             table.fieldValue(QStringLiteral("DEFAULT"))});
    return rows;
}

} // namespace

class TestDownloadPackage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void installsPackage();
    void installingTwiceIsRefused();
    void listRefused_data();
    void listRefused();
    void listTransferFailureSaysNothing_data();
    void listTransferFailureSaysNothing();
    void oversizedListStopped();
    void noServerAddress();
    void downloadWithoutSelectionWarns();
    void installFailures_data();
    void installFailures();
    void hostileFileNameCreatesNothing_data();
    void hostileFileNameCreatesNothing();
    void addressGoneBeforeInstall();
    void installWindowCannotBeClosed();

private:
    // Runs the command against the server; true when the install window closed.
    bool run(TMain& window, QString* description = nullptr);
    void serve(const QByteArray& list, const QByteArray& fileName, const ServedFile& archive);

    ScriptedInteraction* m_script = nullptr;
    std::unique_ptr<TempProgramFolder> m_folder;
    std::unique_ptr<PackageServer> m_server;
};

void TestDownloadPackage::init()
{
    m_script = installScript();
    m_folder = std::make_unique<TempProgramFolder>();
    QVERIFY(m_folder->isValid());
    m_server = std::make_unique<PackageServer>();
    QVERIFY(m_folder->write(QStringLiteral("vimor.ini"),
                            "[General]\r\nPackageURL=" + m_server->baseUrl().toUtf8() + "\r\n"));
}

void TestDownloadPackage::serve(const QByteArray& list, const QByteArray& fileName,
                                const ServedFile& archive)
{
    m_server->put("/vers.inf", ServedFile{200, list, ServedFile::Whole});
    m_server->put("/" + fileName, archive);
}

bool TestDownloadPackage::run(TMain& window, QString* description)
{
    bool closed = false;
    QString closedWith;
    QObject* get =
        DownloadPackage(&window, window.table(VMContext::Table::VRVers), [&](const QString& desc) {
            closed = true;
            closedWith = desc;
        });
    if (!get)
        return false;
    QSignalSpy gone(get, &QObject::destroyed);
    if (!gone.wait(10000))
        return false;
    // The windows start from the event loop and run to their end there.
    QTest::qWait(100);
    if (description)
        *description = closedWith;
    return closed;
}

void TestDownloadPackage::installsPackage()
{
    const QByteArray zip = MakeZip({{"bin/qemu.exe", "program", ZipEntry::File, {}, 0},
                                    {"pc-bios/", {}, ZipEntry::Folder, {}, 0},
                                    {"pc-bios/bios.bin", "bios", ZipEntry::File, {}, 0}});
    serve(listOf("qemu-0.12.5.zip", "QEMU 0.12.5", "0", zip), "qemu-0.12.5.zip",
          ServedFile{200, zip, ServedFile::Whole});
    TMain window;
    m_script->answerDialog([](QDialog& dialog) {
        auto& chooser = dynamic_cast<DownloadQemuWindow&>(dialog);
        QTreeWidget* list = chooser.list();
        [&] {
            QCOMPARE(list->topLevelItemCount(), 2);
            QCOMPARE(list->headerItem()->text(0), QStringLiteral("Filename"));
            QCOMPARE(list->headerItem()->text(1), QStringLiteral("Description"));
            QCOMPARE(list->headerItem()->text(2), QStringLiteral("Version ID"));
            QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("other.zip"));
            QCOMPARE(list->topLevelItem(1)->text(2), QStringLiteral("1"));
            QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
            QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
            QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("SHA-256"));
            QCOMPARE(list->topLevelItem(1)->text(3), QStringLiteral("None - not verified"));
            list->setCurrentItem(list->topLevelItem(1));
            QVERIFY(chooser.notice()->text().contains(QStringLiteral("plain HTTP")));
            QVERIFY(chooser.notice()->text().contains(QStringLiteral("is not verified")));
        }();
        return choose(0)(dialog);
    });
    QElapsedTimer clock;
    QString stepOneAtStart;
    int requestsBeforeStart = -1;
    m_script->answerDialog([&](QDialog& dialog) {
        auto& installer = dynamic_cast<InstallPackageWindow&>(dialog);
        QTimer::singleShot(800, &installer, [&] {
            stepOneAtStart = installer.label()->text();
            requestsBeforeStart = m_server->requests("/qemu-0.12.5.zip");
        });
        clock.start();
        return installer.exec();
    });
    QString description;
    QVERIFY(run(window, &description));
    QVERIFY(clock.elapsed() >= 1000);
    QCOMPARE(stepOneAtStart, QStringLiteral("Step 1:  Download QEMU Package..."));
    QCOMPARE(requestsBeforeStart, 0);
    QCOMPARE(description, QStringLiteral("QEMU 0.12.5"));
    QCOMPARE(m_script->shownTexts(),
             (QStringList{QStringLiteral("Download QEMU"), QStringLiteral("Install QEMU Package"),
                          InstalledText}));

    const QString install = m_folder->file(QStringLiteral("qemu-0.12.5"));
    QVERIFY(QFileInfo(install + QStringLiteral("/bin/qemu.exe")).isFile());
    QVERIFY(QFileInfo(install + QStringLiteral("/pc-bios/bios.bin")).isFile());
    QVERIFY(!QFileInfo::exists(install + QStringLiteral("/qemu-0.12.5.zip")));
    const QList<Row> rows = versionRows(m_folder->path());
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().desc, QStringLiteral("QEMU 0.12.5"));
    QCOMPARE(rows.first().path, QDir::toNativeSeparators(install));
    QCOMPARE(rows.first().verid, QStringLiteral("0"));
    QCOMPARE(rows.first().kqemu, QStringLiteral("No"));
    QCOMPARE(rows.first().console, QStringLiteral("No"));
    QCOMPARE(rows.first().deflt, QStringLiteral("No"));
    QCOMPARE(rows.first().id.size(), 50);
}

void TestDownloadPackage::installingTwiceIsRefused()
{
    TMain window;
    for (const QByteArray& content : {QByteArray("first"), QByteArray("second")}) {
        QList<ZipEntry> entries{{"bin/qemu.exe", content, ZipEntry::File, {}, 0}};
        if (content == "first")
            entries.append({"only-first.txt", "1", ZipEntry::File, {}, 0});
        serve(listOf("q.zip", "Q", "2"), "q.zip",
              ServedFile{200, MakeZip(entries), ServedFile::Whole});
        m_script->answerDialog(choose(0));
        // The second time the folder is there already: no install window.
        if (content == "first")
            m_script->answerDialog(runInstaller());
        QCOMPARE(run(window), content == "first");
    }
    const QString install = m_folder->file(QStringLiteral("q"));
    QFile program(install + QStringLiteral("/bin/qemu.exe"));
    QVERIFY(program.open(QIODevice::ReadOnly));
    QCOMPARE(program.readAll(), QByteArray("first"));
    QVERIFY(m_script->shownTexts().constLast().startsWith(
        QStringLiteral("The folder %1 already exists.").arg(QDir::toNativeSeparators(install))));
    const QList<Row> rows = versionRows(m_folder->path());
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.at(0).kqemu, QStringLiteral("Yes"));
    QCOMPARE(rows.at(0).console, QStringLiteral("Yes"));
    QCOMPARE(m_script->shownTexts().count(InstalledText), 1);
}

void TestDownloadPackage::listRefused_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::newRow("items 0") << QByteArray("items=0\r\nItem1=a.zip\r\n");
    QTest::newRow("no items line") << QByteArray("Item1=a.zip\r\nItem1Desc=A\r\n");
    QTest::newRow("empty list") << QByteArray();
}

void TestDownloadPackage::listRefused()
{
    QFETCH(QByteArray, list);
    m_server->put("/vers.inf", ServedFile{200, list, ServedFile::Whole});
    TMain window;
    QVERIFY(!run(window));
    QCOMPARE(m_script->shownTexts(), QStringList{ListText});
    QCOMPARE(m_script->shown().first().kind, QStringLiteral("error"));
}

void TestDownloadPackage::listTransferFailureSaysNothing_data()
{
    QTest::addColumn<ServedFile>("served");
    QTest::newRow("not found") << ServedFile{404, "gone", ServedFile::Whole};
    QTest::newRow("closed halfway")
        << ServedFile{200, listOf("a.zip", "A", "0"), ServedFile::CloseHalfway};
}

void TestDownloadPackage::listTransferFailureSaysNothing()
{
    QFETCH(ServedFile, served);
    m_server->put("/vers.inf", served);
    TMain window;
    QVERIFY(!run(window));
    QCOMPARE(m_script->shownTexts(), QStringList());
    QCOMPARE(m_server->requests("/vers.inf"), 1);
}

void TestDownloadPackage::oversizedListStopped()
{
    m_server->put("/vers.inf", ServedFile{200, QByteArray(2 << 20, '#'), ServedFile::NoLength});
    TMain window;
    QVERIFY(!run(window));
    QCOMPARE(m_script->shownTexts(),
             QStringList{QStringLiteral(
                 "The package list from the server is larger than 1 MiB. It was not read.")});
}

void TestDownloadPackage::noServerAddress()
{
    QVERIFY(m_folder->write(QStringLiteral("vimor.ini"), "[General]\r\nPackageURL=\r\n"));
    TMain window;
    QVERIFY(!DownloadPackage(&window, window.table(VMContext::Table::VRVers)));
    QTest::qWait(50);
    QCOMPARE(m_script->shownTexts(), QStringList());
}

void TestDownloadPackage::downloadWithoutSelectionWarns()
{
    serve(listOf("q.zip", "Q", "0"), "q.zip", ServedFile{200, MakeZip({}), ServedFile::Whole});
    TMain window;
    bool stayedOpen = false;
    m_script->answerDialog([&](QDialog& dialog) {
        auto& chooser = dynamic_cast<DownloadQemuWindow&>(dialog);
        chooser.show();
        chooser.downloadButton()->click();
        stayedOpen = chooser.isVisible() && chooser.result() != QDialog::Accepted;
        chooser.reject(); // then Cancel
        return chooser.result();
    });
    QVERIFY(!run(window));
    QVERIFY(stayedOpen);
    QCOMPARE(m_script->shownTexts(),
             (QStringList{QStringLiteral("Download QEMU"),
                          QStringLiteral("Please select a QEMU package to download")}));
    QCOMPARE(m_script->shown().at(1).kind, QStringLiteral("warning"));
    QVERIFY(!QFileInfo::exists(m_folder->file(QStringLiteral("q"))));
    QCOMPARE(m_server->requests("/q.zip"), 0);
}

void TestDownloadPackage::installFailures_data()
{
    QTest::addColumn<ServedFile>("archive");
    QTest::addColumn<QString>("message");
    const QByteArray good =
        MakeZip({{"bin/qemu.exe", QByteArray(300000, 'q'), ZipEntry::File, {}, 0}});
    QTest::newRow("archive not found")
        << ServedFile{404, "gone", ServedFile::Whole} << DownloadText;
    QTest::newRow("server hangs up mid-transfer")
        << ServedFile{200, good, ServedFile::CloseHalfway} << DownloadText;
    QTest::newRow("server goes quiet mid-transfer")
        << ServedFile{200, good, ServedFile::StallHalfway} << DownloadText;
    QTest::newRow("truncated archive served whole")
        << ServedFile{200, good.left(good.size() / 2), ServedFile::Whole} << ExtractText;
    QTest::newRow("entry climbing out")
        << ServedFile{200,
                      MakeZip({{"bin/ok", "ok", ZipEntry::File, {}, 0},
                               {"../evil", "evil", ZipEntry::File, {}, 0}}),
                      ServedFile::Whole}
        << ExtractText;
    QTest::newRow("absolute entry")
        << ServedFile{200, MakeZip({{"/abs/evil", "evil", ZipEntry::File, {}, 0}}),
                      ServedFile::Whole}
        << ExtractText;
    QTest::newRow("checksum differs")
        << ServedFile{200, MakeZip({{"bin/qemu.exe", "program", ZipEntry::File, {}, 0}}),
                      ServedFile::Whole}
        << QStringLiteral("The QEMU package does not match the SHA-256 checksum in the package "
                          "list. It was not installed.");
    QTest::newRow("link out and through it")
        << ServedFile{200,
                      MakeZip({{"link", {}, ZipEntry::Link, "/tmp", 0},
                               {"link/x", "evil", ZipEntry::File, {}, 0}}),
                      ServedFile::Whole}
        << ExtractText;
}

void TestDownloadPackage::installFailures()
{
    QFETCH(ServedFile, archive);
    QFETCH(QString, message);
    const bool differs = qstrcmp(QTest::currentDataTag(), "checksum differs") == 0;
    serve(listOf("bad.zip", "Bad", "0", differs ? archive.body + "x" : QByteArray()), "bad.zip",
          archive);
    const QStringList before = topLevel(m_folder->path());
    TMain window;
    m_script->answerDialog(choose(0));
    m_script->answerDialog(runInstaller());
    QString description;
    QVERIFY(run(window, &description));
    QCOMPARE(description, QStringLiteral("Bad"));
    QCOMPARE(m_script->shownTexts(),
             (QStringList{QStringLiteral("Download QEMU"), QStringLiteral("Install QEMU Package"),
                          message}));
    QCOMPARE(m_script->shown().constLast().kind, QStringLiteral("error"));
    QCOMPARE(versionRows(m_folder->path()).size(), 0);
    // Nothing is new, not even the install folder.
    QCOMPARE(topLevel(m_folder->path()), before);
    QVERIFY(
        !QFileInfo::exists(QStringLiteral("/tmp/x")) ||
        QFileInfo(QStringLiteral("/tmp/x")).lastModified().secsTo(QDateTime::currentDateTime()) >
            60);
    QVERIFY(!QFileInfo::exists(QStringLiteral("/abs/evil")));
}

void TestDownloadPackage::hostileFileNameCreatesNothing_data()
{
    QTest::addColumn<QByteArray>("fileName");
    QTest::newRow("climbing") << QByteArray("../evil.zip");
    QTest::newRow("folder part") << QByteArray("sub/evil.zip");
    QTest::newRow("absolute") << QByteArray("/tmp/evil.zip");
    QTest::newRow("extension only") << QByteArray(".zip");
}

void TestDownloadPackage::hostileFileNameCreatesNothing()
{
    QFETCH(QByteArray, fileName);
    serve(listOf(fileName, "Evil", "0"), fileName,
          ServedFile{200, MakeZip({{"x", "x", ZipEntry::File, {}, 0}}), ServedFile::Whole});
    const QStringList before = topLevel(m_folder->path());
    const QStringList parentBefore = topLevel(QFileInfo(m_folder->path()).absolutePath());
    TMain window;
    m_script->answerDialog(choose(0));
    QVERIFY(!run(window));
    QCOMPARE(m_script->shownTexts(), (QStringList{QStringLiteral("Download QEMU"), ExtractText}));
    QCOMPARE(topLevel(m_folder->path()), before);
    QVERIFY(
        !topLevel(QFileInfo(m_folder->path()).absolutePath()).contains(QStringLiteral("evil")) ||
        parentBefore.contains(QStringLiteral("evil")));
    QCOMPARE(versionRows(m_folder->path()).size(), 0);
}

void TestDownloadPackage::addressGoneBeforeInstall()
{
    serve(listOf("q.zip", "Q", "0"), "q.zip", ServedFile{200, MakeZip({}), ServedFile::Whole});
    TMain window;
    m_script->answerDialog([this](QDialog& dialog) {
        m_folder->write(QStringLiteral("vimor.ini"), "[General]\r\n");
        return choose(0)(dialog);
    });
    m_script->answerDialog(runInstaller());
    QVERIFY(run(window));
    QCOMPARE(m_script->shownTexts(),
             (QStringList{QStringLiteral("Download QEMU"), QStringLiteral("Install QEMU Package"),
                          ListText}));
    QCOMPARE(m_server->requests("/q.zip"), 0);
    QCOMPARE(versionRows(m_folder->path()).size(), 0);
}

void TestDownloadPackage::installWindowCannotBeClosed()
{
    TableHandle versions;
    QTemporaryDir dir;
    InstallPackageWindow installer(
        {QStringLiteral("q.zip"), QStringLiteral("Q"), QStringLiteral("0"), {}}, dir.path(),
        versions);
    QCOMPARE(installer.windowTitle(), QStringLiteral("Install QEMU Package"));
    QCOMPARE(installer.label()->text(), QStringLiteral("Step 1:  Download QEMU Package..."));
    QVERIFY(installer.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!installer.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    installer.setStartDelay(60000);
    installer.show();
    installer.reject();
    QVERIFY(!installer.close());
    QTest::keyClick(&installer, Qt::Key_Escape);
    QVERIFY(installer.isVisible());
}

QTEST_MAIN(TestDownloadPackage)
#include "tst_downloadpackage.moc"
