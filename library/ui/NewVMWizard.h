#pragma once

#include "library/NewVM.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QStackedWidget;
class QWidget;
class TableHandle;
class VMContext;
struct StoreLists;

// The "New Virual Machine Wizard": name, store, platform, operating system and QEMU version;
// memory and primary disk; output and kernel images. Created once and reused.
class NewVMWizard final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NewVMWizard)

public:
    // lists: the main window's store lists, refilled when "Create New" adds a store.
    NewVMWizard(VMContext& vm, StoreLists& lists, QWidget* parent = nullptr);

    // Prepares and runs the wizard; on Finish makes the disk and the definition file. Returns
    // the new VM's definition file, or empty when no VM was made. The caller rebuilds the tree
    // and selects it.
    QString NewVMClick();

    // The page buttons, also for tests driving the wizard while it runs.
    void nextClick();
    void backClick();
    void finishClick();
    void createStoreClick();
    void browseExistingDiskClick();
    void browseMediumClick();
    void browseKernelClick();
    void browseInitrdClick();

    int currentPage() const;
    // What Finish would compose from the controls as they stand.
    NewVM::Plan plan() const;

    QLineEdit* nameBox() const { return m_name; }
    QComboBox* storeBox() const { return m_stores; }
    QComboBox* platformBox() const { return m_platforms; }
    QComboBox* osBox() const { return m_os; }
    QComboBox* versionBox() const { return m_versions; }
    QLineEdit* mediumBox() const { return m_medium; }
    QSlider* memorySlider() const { return m_memorySlider; }
    QSpinBox* memoryBox() const { return m_memory; }
    QLabel* memoryTopLabel() const { return m_memoryTop; }
    QRadioButton* createDiskButton() const { return m_createDisk; }
    QRadioButton* existingDiskButton() const { return m_existingDisk; }
    QRadioButton* noDiskButton() const { return m_noDisk; }
    QGroupBox* newDiskGroup() const { return m_newDiskGroup; }
    QGroupBox* existingDiskGroup() const { return m_existingGroup; }
    QComboBox* diskTypeBox() const { return m_diskType; }
    QSpinBox* diskSizeBox() const { return m_diskSize; }
    QLabel* diskSizeLabel() const { return m_sizeLabel; }
    QCheckBox* encryptBox() const { return m_encrypt; }
    QCheckBox* compressBox() const { return m_compress; }
    QLineEdit* existingDiskBox() const { return m_existingPath; }
    QCheckBox* existingEncryptedBox() const { return m_existingEncrypted; }
    QGroupBox* kernelGroup() const { return m_kernelGroup; }
    QLineEdit* kernelBox() const { return m_kernel; }
    QLineEdit* initrdBox() const { return m_initrd; }
    QGroupBox* outputGroup() const { return m_outputGroup; }
    QComboBox* outputBox() const { return m_output; }
    QWidget* vncRow() const { return m_vncRow; }
    QSpinBox* vncNumberBox() const { return m_vncNumber; }
    QPushButton* backButton() const { return m_back; }
    QPushButton* nextButton() const { return m_next; }
    QPushButton* finishButton() const { return m_finish; }

private:
    QWidget* createPage1();
    QWidget* createPage2();
    QWidget* createPage3();
    QWidget* pageHeader(const QString& subtitle, const QStringList& lines);
    void reset();
    void fillStores(int select);
    // False when the user would rather not go on without what the profile's hardware needs.
    bool preparePage2();
    void preparePage3();
    void showPage(int page);
    void platformChanged();
    void diskChoiceChanged();
    void diskTypeChanged();
    void outputChanged();
    QString selectedArc() const;
    QString selectedStoreFolder() const;
    std::optional<QString> chooseImage();

    VMContext& m_vm;
    StoreLists& m_lists;
    NewVM::PlatformDefaults m_defaults;

    QStackedWidget* m_pages = nullptr;
    QLineEdit* m_name = nullptr;
    QComboBox* m_stores = nullptr;
    QComboBox* m_platforms = nullptr;
    QComboBox* m_os = nullptr;
    QComboBox* m_versions = nullptr;
    QLineEdit* m_medium = nullptr;
    HardwarePreset m_hardware;
    QSlider* m_memorySlider = nullptr;
    QSpinBox* m_memory = nullptr;
    QLabel* m_memoryTop = nullptr;
    QRadioButton* m_createDisk = nullptr;
    QRadioButton* m_existingDisk = nullptr;
    QRadioButton* m_noDisk = nullptr;
    QGroupBox* m_newDiskGroup = nullptr;
    QGroupBox* m_existingGroup = nullptr;
    QComboBox* m_diskType = nullptr;
    QSpinBox* m_diskSize = nullptr;
    QLabel* m_sizeLabel = nullptr;
    QCheckBox* m_encrypt = nullptr;
    QCheckBox* m_compress = nullptr;
    QLineEdit* m_existingPath = nullptr;
    QCheckBox* m_existingEncrypted = nullptr;
    QGroupBox* m_kernelGroup = nullptr;
    QLineEdit* m_kernel = nullptr;
    QLineEdit* m_initrd = nullptr;
    QGroupBox* m_outputGroup = nullptr;
    QComboBox* m_output = nullptr;
    QWidget* m_vncRow = nullptr;
    QSpinBox* m_vncNumber = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_finish = nullptr;
};
