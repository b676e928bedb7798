#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <thread>

// The start's reading of the VM library, done on a second thread while the main window is being
// built: the files of every store, each file's run state and display mode, and the order of the
// tree. It only reads; the window uses the result when its own scan of the stores finds the same
// files, and reads afresh otherwise.
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

private:
    Result m_result;
    std::thread m_thread;
};
