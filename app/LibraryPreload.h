#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <thread>

// The start's scan of the VM library, done on a second thread while the main window is being
// built: the files of every store (as LibraryScan lists them), each file's run state and display
// mode, and the order of the tree. It only reads, through its own handle on the store table; the
// writes that depend on what it read stay with the window, in their order.
class LibraryPreload final
{
public:
    struct VMState
    {
        QString status;   // [General] Status
        QString outputId; // [Hardware] OutputID
    };
    struct Result
    {
        QStringList files;     // in the stores' order, as LibraryScan lists them
        QStringList names;     // VMNameOf each file
        QList<VMState> states; // one for each file
        QList<int> treeOrder;  // positions in files, in the tree's order (CompareVMNames)
    };

    // Starts reading the store table of the program folder.
    explicit LibraryPreload(const QString& programFolder);
    ~LibraryPreload();
    LibraryPreload(const LibraryPreload&) = delete;
    LibraryPreload& operator=(const LibraryPreload&) = delete;

    // Waits for the reading and hands its result over; later calls give an empty result.
    Result take();

    // What the start reads of one VM file.
    static VMState stateOf(const QString& vmFile);

private:
    Result m_result;
    std::thread m_thread;
};
