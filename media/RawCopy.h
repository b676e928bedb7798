#pragma once

#include <QElapsedTimer>
#include <QString>

#include <functional>

// Copies a whole host drive (a letter and colon, "D:") into an image file (0600) in chunks of 16384
// bytes. progress gets 0 first and then, after each chunk but the first, the copied share of the
// medium in percent; it is also where the caller lets pending events run. Fails on any error,
// including a medium whose size cannot be read or is 0; a partly written file is left.
bool CopyRawDrive(const QString& driveLetter, const QString& destination,
                  const std::function<void(int percent)>& progress);

// The same copy from a device or file path; what CopyRawDrive does once the letter is mapped.
bool CopyRawDevice(const QString& devicePath, const QString& destination,
                   const std::function<void(int percent)>& progress);

// Copies the blank 1.44 MB floppy template ("\resource\144mb.img") to destination, creating or
// truncating it.
bool CreateBlankFloppy(const QString& destination);

// Lets pending events run while a copy reports its chunks: after a chunk, once EventPause has
// passed since they last ran, and always after the first. Asking the event loop after each 16 KB
// chunk cost the copy a third of its time, for a screen that changes at most sixty times a second.
class CopyEventPacer final
{
public:
    static constexpr int EventPauseMsecs = 4;
    void afterChunk();

private:
    QElapsedTimer m_lastRun;
};
