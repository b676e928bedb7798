#pragma once

#include <QString>

// The registry of running instances: one instance per user login. The registration lasts as long
// as the process, so an instance that crashed never blocks the next start.
class SingleInstance final
{
public:
    // name: the lock's name within the user's runtime folder.
    explicit SingleInstance(QString name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Registers this process; false when another live instance is registered already.
    bool acquire();
    // Where the registration lives (the user's runtime folder).
    QString lockPath() const;

private:
    QString m_name;
    int m_fd = -1;
};
