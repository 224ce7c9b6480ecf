#pragma once

#include "Form.h"

#include <memory>

class FrameSource;
class QImage;
class QPushButton;
class QVideoWidget;

// A live preview of the machine's first video input, and "拍照", which hands the current picture
// to the member window as the photo of the record in hand.
class shipin : public Form
{
    Q_OBJECT
public:
    explicit shipin(QWidget* parent = nullptr);
    ~shipin() override;

    void Form_Load() override;
    void Form_Unload() override;

    bool isPreviewing() const;

private:
    void Command1_Click();
    // Follows the cameras plugged in: preview and "拍照" with one, grey and disabled without.
    void followCameras();
    void photoTaken(const QImage& frame);
    void captureFailed(const QString& reason);

    QWidget* Pic;
    QPushButton* Command1;
    QVideoWidget* preview = nullptr;
    std::unique_ptr<FrameSource> source;
    bool capturing = false;
};
