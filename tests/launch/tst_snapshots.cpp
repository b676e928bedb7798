#include "app/ui/TMain.h"
#include "launch/Snapshots.h"
#include "launch/ui/SnapshotChooser.h"
#include "launch/ui/SnapshotsWindow.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/CommandLine.h"
#include "platform/FileSystem.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

// A row as one comparable text: the columns it reached, joined with "|".
QString rowText(const SnapshotRow& row)
{
    const QStringList all{row.id, row.tag, row.vmSize, row.date, row.vmClock};
    return all.mid(0, row.columns).join(QLatin1Char('|'));
}

QStringList rowTexts(const QList<SnapshotRow>& rows)
{
    QStringList texts;
    for (const SnapshotRow& row : rows)
        texts.append(rowText(row));
    return texts;
}

const QString NoneRow = s("-|None|-|-|-");

// The heading of the older tools and a row laid out in their columns.
const QString Title = s("Snapshot list:");
QString oldHeading()
{
    return QString::asprintf("%-10s%-20s%7s%20s%15s", "ID", "TAG", "VM SIZE", "DATE", "VM CLOCK");
}
QString oldRow(const char* id, const char* tag, const char* size, const char* date,
               const char* clock)
{
    return QString::asprintf("%-10s%-20s%7s%20s%15s", id, tag, size, date, clock);
}

// The heading and rows of qemu-img 7.2.
QString newHeading()
{
    return QString::asprintf("%-9s %-17s %8s%20s%13s%11s", "ID", "TAG", "VM SIZE", "DATE",
                             "VM CLOCK", "ICOUNT");
}
QString newRow(const char* id, const char* tag, const char* size, const char* date,
               const char* clock, const char* icount = "0")
{
    return QString::asprintf("%-9s %-17s %8s%20s%13s%11s", id, tag, size, date, clock, icount);
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs the real image tool; false (with a warning) when it fails.
bool qemuImg(const QStringList& arguments)
{
    QProcess process;
    process.start(s("qemu-img"), arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        qWarning("qemu-img %s: %s", qPrintable(arguments.join(QLatin1Char(' '))),
                 process.readAllStandardError().constData());
        return false;
    }
    return true;
}

} // namespace

class TestSnapshots final : public QObject
{
    Q_OBJECT

private slots:
    void listCommand_data();
    void listCommand();

    void parse_data();
    void parse();

    void init();
    void cleanup();

    void windowListsTheSnapshots();
    void choosing_data();
    void choosing();
    void doubleClickIsOk();
    void cancelWritesNothing();
    void missingTool();
    void toolFailures_data();
    void toolFailures();
    void diskPathWithBlanks();

private:
    bool startWindow(const QString& hda);
    QString read(const char* key) const { return ReadVMFileValue(m_vm, s("Advanced"), s(key)); }
    QString logText() const;
    // Scripts the next dialog: records the window's rows, then lets fn answer.
    void answer(std::function<int(SnapshotsWindow&)> fn);

    ScriptedInteraction* m_script = nullptr;
    std::unique_ptr<TempProgramFolder> m_folder;
    std::unique_ptr<TMain> m_window;
    std::unique_ptr<SnapshotChooser> m_chooser;
    QString m_vm;
    QString m_disk;
    QStringList m_shownRows;
    QStringList m_problems;
};

void TestSnapshots::listCommand_data()
{
    QTest::addColumn<QString>("versionPath");
    QTest::addColumn<QString>("disk");
    QTest::addColumn<QString>("tail"); // after the program folder, when {VR} is expanded
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("split");

    QTest::newRow("portable version")
        << s("{VR}\\qemu") << s("C:\\VMs\\disk one.qcow2")
        << s("\\qemu\\qemu-img.exe\" snapshot \"C:\\VMs\\disk one.qcow2\" -l") << QString()
        << QStringList{s("\\qemu\\qemu-img.exe"), s("snapshot"), s("C:\\VMs\\disk one.qcow2"),
                       s("-l")};
    QTest::newRow("absolute version")
        << s("D:\\Q") << s("disk.qcow2") << QString()
        << s("\"D:\\Q\\qemu-img.exe\" snapshot \"disk.qcow2\" -l")
        << QStringList{s("D:\\Q\\qemu-img.exe"), s("snapshot"), s("disk.qcow2"), s("-l")};
    QTest::newRow("lower-case macro is a folder name")
        << s("{vr}\\qemu") << s("d") << QString()
        << s("\"{vr}\\qemu\\qemu-img.exe\" snapshot \"d\" -l")
        << QStringList{s("{vr}\\qemu\\qemu-img.exe"), s("snapshot"), s("d"), s("-l")};
    QTest::newRow("empty disk path stays one argument")
        << s("D:\\Q") << QString() << QString() << s("\"D:\\Q\\qemu-img.exe\" snapshot \"\" -l")
        << QStringList{s("D:\\Q\\qemu-img.exe"), s("snapshot"), QString(), s("-l")};
}

