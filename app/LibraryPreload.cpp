#include "app/LibraryPreload.h"

#include "app/MainWindowLogic.h"
#include "library/VMStores.h"
#include "model/IniFile.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"

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
              m_result.states.append(stateOf(file));
              names.append(VMNameOf(file));
          }
          m_result.treeOrder = TreeOrder(names);
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

LibraryPreload::VMState LibraryPreload::stateOf(const QString& vmFile)
{
    // One reading of the file: this runs over the whole library at every start.
    const IniSnapshot vm(vmFile);
    return {vm.read(u"General", u"Status"), vm.read(u"Hardware", u"OutputID")};
}
