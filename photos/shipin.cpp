#include "shipin.h"

#include "Module1.h"
#include "Twips.h"

#include <QCamera>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QVBoxLayout>
#include <QVideoWidget>

shipin::shipin(QWidget* parent) : Form(parent)
{
    setWindowTitle(QStringLiteral("视频监控"));
    setClientSize(4080, 3015);
    Pic = new QWidget(this);
    Pic->setObjectName(QStringLiteral("Pic"));
    Pic->setAutoFillBackground(true);
    Twips::place(Pic, 0, 0, 4095, 3015);
}

shipin::~shipin() = default;

void shipin::Form_Load()
{
    // Without a video input no camera object is made at all: some back ends would otherwise
    // stream a test picture. The window then simply stays empty, without a message.
    const QList<QCameraDevice> inputs = QMediaDevices::videoInputs();
    if (inputs.isEmpty()) {
        Module1::hCapWnd = nullptr;
        return;
    }
    preview = new QVideoWidget(Pic);
    preview->setObjectName(QStringLiteral("preview"));
    auto* layout = new QVBoxLayout(Pic);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(preview);
    session = std::make_unique<QMediaCaptureSession>();
    camera = std::make_unique<QCamera>(inputs.first());
    session->setCamera(camera.get());
    session->setVideoOutput(preview);
    camera->start();
    Module1::hCapWnd = preview;
}

void shipin::Form_Unload()
{
    if (camera)
        camera->stop();
    if (Module1::hCapWnd == preview)
        Module1::hCapWnd = nullptr;
}

bool shipin::isPreviewing() const
{
    return camera && camera->isActive();
}