void TestSnapshots::listCommand()
{
    QFETCH(QString, versionPath);
    QFETCH(QString, disk);
    QFETCH(QString, tail);
    QFETCH(QString, command);
    QFETCH(QStringList, split);
    TempProgramFolder folder;
    const QString programFolder = ProgramFolder::path();
    if (command.isEmpty()) {
        command = u'"' + programFolder + tail;
        split[0] = programFolder + split[0];
    }
    const QString made = SnapshotListCommand(versionPath, disk);
    QCOMPARE(made, command);
    QCOMPARE(CommandLine::SplitCommandLine(made), split);
}

void TestSnapshots::parse_data()
{
    QTest::addColumn<QStringList>("output");
    QTest::addColumn<QStringList>("rows");

    const QString first = oldRow("1", "snap1", "123M", "2009-03-07 12:00:00", "00:01:23.456");
    const QString firstRow = s("1|snap1|123M|2009-03-07 12:00:00|00:01:23.456");

    QTest::newRow("column layout")
        << QStringList{Title, oldHeading(), first,
                       oldRow("10", "my snap", "2048M", "2009-03-08 08:30:00", "01:02:03.004")}
        << QStringList{NoneRow, firstRow, s("10|my snap|2048M|2009-03-08 08:30:00|01:02:03.004")};
    QTest::newRow("headings only") << QStringList{Title, oldHeading()} << QStringList{NoneRow};
    QTest::newRow("no output") << QStringList{} << QStringList{NoneRow};
    QTest::newRow("short error message")
        << QStringList{s("qemu-img: Could not open 'x': No such file or directory")}
        << QStringList{NoneRow};
    QTest::newRow("two-line error message")
        << QStringList{s("qemu-img: error"), s("second line")} << QStringList{NoneRow};
    QTest::newRow("empty and blank lines")
        << QStringList{Title, oldHeading(), QString(), first, s("   "), s("\r")}
        << QStringList{NoneRow, firstRow};
    QTest::newRow("carriage returns")
        << QStringList{Title + s("\r"), oldHeading() + s("\r"), first + s("\r\n")}
        << QStringList{NoneRow, firstRow};

    // A separator missing from a line: that column keeps the previous line's value and the
    // next split starts from the same text.
    QTest::newRow("no three blanks keeps the tag")
        << QStringList{Title, oldHeading(), first,
                       s("2 snap2 456M 2009-03-07 12:00:01 00:00:02.000")}
        << QStringList{NoneRow, firstRow, s("2|snap1|snap2 456M|2009-03-07 12:00:01|00:00:02.000")};
    QTest::newRow("no M keeps the size")
        << QStringList{Title, oldHeading(), first,
                       oldRow("2", "snap2", "512K", "2009-03-07 12:00:01", "00:00:02.000")}
        << QStringList{NoneRow, firstRow, s("2|snap2|123M|512K 2009-03-07 12:00:01|00:00:02.000")};
    QTest::newRow("no dash keeps the date, clock after fourteen characters")
        << QStringList{Title, oldHeading(), first, s("3   snap3   77M   abcdefghijklmnXYZ")}
        << QStringList{NoneRow, firstRow, s("3|snap3|77M|2009-03-07 12:00:00|XYZ")};
    QTest::newRow("first line without separators has empty columns")
        << QStringList{Title, oldHeading(), s("garbage")} << QStringList{NoneRow, s("?||||")};
    QTest::newRow("values carry over from the last line that had them")
        << QStringList{Title, oldHeading(), first, s("2   snap2   9M"), s("3 x")}
        << QStringList{NoneRow, firstRow, s("2|snap2|9M"), s("3|snap2|9M|2009-03-07 12:00:00|")};
    QTest::newRow("line ending after the ID")
        << QStringList{Title, oldHeading(), s("6 ")} << QStringList{NoneRow, s("6")};
    QTest::newRow("line ending after the size")
        << QStringList{Title, oldHeading(), s("5   tag   123M")}
        << QStringList{NoneRow, s("5|tag|123M")};

    // qemu-img 7.2: sizes with byte units, a clock and an instruction count.
    QTest::newRow("7.2 layout")
        << QStringList{Title, newHeading(),
                       newRow("1", "snap1", "0 B", "2026-12-09 13:00:00", "00:00:00.000"),
                       newRow("2", "second", "1.5 MiB", "2026-12-09 13:00:01", "00:00:01.250")}
        << QStringList{NoneRow, s("1|snap1|0 B|2026-12-09 13:00:00|00:00:00.000"),
                       s("2|second|1.5 MiB|2026-12-09 13:00:01|00:00:01.250")};
    QTest::newRow("7.2 tags with blanks and long tags")
        << QStringList{Title, newHeading(),
                       newRow("3", "my snap two", "0 B", "2026-12-09 13:32:45", "00:00:00.000"),
                       newRow("14", "a rather long tag name", "12 KiB", "2026-12-09 13:32:45",
                              "100:00:00.000", "123456")}
        << QStringList{NoneRow, s("3|my snap two|0 B|2026-12-09 13:32:45|00:00:00.000"),
                       s("14|a rather long tag name|12 KiB|2026-12-09 13:32:45|100:00:00.000")};
    QTest::newRow("7.2 tag that looks like a size")
        << QStringList{Title, newHeading(),
                       newRow("6", "0 B", "1.5 MiB", "2026-12-09 13:00:01", "00:00:01.250")}
        << QStringList{NoneRow, s("6|0 B|1.5 MiB|2026-12-09 13:00:01|00:00:01.250")};
    QTest::newRow("7.2 without instruction count")
        << QStringList{Title, newHeading(),
                       newRow("5", "snap5", "2 GiB", "2026-12-09 13:32:45", "00:00:00.000", "")}
        << QStringList{NoneRow, s("5|snap5|2 GiB|2026-12-09 13:32:45|00:00:00.000")};
}

