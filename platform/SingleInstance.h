#pragma once

#include <QString>

// The registry of running instances: one instance per user login. The registration lasts as long
// as the process, so an instance that crashed never blocks the next start.
class SingleInstance final
{
public:
    enum class Result
    {
        Registered,     // this is the only instance
        AlreadyRunning, // another live instance is registered
        Refused         // the lock's folder or file is not this user's alone: nothing is done
    };

    // name: the lock's name within the user's runtime folder.
    explicit SingleInstance(QString name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Registers this process; Refused comes with the reason. A lock that cannot be opened for
    // another reason (a read-only folder) lets the program run unregistered.
    Result acquire(QString* error = nullptr);
    // Where the registration lives (the user's runtime folder); empty, with the reason, when that
    // folder is refused.
    QString lockPath(QString* error = nullptr) const;

private:
    QString m_name;
    int m_fd = -1;
};
