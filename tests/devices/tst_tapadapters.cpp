#include "app/ui/TMain.h"
#include "devices/TapAdapters.h"
#include "devices/ui/NetworkCardDialog.h"
#include "devices/ui/PortCommands.h"
#include "devices/ui/TapAdaptersWindow.h"
#include "devices/ui/TapDriverDialog.h"
#include "devices/ui/TapSelection.h"
#include "model/VMFile.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <unistd.h>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeBytes(const QString& path, const QByteArray& bytes, bool executable = false)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return true;
}

QString discoveryProgram()
{
#ifdef VIMOR_TAPDISCOVER
    return QString::fromUtf8(VIMOR_TAPDISCOVER);
#else
    return QCoreApplication::applicationDirPath() + s("/../../vimor/tapdiscover");
#endif
}

QStringList rows(const QTreeWidget* list)
{
    QStringList texts;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = list->topLevelItem(row);
        texts.append(item->text(0) + u'|' + item->text(1) + u'|' + item->text(2));
    }
    return texts;
}

void selectRow(QTreeWidget* list, const QString& connection)
{
    const QList<QTreeWidgetItem*> found = list->findItems(connection, Qt::MatchExactly, 0);
    QVERIFY2(found.size() == 1, qPrintable(connection));
    list->setCurrentItem(found.first());
}

TapAdaptersWindow& tapWindow(QDialog& dialog)
{
    return dynamic_cast<TapAdaptersWindow&>(dialog);
}

// Stand-ins for the discovery program and "ip": discovery copies source.dat to the list file and
// ends with the code in exit.txt; "ip" records its arguments, one call per line.
class StandIns final
{
public:
    StandIns()
    {
        const QString dir = m_dir.path();
        writeBytes(dir + s("/discover"),
                   "#!/bin/sh\n[ \"$1\" = TAP ] || exit 5\n"
                   "cp \"$(dirname \"$0\")/source.dat\" \"$2\" 2>/dev/null\n"
                   "exit $(cat \"$(dirname \"$0\")/exit.txt\")\n",
                   true);
        writeBytes(dir + s("/ip"), "#!/bin/sh\necho \"$@\" >> \"$(dirname \"$0\")/ip.log\"\n",
                   true);
        setExitCode(1);
        setSource("Local Area Connection|TAP-Win32 Adapter V9|none\n"
                  "broken|line\n"
                  "Local Area Connection 2|TAP-Win32 Adapter V9 #2|br0\n");
    }

    void setSource(const QByteArray& text) { writeBytes(m_dir.filePath(s("source.dat")), text); }
    void setExitCode(int code)
    {
        writeBytes(m_dir.filePath(s("exit.txt")), QByteArray::number(code) + '\n');
    }
    QStringList ipCalls() const
    {
        return QString::fromUtf8(readBytes(m_dir.filePath(s("ip.log"))))
            .split(u'\n', Qt::SkipEmptyParts);
    }
    TapCommands commands() const
    {
        TapCommands commands;
        commands.discoveryProgram = m_dir.filePath(s("discover"));
        commands.listFile = m_dir.filePath(s("tap.dat"));
        commands.ipProgram = m_dir.filePath(s("ip"));
        commands.elevation = {s("env")};
        commands.renameSettleMs = 50;
        return commands;
    }

private:
    QTemporaryDir m_dir;
};

// A network namespace of the test's own with real TAP interfaces, removed again at the end.
class NetworkNamespace final
{
public:
    NetworkNamespace() : m_name(s("vimortest-%1").arg(getpid()))
    {
        m_ok = ip({s("netns"), s("add"), m_name});
    }
    ~NetworkNamespace()
    {
        if (m_ok)
            ip({s("netns"), s("del"), m_name});
    }
    bool isValid() const { return m_ok; }
    // Runs "ip" with the arguments inside the namespace.
    bool inside(const QStringList& arguments)
    {
        return ip(QStringList{s("netns"), s("exec"), m_name, s("ip")} + arguments);
    }
    QStringList runner() const { return {s("ip"), s("netns"), s("exec"), m_name}; }

private:
    static bool ip(const QStringList& arguments)
    {
        QProcess process;
        process.start(s("ip"), arguments);
        return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }

    QString m_name;
    bool m_ok = false;
};

} // namespace