void TestSnapshots::parse()
{
    QFETCH(QStringList, output);
    QFETCH(QStringList, rows);
    QCOMPARE(rowTexts(ParseSnapshotListing(output)), rows);
}

void TestSnapshots::init()
{
    // The parsing and command tests need no program folder of their own.
    const QByteArray function = QTest::currentTestFunction();
    if (function == "parse" || function == "listCommand")
        return;
    if (QStandardPaths::findExecutable(s("qemu-img")).isEmpty())
        QSKIP("qemu-img is not installed");

    auto script = std::make_unique<ScriptedInteraction>();
    m_script = script.get();
    Interaction::install(std::move(script));
    m_folder = std::make_unique<TempProgramFolder>();
    QVERIFY(m_folder->isValid());
    m_vm = m_folder->file(s("VMs/test.vm2"));
    m_disk = m_folder->file(s("VMs/disk.qcow2"));
    m_shownRows.clear();
    m_problems.clear();

    TableHandle versions;
    versions.setFolder(m_folder->path());
    versions.setTableName(TableSchemas::VersionTable);
    QVERIFY(versions.open());
    versions.insert();
    versions.setFieldValue(s("ID"), s("v72"));
    versions.setFieldValue(s("DESC"), s("QEMU 7.2"));
    versions.setFieldValue(s("PATH"), s("{VR}\\my qemu")); // a blank in the tool's path
    versions.setFieldValue(s("DEFAULT"), s("Yes"));
    versions.setFieldValue(s("VERID"), s("0"));
    QVERIFY(versions.post());

    QVERIFY(QDir(m_folder->path()).mkpath(s("qemu")));
    QVERIFY(QFile::link(QStandardPaths::findExecutable(s("qemu-img")),
                        m_folder->file(s("qemu/qemu-img.exe"))));
    QVERIFY(QFile::link(m_folder->file(s("qemu")), m_folder->file(s("my qemu"))));

    QVERIFY(qemuImg({s("create"), s("-q"), s("-f"), s("qcow2"), m_disk, s("1M")}));
    QVERIFY(qemuImg({s("snapshot"), s("-c"), s("first"), m_disk}));
    QVERIFY(qemuImg({s("snapshot"), s("-c"), s("second snap"), m_disk}));
}

void TestSnapshots::cleanup()
{
    QVERIFY2(m_problems.isEmpty(), qPrintable(m_problems.join(s(", "))));
    m_chooser.reset();
    m_window.reset();
    m_folder.reset();
    Interaction::install(nullptr);
    m_script = nullptr;
}

