#include "CameraSource.h"

#include <QCamera>
#include <QVideoWidget>

#include <utility>

namespace {
FrameSource::Factory& factory()
{
    static FrameSource::Factory f;
    return f;
}
} // namespace

void FrameSource::setFactory(Factory f)
{
    factory() = std::move(f);
}

std::unique_ptr<FrameSource> FrameSource::make()
{
    if (factory())
        return factory()();
    return std::make_unique<CameraSource>();
}

CameraSource::CameraSource()
{
    session.setImageCapture(&imageCapture);
    connect(&devices, &QMediaDevices::videoInputsChanged, this, [this] {
        if (preview)
            start();
        emit camerasChanged();
    });
    connect(&imageCapture, &QImageCapture::imageCaptured, this, [this](int, const QImage& frame) {
        if (!capturing)
            return;
        capturing = false;
        emit taken(frame);
    });
    connect(&imageCapture, &QImageCapture::errorOccurred, this,
            [this](int, QImageCapture::Error, const QString& text) {
                if (!capturing)
                    return;
                capturing = false;
                emit failed(QStringLiteral("拍照失败：") + text);
            });
}

CameraSource::~CameraSource()
{
    capturing = false;
    stop();
}

bool CameraSource::hasCamera() const
{
    return !QMediaDevices::videoInputs().isEmpty();
}

void CameraSource::setPreview(QVideoWidget* widget)
{
    preview = widget;
    if (preview)
        start();
    else
        stop();
}

void CameraSource::start()
{
    const QList<QCameraDevice> inputs = QMediaDevices::videoInputs();
    if (inputs.isEmpty()) {
        stop();
        return;
    }
    // Only the first input is used; a new first input takes over from the old one.
    if (camera && camera->cameraDevice() == inputs.first())
        return;
    stop();
    camera = std::make_unique<QCamera>(inputs.first());
    connect(camera.get(), &QCamera::errorOccurred, this,
            [this](QCamera::Error, const QString& text) {
                capturing = false;
                emit failed(QStringLiteral("摄像头无法使用：") + text);
            });
    session.setCamera(camera.get());
    session.setVideoOutput(preview);
    camera->start();
}

void CameraSource::stop()
{
    const bool wasCapturing = std::exchange(capturing, false);
    session.setVideoOutput(nullptr);
    if (camera) {
        camera->stop();
        session.setCamera(nullptr);
        camera.reset();
    }
    // Said once everything is down, so whoever hears it finds the camera gone.
    if (wasCapturing)
        emit failed(QStringLiteral("拍照失败：摄像头已断开"));
}

void CameraSource::capture()
{
    if (!camera || !camera->isActive()) {
        emit failed(QStringLiteral("拍照失败：摄像头没有启动"));
        return;
    }
    if (!imageCapture.isReadyForCapture()) {
        emit failed(QStringLiteral("拍照失败：摄像头尚未准备好，请稍后再试"));
        return;
    }
    capturing = true;
    if (imageCapture.capture() < 0 && capturing) {
        capturing = false;
        emit failed(QStringLiteral("拍照失败：") + imageCapture.errorString());
    }
}
