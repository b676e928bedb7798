#pragma once

class VMContext;

// Sets the model of every network card of the selected VM to row 0 of the list its architecture,
// machine and word size now offer (position, display text and identifier).
void ResetCardModels(VMContext& vm);
