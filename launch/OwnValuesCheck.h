#pragma once

#include <QList>
#include <QString>

class VMContext;

// Before a launch: the values of the VM file that could run programs or open files of the user's
// and that this user has neither written with the editors nor approved.
namespace OwnValuesCheck {

struct Value
{
    QString section;
    QString key;
    QString what; // "Additional QEMU Parameters", "Hard Disk 0", "Serial Port 1"
    QString text; // exactly as stored
};

QList<Value> Unapproved(VMContext& vm);

// The question that shows them, each exactly.
QString Question(const QList<Value>& values);

// Records each as approved; false when the record could not be written.
bool Approve(VMContext& vm, const QList<Value>& values);

} // namespace OwnValuesCheck