bool TestSnapshots::startWindow(const QString& hda)
{
    if (!WriteVMTemplate(m_vm, true))
        return false;
    const QList<std::pair<const char*, QString>> keys = {
        {"Qemu Version ID", s("v72")}, {"Qemu Version", s("QEMU 7.2")}, {"VM Store ID", s("0")}};
    for (const auto& [name, value] : keys)
        if (!WriteVMFileValue(m_vm, s("General"), s(name), value))
            return false;
    if (!WriteVMFileValue(m_vm, s("Drives"), s("HDA"), hda))
        return false;
    m_window = std::make_unique<TMain>();
    if (m_window->selectedVM() != m_vm)
        return false;
    m_chooser = std::make_unique<SnapshotChooser>(*m_window, m_window.get());
    m_script->clear();
    return true;
}

QString TestSnapshots::logText() const
{
    QStringList texts;
    for (const QPlainTextEdit* view : m_window->findChildren<QPlainTextEdit*>())
        texts.append(view->toPlainText());
    return texts.join(QLatin1Char('\n'));
}

void TestSnapshots::answer(std::function<int(SnapshotsWindow&)> fn)
{
    m_script->answerDialog([this, fn](QDialog& dialog) {
        auto* window = qobject_cast<SnapshotsWindow*>(&dialog);
        if (!window) {
            m_problems.append(s("unexpected dialog ") + dialog.windowTitle());
            return int(QDialog::Rejected);
        }
        // What the list shows, column by column.
        QTreeWidget* list = window->list();
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < list->columnCount(); ++column)
                cells.append(list->topLevelItem(row)->text(column));
            m_shownRows.append(cells.join(QLatin1Char('|')));
        }
        return fn(*window);
    });
}

void TestSnapshots::windowListsTheSnapshots()
{
    QVERIFY(startWindow(s("disk.qcow2")));
    int selectedAtStart = -2;
    QString title;
    QStringList headings;
    QAbstractItemView::SelectionBehavior behaviour = QAbstractItemView::SelectItems;
    QAbstractItemView::EditTriggers edits = QAbstractItemView::AllEditTriggers;
    answer([&](SnapshotsWindow& window) {
        selectedAtStart = window.selectedRow();
        title = window.windowTitle();
        QTreeWidgetItem* header = window.list()->headerItem();
        for (int column = 0; column < header->columnCount(); ++column)
            headings.append(header->text(column));
        behaviour = window.list()->selectionBehavior();
        edits = window.list()->editTriggers();
        return int(QDialog::Rejected);
    });
    m_chooser->ChooseSnapshot();

    QCOMPARE(title, s("Snapshots"));
    QCOMPARE(headings, (QStringList{s("ID"), s("Tag"), s("VM Size"), s("Date"), s("VM Clock")}));
    QCOMPARE(behaviour, QAbstractItemView::SelectRows);
    QCOMPARE(edits, QAbstractItemView::EditTriggers(QAbstractItemView::NoEditTriggers));
    QCOMPARE(selectedAtStart, 0);
    QCOMPARE(m_shownRows.size(), 3);
    QCOMPARE(m_shownRows.at(0), NoneRow);
    const QRegularExpression snapshot(
        s(R"(^(\d)\|(first|second snap)\|0 B\|\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\|00:00:00\.000$)"));
    QVERIFY2(snapshot.match(m_shownRows.at(1)).hasMatch(), qPrintable(m_shownRows.at(1)));
    QVERIFY2(snapshot.match(m_shownRows.at(2)).hasMatch(), qPrintable(m_shownRows.at(2)));
    QVERIFY(m_shownRows.at(1).startsWith(s("1|first|")));
    QVERIFY(m_shownRows.at(2).startsWith(s("2|second snap|")));
    // The tool's output went to the log view as it came.
    QVERIFY2(logText().contains(s("Snapshot list:")), qPrintable(logText()));
    QVERIFY(logText().contains(s("second snap")));

    // A second listing starts afresh: the log and the list hold one listing only.
    m_shownRows.clear();
    answer([](SnapshotsWindow&) { return int(QDialog::Rejected); });
    m_chooser->ChooseSnapshot();
    QCOMPARE(m_shownRows.size(), 3);
    QCOMPARE(logText().count(s("Snapshot list:")), 1);
}

void TestSnapshots::choosing_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("savedState");
    QTest::addColumn<QString>("snapshotId");

    QTest::newRow("second snapshot") << 2 << s("2 - second snap") << s("2");
    QTest::newRow("first snapshot") << 1 << s("1 - first") << s("1");
    QTest::newRow("none empties both") << 0 << QString() << QString();
}

