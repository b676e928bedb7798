#include "platform/CommandLine.h"

#include <QTest>

class TestCommandLine final : public QObject
{
    Q_OBJECT

private slots:
    void splits_data();
    void splits();
};

void TestCommandLine::splits_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QStringList>("arguments");

    auto row = [](const char* name, const char* line, const QStringList& arguments) {
        QTest::newRow(name) << QString::fromUtf8(line) << arguments;
    };
    auto list = [](std::initializer_list<const char*> items) {
        QStringList result;
        for (const char* item : items)
            result.append(QString::fromUtf8(item));
        return result;
    };

    row("empty string", "", {});
    row("only blanks", "   ", {});
    row("one word", "create", list({"create"}));
    row("single blanks", "create -f qcow2", list({"create", "-f", "qcow2"}));
    row("runs of blanks give no empty arguments", "  create   -f  qcow2  ",
        list({"create", "-f", "qcow2"}));
    row("tab separates", "a\tb", list({"a", "b"}));
    row("quoted path with blanks", "create \"/tmp/My Disks/web.qcow2\" 1024K",
        list({"create", "/tmp/My Disks/web.qcow2", "1024K"}));
    row("quoted path keeps runs of blanks", "\"a   b\"", list({"a   b"}));
    row("adjacent quoted and unquoted text", "-drive file=\"a b\",if=ide",
        list({"-drive", "file=a b,if=ide"}));
    row("quote in the middle of a word", "ab\"cd\"ef", list({"abcdef"}));
    row("quoted empty group is one empty argument", "a \"\" b", list({"a", "", "b"}));
    row("quoted empty group alone", "\"\"", list({""}));
    row("quoted empty group joined to a word", "a\"\"", list({"a"}));
    row("unbalanced quote groups the rest", "x \"a b  c", list({"x", "a b  c"}));
    row("unbalanced quote at the end", "x \"", list({"x", ""}));
    row("leading and trailing blanks around quotes", "  \" a \"  ", list({" a "}));
    row("create arguments", "create -c -e -f qcow2 \"C:\\Disks\\my disk.qcow2\" 10240000K",
        list({"create", "-c", "-e", "-f", "qcow2", "C:\\Disks\\my disk.qcow2", "10240000K"}));
}

void TestCommandLine::splits()
{
    QFETCH(QString, commandLine);
    QFETCH(QStringList, arguments);
    QCOMPARE(CommandLine::SplitCommandLine(commandLine), arguments);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
