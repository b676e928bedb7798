#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;

// The "New Disk Image" window: type, size, encryption and compression of a new image.
class NewDiskImageDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NewDiskImageDialog)

public:
    explicit NewDiskImageDialog(QWidget* parent = nullptr);
    ~NewDiskImageDialog() override;

    // Size 10000, type Qcow2, both boxes cleared and enabled, the size label showing the size.
    void preset();

    int typePosition() const;
    int sizeMB() const;
    bool encrypt() const;
    bool compress() const;

    QComboBox* typeBox() const { return m_type; }
    QSpinBox* sizeBox() const { return m_size; }
    QLabel* sizeLabel() const { return m_sizeLabel; }
    QCheckBox* encryptBox() const { return m_encrypt; }
    QCheckBox* compressBox() const { return m_compress; }

private:
    void typeChanged(int position);
    void sizeChanged(int sizeMB);

    QComboBox* m_type = nullptr;
    QSpinBox* m_size = nullptr;
    QLabel* m_sizeLabel = nullptr;
    QCheckBox* m_encrypt = nullptr;
    QCheckBox* m_compress = nullptr;
};
