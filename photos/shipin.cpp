#include "shipin.h"

#include "CaptureFiles.h"
#include "CapturedPhoto.h"
#include "Controls.h"
#include "Dialogs.h"
#include "FrameSource.h"
#include "Module1.h"
#include "PhotoHandover.h"
#include "Twips.h"

#include <QPushButton>
#include <QVBoxLayout>
#include <QVideoWidget>

namespace {
constexpr int kPicHeight = 3015;
constexpr int kButtonWidth = 975;
constexpr int kButtonHeight = 375;
} // namespace

shipin::shipin(QWidget* parent) : Form(parent)
{
    setWindowTitle(QStringLiteral("视频监控"));
    // The picture as before, and one row below it for the button.
    setClientSize(4080, kPicHeight + kButtonHeight);
    Pic = new QWidget(this);
    Pic->setObjectName(QStringLiteral("Pic"));
    Pic->setAutoFillBackground(true);
    Twips::place(Pic, 0, 0, 4095, kPicHeight);
    Command1 =
        Controls::button(this, QStringLiteral("Command1"), QStringLiteral("拍照"),
                         {(4080 - kButtonWidth) / 2, kPicHeight, kButtonWidth, kButtonHeight});
    connect(Command1, &QPushButton::clicked, this, &shipin::Command1_Click);
}

shipin::~shipin() = default;

void shipin::Form_Load()
{
    source = FrameSource::make();
    connect(source.get(), &FrameSource::camerasChanged, this, &shipin::followCameras);
    connect(source.get(), &FrameSource::taken, this, &shipin::photoTaken);
    connect(source.get(), &FrameSource::failed, this, &shipin::captureFailed);
    followCameras();
}

void shipin::Form_Unload()
{
    source.reset();
    if (Module1::hCapWnd == preview)
        Module1::hCapWnd = nullptr;
}

bool shipin::isPreviewing() const
{
    return preview && source && source->hasCamera();
}

void shipin::followCameras()
{
    if (!source)
        return;
    const bool camera = source->hasCamera();
    // Without a video input no preview is made at all: some back ends would otherwise stream a
    // test picture. The window then simply stays empty, without a message.
    if (camera && !preview) {
        preview = new QVideoWidget(Pic);
        preview->setObjectName(QStringLiteral("preview"));
        auto* layout = new QVBoxLayout(Pic);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(preview);
        preview->show();
    }
    if (camera) {
        source->setPreview(preview);
    } else if (preview) {
        source->setPreview(nullptr);
        delete Pic->layout();
        delete preview;
        preview = nullptr;
    }
    Module1::hCapWnd = preview;
    Command1->setEnabled(camera && !capturing);
    Command1->setToolTip(camera ? QString() : QStringLiteral("未找到摄像头"));
}

void shipin::Command1_Click()
{
    if (!source || capturing)
        return;
    capturing = true;
    Command1->setEnabled(false);
    source->capture();
}

void shipin::photoTaken(const QImage& frame)
{
    capturing = false;
    followCameras();
    const QImage photo = CapturedPhoto::fromFrame(frame);
    if (photo.isNull())
        return captureFailed(QStringLiteral("拍照失败：摄像头没有送来画面"));
    if (!PhotoHandover::hasReceiver())
        return captureFailed(QStringLiteral("拍照失败：会员窗口没有打开，请先打开会员窗口"));
    const Result<QString> file = CaptureFiles::save(photo);
    if (!file)
        return captureFailed(QStringLiteral("拍照失败，照片无法保存：") + file.error());
    // The member window now holds the file, or it goes again.
    if (const Status held = PhotoHandover::handOver(file.value()); !held) {
        CaptureFiles::releaseAllBut(Module1::PhotoSource);
        captureFailed(QStringLiteral("拍照失败：") + held.error());
    }
}

void shipin::captureFailed(const QString& reason)
{
    capturing = false;
    followCameras();
    Dialogs::current().message(this, reason, QStringLiteral("系统提示"), Dialogs::Icon::Critical);
}
