#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QVideoWidget;

// Where the camera window's pictures come from: the machine's first camera, or in tests a source
// that hands over pictures of its own.
class FrameSource : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // A camera is there to show and to take pictures from.
    virtual bool hasCamera() const = 0;
    // Shows the live picture in `preview`; null stops the camera.
    virtual void setPreview(QVideoWidget* preview) = 0;
    // Takes the current picture; answers later with taken() or failed().
    virtual void capture() = 0;

    using Factory = std::function<std::unique_ptr<FrameSource>()>;
    // The source each camera window loads with; an empty factory brings back the real camera.
    static void setFactory(Factory factory);
    static std::unique_ptr<FrameSource> make();

signals:
    // A camera was plugged in or unplugged.
    void camerasChanged();
    void taken(const QImage& frame);
    // The camera could not start or take the picture; `reason` is for the operator.
    void failed(const QString& reason);
};
