#pragma once

#include <QLibrary>

// Libraries that only some commands need are loaded when first used rather than linked: each
// linked library is mapped and relocated at every start of the program.
namespace LoadedLibrary {

// Points target at the symbol name of the loaded library; false when the library lacks it.
template <typename T>
bool resolve(QLibrary& library, const char* name, T*& target)
{
    target = reinterpret_cast<T*>(library.resolve(name));
    return target != nullptr;
}

} // namespace LoadedLibrary
