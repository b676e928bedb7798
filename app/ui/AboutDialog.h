#pragma once

#include <QDialog>

// The "About" window: the product, its version and the notices of what it is built with.
class AboutDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutDialog)

public:
    explicit AboutDialog(QWidget* parent = nullptr);
};
