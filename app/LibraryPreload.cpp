#include "app/LibraryPreload.h"

#include "app/MainWindowLogic.h"
#include "library/VMStores.h"
#include "model/IniFile.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"

#include <algorithm>
#include <numeric>

LibraryPreload::LibraryPreload(const QString& programFolder)
    : m_thread([this, programFolder] {
          TableHandle stores;
          stores.setFolder(programFolder);
          stores.setTableName(TableSchemas::VMStoreTable);
          m_result.files = LibraryScan(stores);
          m_result.states.reserve(m_result.files.size());
          QStringList& names = m_result.names;
          names.reserve(m_result.files.size());
          for (const QString& file : std::as_const(m_result.files)) {
              const IniSnapshot vm(file);
              m_result.states.append(
                  {vm.read(u"General", u"Status"), vm.read(u"Hardware", u"OutputID")});
              names.append(VMNameOf(file));
          }
          m_result.treeOrder.resize(m_result.files.size());
          std::iota(m_result.treeOrder.begin(), m_result.treeOrder.end(), 0);
          std::stable_sort(
              m_result.treeOrder.begin(), m_result.treeOrder.end(),
              [&names](int a, int b) { return CompareVMNames(names[a], names[b]) < 0; });
      })
{}

LibraryPreload::~LibraryPreload()
{
    if (m_thread.joinable())
        m_thread.join();
}

LibraryPreload::Result LibraryPreload::take()
{
    if (m_thread.joinable())
        m_thread.join();
    return std::exchange(m_result, Result());
}