void TestSnapshots::choosing()
{
    QFETCH(int, row);
    QFETCH(QString, savedState);
    QFETCH(QString, snapshotId);
    QVERIFY(startWindow(s("disk.qcow2")));
    QVERIFY(WriteVMFileValue(m_vm, s("Advanced"), s("SavedState"), s("9 - old")));
    QVERIFY(WriteVMFileValue(m_vm, s("Advanced"), s("Snapshot"), s("9")));
    answer([row](SnapshotsWindow& window) {
        window.selectRow(row);
        return int(QDialog::Accepted);
    });
    m_chooser->ChooseSnapshot();
    QCOMPARE(read("SavedState"), savedState);
    QCOMPARE(read("Snapshot"), snapshotId);
}

void TestSnapshots::doubleClickIsOk()
{
    QVERIFY(startWindow(s("disk.qcow2")));
    answer([](SnapshotsWindow& window) {
        window.show();
        QTreeWidget* list = window.list();
        QTreeWidgetItem* item = list->topLevelItem(1);
        const QRect area = list->visualItemRect(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, area.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, area.center());
        return window.result();
    });
    m_chooser->ChooseSnapshot();
    QCOMPARE(read("SavedState"), s("1 - first"));
    QCOMPARE(read("Snapshot"), s("1"));
}

void TestSnapshots::cancelWritesNothing()
{
    QVERIFY(startWindow(s("disk.qcow2")));
    QVERIFY(WriteVMFileValue(m_vm, s("Advanced"), s("SavedState"), s("1 - first")));
    QVERIFY(WriteVMFileValue(m_vm, s("Advanced"), s("Snapshot"), s("1")));
    const QByteArray before = fileBytes(m_vm);
    answer([](SnapshotsWindow& window) {
        window.selectRow(2);
        return int(QDialog::Rejected);
    });
    m_chooser->ChooseSnapshot();
    QCOMPARE(fileBytes(m_vm), before);
}

void TestSnapshots::missingTool()
{
    QVERIFY(QFile::remove(m_folder->file(s("qemu/qemu-img.exe"))));
    QVERIFY(startWindow(s("disk.qcow2")));
    const QByteArray before = fileBytes(m_vm);
    QVERIFY(!m_chooser->ListSnapshots());
    QCOMPARE(m_script->shownTexts(), QStringList{s("Cannot retrieve VM snapshots at present")});
    QCOMPARE(m_script->shown().first().kind, s("error"));

    // Choosing stops after the message: no window is run.
    m_script->clear();
    m_chooser->ChooseSnapshot();
    QCOMPARE(m_script->shownTexts(), QStringList{s("Cannot retrieve VM snapshots at present")});
    QCOMPARE(m_script->shown().first().kind, s("error"));
    QCOMPARE(fileBytes(m_vm), before);
}

void TestSnapshots::toolFailures_data()
{
    QTest::addColumn<QString>("hda");
    QTest::addColumn<QString>("logged");

    // qemu-img 7.2 lists a raw image as having no snapshots and says nothing.
    QTest::newRow("raw disk") << s("raw.img") << QString();
    QTest::newRow("missing disk") << s("missing.qcow2") << s("Could not open");
    QTest::newRow("no hard disk") << QString() << s("Could not open");
    QTest::newRow("store not found by full path")
        << s("C:\\nowhere\\disk.qcow2") << s("Could not open");
}

void TestSnapshots::toolFailures()
{
    QFETCH(QString, hda);
    QFETCH(QString, logged);
    QVERIFY(m_folder->write(s("VMs/raw.img"), QByteArray(65536, '\0')));
    QVERIFY(startWindow(hda));
    answer([](SnapshotsWindow&) { return int(QDialog::Rejected); });
    m_chooser->ChooseSnapshot();
    QCOMPARE(m_shownRows, QStringList{NoneRow});
    if (!logged.isEmpty())
        QVERIFY2(logText().contains(logged), qPrintable(logText()));
    QCOMPARE(m_script->shownTexts(), QStringList{s("Snapshots")});
}

void TestSnapshots::diskPathWithBlanks()
{
    const QString disk = m_folder->file(s("my disks/disk two.qcow2"));
    QVERIFY(QDir(m_folder->path()).mkpath(s("my disks")));
    QVERIFY(QFile::copy(m_disk, disk));
    QVERIFY(startWindow(disk));
    answer([](SnapshotsWindow& window) {
        window.selectRow(1);
        return int(QDialog::Accepted);
    });
    m_chooser->ChooseSnapshot();
    QCOMPARE(m_shownRows.size(), 3);
    QCOMPARE(read("SavedState"), s("1 - first"));
}

QTEST_MAIN(TestSnapshots)
#include "tst_snapshots.moc"
