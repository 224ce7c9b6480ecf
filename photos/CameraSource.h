#pragma once

#include "FrameSource.h"

#include <QImageCapture>
#include <QMediaCaptureSession>
#include <QMediaDevices>

#include <memory>

class QCamera;

// The machine's first video input, previewed on a capture session that also takes stills.
class CameraSource : public FrameSource
{
    Q_OBJECT
public:
    CameraSource();
    ~CameraSource() override;

    bool hasCamera() const override;
    void setPreview(QVideoWidget* preview) override;
    void capture() override;

private:
    void start();
    void stop();

    QMediaDevices devices;
    QMediaCaptureSession session;
    QImageCapture imageCapture;
    std::unique_ptr<QCamera> camera;
    QVideoWidget* preview = nullptr;
    bool capturing = false;
};
