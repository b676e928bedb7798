#pragma once

#include <QString>

class NetworkCardDialog;
class VMContext;

// The six "Add/Remove Hardware " commands and the network-card editor, on the VM selected in the
// tree. Each change ends by refreshing the settings view.

void AddNewNetworkCard1Click(VMContext& vm);
void AddNewSerialPort1Click(VMContext& vm);
void AddNewParallelPort1Click(VMContext& vm);

// selectedIcon: the hardware list's selected row's icon number, -1 when no row is selected or
// the list does not have the keyboard focus; selectedNumber: the card or port number of the row.
void DeleteSelectedNetworkCard1Click(VMContext& vm, int selectedIcon,
                                     const QString& selectedNumber);
void DeleteSelectedSerialPort1Click(VMContext& vm, int selectedIcon, const QString& selectedNumber);
void DeleteSelectedParallelPort1Click(VMContext& vm, int selectedIcon,
                                      const QString& selectedNumber);

// Runs the network-card dialog on card number of the selected VM and saves it on OK. The dialog
// is made once per main window and reused; a number that is not one of the VM's cards is ignored.
void EditNetworkCard(VMContext& vm, const QString& number);
// The same with a dialog the caller keeps.
void EditNetworkCard(VMContext& vm, NetworkCardDialog& dialog, const QString& number);
