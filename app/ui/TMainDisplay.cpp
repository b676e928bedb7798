// The console's view of a guest: fitted or at its own size, full screen, a screenshot and typed
// clipboard text.

#include "app/ui/TMain.h"
#include "launch/ClipboardChannel.h"
#include "launch/ui/FullScreenDisplay.h"
#include "model/ModernHardware.h"
#include "model/VMFile.h"
#include "platform/ui/Interaction.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>
#include <QScrollArea>

namespace {

const QString General = QStringLiteral("General");
const QString Hardware = QStringLiteral("Hardware");

// "General" / "Display Scaling": how the VM's screen shows in the console.
const QString ScalingKey = QStringLiteral("Display Scaling");
const QString FitText = QStringLiteral("Fit to Window");
const QString ActualText = QStringLiteral("Actual Size");

DisplayPanel::Scaling scalingOf(const QString& vmFile)
{
    return ReadVMFileValue(vmFile, General, ScalingKey) == ActualText
               ? DisplayPanel::Scaling::Actual
               : DisplayPanel::Scaling::Fit;
}

bool resizesGuest(const QString& vmFile)
{
    return ModernHardware::ResizesGuest(
        ReadVMFileValue(vmFile, Hardware, ModernHardware::ResizeGuestKey()),
        ReadVMFileValue(vmFile, Hardware, QStringLiteral("Video Card")));
}

QIcon themed(const char* name)
{
    return QIcon::fromTheme(QString::fromLatin1(name));
}

} // namespace

void TMain::createDisplayActions()
{
    auto* scaling = new QActionGroup(this);
    m_fitAction = scaling->addAction(FitText);
    m_fitAction->setIcon(themed("zoom-fit-best"));
    m_actualSizeAction = scaling->addAction(ActualText);
    m_actualSizeAction->setIcon(themed("zoom-original"));
    for (QAction* action : {m_fitAction, m_actualSizeAction})
        action->setCheckable(true);
    m_fitAction->setChecked(true);
    connect(m_fitAction, &QAction::triggered, this,
            [this] { SetDisplayScaling(DisplayPanel::Scaling::Fit); });
    connect(m_actualSizeAction, &QAction::triggered, this,
            [this] { SetDisplayScaling(DisplayPanel::Scaling::Actual); });

    m_fullScreenAction = new QAction(QStringLiteral("Full Screen"), this);
    m_fullScreenAction->setIcon(themed("view-fullscreen"));
    m_fullScreenAction->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Return));
    // The way back works in the full-screen window too, which is not this one.
    m_fullScreenAction->setShortcutContext(Qt::ApplicationShortcut);
    connect(m_fullScreenAction, &QAction::triggered, this, &TMain::FullScreenClick);

    m_screenshotAction = new QAction(QStringLiteral("Save Screenshot..."), this);
    m_screenshotAction->setIcon(themed("camera-photo"));
    connect(m_screenshotAction, &QAction::triggered, this, &TMain::SaveScreenshotClick);
    m_typeClipboardAction = new QAction(QStringLiteral("Type Clipboard Text"), this);
    m_typeClipboardAction->setIcon(themed("edit-paste"));
    connect(m_typeClipboardAction, &QAction::triggered, this, &TMain::TypeClipboardTextClick);
    updateDisplayActions();
}

DisplayPanel* TMain::visiblePanel() const
{
    if (m_fullScreen && m_fullScreen->panel())
        return m_fullScreen->panel();
    for (DisplayPanel* each : m_panels)
        if (!each->isHidden())
            return each;
    return nullptr;
}

FullScreenDisplay& TMain::fullScreenDisplay()
{
    if (!m_fullScreen) {
        m_fullScreen = std::make_unique<FullScreenDisplay>();
        connect(m_fullScreen.get(), &FullScreenDisplay::left, this, [this] {
            CentreDisplayPanel();
            updateDisplayActions();
        });
    }
    return *m_fullScreen;
}

void TMain::applyDisplayView(const QString& vmFile, DisplayPanel* panel)
{
    const DisplayPanel::Scaling scaling = scalingOf(vmFile);
    panel->setScaling(scaling);
    panel->setResizeGuest(resizesGuest(vmFile));
    if (panel == visiblePanel() || vmFile == selectedVM())
        (scaling == DisplayPanel::Scaling::Fit ? m_fitAction : m_actualSizeAction)
            ->setChecked(true);
}

void TMain::SetDisplayScaling(DisplayPanel::Scaling scaling)
{
    (scaling == DisplayPanel::Scaling::Fit ? m_fitAction : m_actualSizeAction)->setChecked(true);
    const QString vmFile = selectedVM();
    if (!vmFile.isEmpty())
        WriteVMFileValue(vmFile, General, ScalingKey,
                         scaling == DisplayPanel::Scaling::Fit ? FitText : ActualText);
    if (DisplayPanel* panel = visiblePanel()) {
        panel->setScaling(scaling);
        CentreDisplayPanel();
    }
}

void TMain::FullScreenClick()
{
    FullScreenDisplay& view = fullScreenDisplay();
    if (view.panel()) {
        view.leave();
        return;
    }
    DisplayPanel* panel = visiblePanel();
    if (!panel || panel->state() != DisplayConnection::State::Connected)
        return;
    view.enter(panel);
    updateDisplayActions();
}

void TMain::SaveScreenshotClick()
{
    DisplayPanel* panel = visiblePanel();
    const QImage picture = panel ? panel->image() : QImage();
    if (picture.isNull())
        return;
    Interaction::FileRequest request;
    request.title = QStringLiteral("Save Screenshot");
    request.folder = QDir::homePath();
    request.fileName = selectedVMName() + QStringLiteral(".png");
    request.filter = QStringLiteral("PNG Image (*.png)");
    request.defaultSuffix = QStringLiteral("png");
    const std::optional<QString> file = Interaction::current().saveFileName(this, request);
    if (!file)
        return;
    QImageWriter writer(*file, "png");
    if (!writer.write(picture))
        Interaction::error(this, QStringLiteral("The screenshot could not be saved to %1: %2")
                                     .arg(QDir::toNativeSeparators(*file), writer.errorString()));
}

void TMain::TypeClipboardTextClick()
{
    if (DisplayPanel* panel = visiblePanel())
        panel->typeText(QGuiApplication::clipboard()->text());
}

void TMain::updateDisplayActions()
{
    const DisplayPanel* panel = visiblePanel();
    const bool connected = panel && panel->state() == DisplayConnection::State::Connected;
    m_fullScreenAction->setEnabled(connected || (m_fullScreen && m_fullScreen->panel()));
    m_screenshotAction->setEnabled(connected);
    m_typeClipboardAction->setEnabled(connected);
}

void TMain::prepareDisplay(const QString& vmFile, DisplayPanel* panel)
{
    applyDisplayView(vmFile, panel);
    // Only a QEMU started with the agent has a clipboard to share.
    panel->setClipboardSharing(ClipboardChannel::IsOpen(vmFile));
}
