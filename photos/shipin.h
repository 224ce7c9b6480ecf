#pragma once

#include "Form.h"

#include <memory>

class QCamera;
class QMediaCaptureSession;
class QVideoWidget;

// A live preview of the machine's first video input. It only shows; nothing is recorded.
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
    QWidget* Pic;
    QVideoWidget* preview = nullptr;
    std::unique_ptr<QMediaCaptureSession> session;
    std::unique_ptr<QCamera> camera;
};