class TestTapAdapters : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        auto script = std::make_unique<ScriptedInteraction>();
        m_script = script.get();
        Interaction::install(std::move(script));
        TapCommands::replace(std::nullopt);
    }

    void cleanup() { TapCommands::replace(std::nullopt); }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("adapters"); // connection/adapter/bridge

        QTest::newRow("three fields") << QByteArray("tap0|TAP virtual adapter|none\n")
                                      << QStringList{s("tap0/TAP virtual adapter/none")};
        QTest::newRow("two fields") << QByteArray("tap0|TAP virtual adapter\n") << QStringList();
        QTest::newRow("empty middle field") << QByteArray("tap0||none\n") << QStringList();
        QTest::newRow("four fields") << QByteArray("a|b|c|d\n") << QStringList();
        QTest::newRow("empty fields around are dropped")
            << QByteArray("|a||b|c|\n") << QStringList{s("a/b/c")};
        QTest::newRow("blank and field-less lines") << QByteArray("\n|||\n\r\n") << QStringList();
        QTest::newRow("Windows line ends, no final line end")
            << QByteArray("a|b|c\r\nd|e|f") << QStringList{s("a/b/c"), s("d/e/f")};
        QTest::newRow("blanks kept, file order")
            << QByteArray("Local Area Connection 2|TAP-Win32 Adapter V9| x \n"
                          "Local Area Connection|TAP-Win32 Adapter V9|none\n")
            << QStringList{s("Local Area Connection 2/TAP-Win32 Adapter V9/ x "),
                           s("Local Area Connection/TAP-Win32 Adapter V9/none")};
        QTest::newRow("empty file") << QByteArray() << QStringList();
    }

    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, adapters);
        QStringList parsed;
        for (const TapAdapter& adapter : ParseTapList(text))
            parsed.append(adapter.connection + u'/' + adapter.adapter + u'/' + adapter.bridge);
        QCOMPARE(parsed, adapters);
    }

    void missingListFileIsEmpty()
    {
        QTemporaryDir dir;
        QVERIFY(ReadTapList(dir.filePath(s("tap.dat"))).isEmpty());
    }

    // Only exit code 1 counts; a stale list from an earlier run never survives a discovery.
    void discoveryOutcome_data()
    {
        QTest::addColumn<QString>("program"); // "real", "missing", or a stand-in's exit code
        QTest::addColumn<bool>("listFolderExists");
        QTest::addColumn<bool>("discovered");

        QTest::newRow("real program") << s("real") << true << true;
        QTest::newRow("real program, list folder missing") << s("real") << false << false;
        QTest::newRow("program missing") << s("missing") << true << false;
        QTest::newRow("exit code 0") << s("0") << true << false;
        QTest::newRow("exit code 2") << s("2") << true << false;
        QTest::newRow("exit code 1") << s("1") << true << true;
    }

    void discoveryOutcome()
    {
        QFETCH(QString, program);
        QFETCH(bool, listFolderExists);
        QFETCH(bool, discovered);

        StandIns standIns;
        QTemporaryDir dir;
        TapCommands commands = standIns.commands();
        commands.listFile = dir.filePath(listFolderExists ? s("tap.dat") : s("none/tap.dat"));
        if (program == s("real")) {
            QVERIFY2(QFileInfo(discoveryProgram()).isExecutable(), qPrintable(discoveryProgram()));
            commands.discoveryProgram = discoveryProgram();
        } else if (program == s("missing")) {
            commands.discoveryProgram = dir.filePath(s("tapdiscover"));
        } else {
            standIns.setExitCode(program.toInt());
            standIns.setSource({});
        }
        if (listFolderExists)
            QVERIFY(writeBytes(commands.listFile, "stale|old|list\n"));

        QCOMPARE(DiscoverTapAdapters(commands), discovered);
        QVERIFY(!readBytes(commands.listFile).contains("stale"));
    }

    // The discovery program run in a network namespace holding a TAP interface in a bridge, one in
    // none and a TUN interface, which is no Ethernet adapter.
    void discoveryOfRealInterfaces()
    {
        if (geteuid() != 0)
            QSKIP("Making TAP interfaces needs root: run the test as root to check discovery "
                  "against real interfaces.");
        NetworkNamespace ns;
        if (!ns.isValid())
            QSKIP("No network namespace could be made here (ip netns add failed).");
        QVERIFY(ns.inside({s("tuntap"), s("add"), s("dev"), s("vtap-b"), s("mode"), s("tap")}));
        QVERIFY(ns.inside({s("tuntap"), s("add"), s("dev"), s("vtap-a"), s("mode"), s("tap")}));
        QVERIFY(ns.inside({s("tuntap"), s("add"), s("dev"), s("vtun0"), s("mode"), s("tun")}));
        QVERIFY(ns.inside({s("link"), s("add"), s("vbr0"), s("type"), s("bridge")}));
        QVERIFY(ns.inside({s("link"), s("set"), s("vtap-a"), s("master"), s("vbr0")}));

        QTemporaryDir dir;
        TapCommands commands;
        commands.discoveryProgram = discoveryProgram();
        commands.listFile = dir.filePath(s("tap.dat"));
        commands.runner = ns.runner();
        QVERIFY(DiscoverTapAdapters(commands));
        QCOMPARE(readBytes(commands.listFile), QByteArray("vtap-a|TAP virtual adapter|vbr0\n"
                                                          "vtap-b|TAP virtual adapter|none\n"));
        QCOMPARE(ReadTapList(commands.listFile),
                 (QList<TapAdapter>{{s("vtap-a"), s("TAP virtual adapter"), s("vbr0")},
                                    {s("vtap-b"), s("TAP virtual adapter"), s("none")}}));
    }

    // Adding and renaming real interfaces from the window, inside a namespace of the test's own.
    void createAndRenameRealInterfaces()
    {
        if (geteuid() != 0)
            QSKIP("Making TAP interfaces needs root: run the test as root to check adding and "
                  "renaming real interfaces.");
        NetworkNamespace ns;
        if (!ns.isValid())
            QSKIP("No network namespace could be made here (ip netns add failed).");
        QVERIFY(ns.inside({s("tuntap"), s("add"), s("dev"), s("vtap-b"), s("mode"), s("tap")}));

        QTemporaryDir dir;
        TapCommands commands = TapCommands::defaults();
        QVERIFY(commands.elevation.isEmpty()); // root needs no pkexec
        commands.discoveryProgram = discoveryProgram();
        commands.listFile = dir.filePath(s("tap.dat"));
        commands.runner = ns.runner();
        commands.renameSettleMs = 300;
        TapCommands::replace(commands);

        QStringList afterCreate, afterRename;
        bool waitShown = false;
        QString waitTitle;
        m_script->answerDialog([&](QDialog& dialog) {
            TapAdaptersWindow& w = tapWindow(dialog);
            m_script->answerText(s("vtap-renamed"));
            w.createAction()->trigger();
            afterCreate = rows(w.list());
            selectRow(w.list(), s("vtap-b"));
            // Looks at the wait window while the rename pauses.
            QTimer::singleShot(100, &w, [&] {
                waitShown = w.waitWindow()->isVisible();
                waitTitle = w.waitWindow()->windowTitle();
            });
            w.renameAction()->trigger();
            afterRename = rows(w.list());
            [&] { QVERIFY(!w.waitWindow()->isVisible()); }();
            return int(QDialog::Rejected);
        });
        ConfigureTapAdapters(nullptr);

        QCOMPARE(afterCreate, (QStringList{s("vimortap0|TAP virtual adapter|none"),
                                           s("vtap-b|TAP virtual adapter|none")}));
        QCOMPARE(afterRename, (QStringList{s("vimortap0|TAP virtual adapter|none"),
                                           s("vtap-renamed|TAP virtual adapter|none")}));
        QVERIFY(waitShown);
        QCOMPARE(waitTitle, s("Please Wait"));
        QCOMPARE(m_script->shownTexts(), (QStringList{s("TAP Network Adapters"), s("Rename to")}));
        QCOMPARE(m_script->shown().at(1).title, s("New Connection Name"));
        QCOMPARE(m_script->shown().at(1).preset, QString());
    }

    // Opened from the menu: the list from the file, only "Close", and nothing chosen.
    void managementWindow()
    {
        StandIns standIns;
        TapCommands::replace(standIns.commands());
        bool shown = false;
        m_script->answerDialog([&](QDialog& dialog) {
            shown = true;
            TapAdaptersWindow& w = tapWindow(dialog);
            [&] {
                QCOMPARE(w.windowTitle(), s("TAP Network Adapters"));
                QVERIFY(w.closeButton());
                QCOMPARE(w.closeButton()->text(), s("Close"));
                QVERIFY(!w.okButton());
                QVERIFY(!w.cancelButton());
                QCOMPARE(w.createAction()->toolTip(), s("Create New Connection"));
                QCOMPARE(w.renameAction()->toolTip(), s("Rename Selected Connection"));
                const auto* tabs =
                    qobject_cast<QTabWidget*>(w.list()->parentWidget()->parentWidget());
                QVERIFY(tabs);
                QCOMPARE(tabs->tabText(0), s("Adapters"));
                const QTreeWidgetItem* header = w.list()->headerItem();
                QCOMPARE((QStringList{header->text(0), header->text(1), header->text(2)}),
                         (QStringList{s("Connection Name"), s("Adapter Name"), s("Bridge")}));
                QCOMPARE(rows(w.list()),
                         (QStringList{s("Local Area Connection|TAP-Win32 Adapter V9|none"),
                                      s("Local Area Connection 2|TAP-Win32 Adapter V9 #2|br0")}));
                QCOMPARE(w.list()->selectionBehavior(), QAbstractItemView::SelectRows);
                QCOMPARE(int(w.list()->editTriggers()), int(QAbstractItemView::NoEditTriggers));
            }();
            w.closeButton()->click();
            return w.result();
        });
        ConfigureTapAdapters(nullptr);
        QVERIFY(shown);
        QCOMPARE(m_script->shownTexts(), QStringList{s("TAP Network Adapters")});
    }

    // A discovery that fails shows the error and no window, from either entry point.
    void discoveryFailureShowsNoWindow_data()
    {
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("selection");
        QTest::newRow("menu, exit code 0") << 0 << false;
        QTest::newRow("menu, exit code 3") << 3 << false;
        QTest::newRow("Select...., exit code 0") << 0 << true;
    }

    void discoveryFailureShowsNoWindow()
    {
        QFETCH(int, exitCode);
        QFETCH(bool, selection);
        StandIns standIns;
        standIns.setExitCode(exitCode);
        TapCommands::replace(standIns.commands());
        if (selection) {
            TempProgramFolder folder;
            QVERIFY(WriteVMTemplate(folder.file(s("VMs/a.vm2")), true));
            TMain window;
            QCOMPARE(SelectTapAdapter(window), std::nullopt);
        } else {
            ConfigureTapAdapters(nullptr);
        }
        QCOMPARE(m_script->shownTexts(),
                 QStringList{s("Could not retrieve TAP Network card information")});
        QCOMPARE(m_script->shown().first().kind, s("error"));
    }

    // "Select...." of a TAP card: OK needs a row; the row's connection name reaches the card's
    // adapter box and, once the card is saved, its "TapID".
    void selectionFillsTheCard()
    {
        StandIns standIns;
        TapCommands::replace(standIns.commands());
        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        QVERIFY(WriteVMTemplate(vm, true));
        const QList<std::tuple<const char*, const char*, const char*>> keys = {
            {"General", "Arc", "x86"},
            {"Hardware", "MID", "pc"},
            {"Hardware", "CPUArc", "32 Bit"},
            {"Hardware", "Network", "No"},
            {"Network", "CardCount", "1"},
            {"Network Card 1", "Lan Card", "Realtek 8139"},
            {"Network Card 1", "Lan Card ID", "0"},
            {"Network Card 1", "LID", "rtl8139"},
            {"Network Card 1", "MAC", "52-54-00-00-00-01"},
            {"Network Card 1", "VLAN", "0"},
            {"Network Card 1", "VLAN Type", "TAP Networking"},
            {"Network Card 1", "TapID", "tap9"},
        };
        for (const auto& [section, key, value] : keys)
            QVERIFY(WriteVMFileValue(vm, s(section), s(key), s(value)));
        TMain window;

        bool okWithoutRowKeptOpen = false;
        QString boxAfterCancel, boxAfterOk;
        m_script->answerDialog([&](QDialog& dialog) {
            auto& card = dynamic_cast<NetworkCardDialog&>(dialog);
            m_script->answerDialog([](QDialog& tap) { // Cancel chooses nothing
                TapAdaptersWindow& w = tapWindow(tap);
                selectRow(w.list(), s("Local Area Connection"));
                w.cancelButton()->click();
                return w.result();
            });
            card.selectTapButton()->click();
            boxAfterCancel = card.tapAdapter()->text();
            m_script->answerDialog([&](QDialog& tap) {
                TapAdaptersWindow& w = tapWindow(tap);
                [&] {
                    QCOMPARE(w.okButton()->text(), s("OK"));
                    QCOMPARE(w.cancelButton()->text(), s("Cancel"));
                    QVERIFY(!w.closeButton());
                }();
                w.okButton()->click();
                okWithoutRowKeptOpen = w.result() == QDialog::Rejected && !w.chosen();
                selectRow(w.list(), s("Local Area Connection 2"));
                w.okButton()->click();
                return w.result();
            });
            card.selectTapButton()->click();
            boxAfterOk = card.tapAdapter()->text();
            return int(QDialog::Accepted);
        });
        EditNetworkCard(window, s("1"));

        QCOMPARE(boxAfterCancel, s("tap9"));
        QVERIFY(okWithoutRowKeptOpen);
        QCOMPARE(boxAfterOk, s("Local Area Connection 2"));
        QCOMPARE(
            m_script->shownTexts(),
            (QStringList{s("Network Card"), s("TAP Network Adapters"), s("TAP Network Adapters"),
                         s("Please select a TAP network card to use")}));
        QCOMPARE(ReadVMFileValue(vm, s("Network Card 1"), s("TapID")),
                 s("Local Area Connection 2"));
    }

    // The commands' errors, the text box's Cancel, and the commands run for a new and a renamed
    // connection, with the list refilled after each.
    void commands()
    {
        StandIns standIns;
        TapCommands::replace(standIns.commands());
        QStringList afterCreate, afterRename;
        m_script->answerDialog([&](QDialog& dialog) {
            TapAdaptersWindow& w = tapWindow(dialog);
            w.renameAction()->trigger();
            m_script->answerText(std::nullopt); // the first rename with a row is cancelled
            m_script->answerText(s("Inside"));
            standIns.setSource("vimortap0|TAP virtual adapter|none\n");
            w.createAction()->trigger();
            afterCreate = rows(w.list());
            selectRow(w.list(), s("vimortap0"));
            w.renameAction()->trigger();
            standIns.setSource("Inside|TAP virtual adapter|none\n");
            w.renameAction()->trigger();
            afterRename = rows(w.list());
            // A failed discovery leaves the list as it was.
            standIns.setExitCode(0);
            w.createAction()->trigger();
            [&] { QCOMPARE(rows(w.list()), afterRename); }();
            return int(QDialog::Rejected);
        });
        ConfigureTapAdapters(nullptr);

        QCOMPARE(afterCreate, QStringList{s("vimortap0|TAP virtual adapter|none")});
        QCOMPARE(afterRename, QStringList{s("Inside|TAP virtual adapter|none")});
        const QString ip = standIns.commands().ipProgram;
        QCOMPARE(standIns.ipCalls(),
                 (QStringList{s("tuntap add dev vimortap%d mode tap user %1").arg(getuid()),
                              s("link set dev vimortap0 name Inside"),
                              s("tuntap add dev vimortap%d mode tap user %1").arg(getuid())}));
        QCOMPARE(m_script->shownTexts(),
                 (QStringList{s("TAP Network Adapters"), s("Please select a connection first"),
                              s("Rename to"), s("Rename to"),
                              s("Could not retrieve TAP Network card information")}));
        QCOMPARE(CreateTapCommandLine(standIns.commands()).mid(0, 2), (QStringList{s("env"), ip}));
    }

    // The driver dialog never shows on this host, but says where the driver comes from.
    void driverDialog()
    {
        QVERIFY(!TapDriverDownloadNeeded());
        TapDriverDialog dialog;
        QCOMPARE(dialog.windowTitle(), s("TAP-Win32 Driver"));
        QCOMPARE(dialog.text()->text(),
                 s("You are running a 64 Bit OS.  To install the TAP-Win32 driver you must "
                   "download\nthe OpenVPN package by clicking the link below.  You can select "
                   "just to install the\n\"TAP Virtual Ethernet Adapter\" during the OpenVPN "
                   "installation."));
        QVERIFY(dialog.link()->text().contains(TapDriverDialog::downloadPage()));
        const auto* tabs = dialog.findChild<QTabWidget*>();
        QVERIFY(tabs);
        QCOMPARE(tabs->tabText(0), s("Information"));
    }

private:
    ScriptedInteraction* m_script = nullptr;
};

QTEST_MAIN(TestTapAdapters)
#include "tst_tapadapters.moc"
