#include "PanelFrame.h"

#include "Controls.h"
#include "Form.h"
#include "PanelActions.h"

#include <QGroupBox>
#include <QPushButton>

PanelFrame PanelFrame::build(Form* window)
{
    PanelFrame panel{};
    panel.Frame1 = Controls::frame(window, QStringLiteral("Frame1"), QStringLiteral("操作区"),
                                   {4200, 360, 2775, 3375});
    Controls::setCaptionColor(panel.Frame1, Qt::red);
    // Stacked 600 twips apart in the order c1, c2, c4, c5, c3.
    panel.c1 = Controls::button(panel.Frame1, QStringLiteral("c1"), QStringLiteral("Talvio"),
                                {480, 360, 1695, 375});
    panel.c2 = Controls::button(panel.Frame1, QStringLiteral("c2"), QStringLiteral("邮箱汇总"),
                                {480, 960, 1695, 375});
    panel.c4 = Controls::button(panel.Frame1, QStringLiteral("c4"), QStringLiteral("软件下载"),
                                {480, 1560, 1695, 375});
    panel.c5 = Controls::button(panel.Frame1, QStringLiteral("c5"), QStringLiteral("修改口令"),
                                {480, 2160, 1695, 375});
    panel.c3 = Controls::button(panel.Frame1, QStringLiteral("c3"), QStringLiteral("软件定做"),
                                {480, 2760, 1695, 375});

    QObject::connect(panel.c1, &QPushButton::clicked, window,
                     [window] { PanelActions::openMembers(window); });
    QObject::connect(panel.c2, &QPushButton::clicked, window,
                     [window] { PanelActions::openAddressSummary(window); });
    QObject::connect(panel.c3, &QPushButton::clicked, window,
                     [window] { PanelActions::showMakerNotice(window); });
    QObject::connect(panel.c4, &QPushButton::clicked, window,
                     [] { PanelActions::openMakerPage(); });
    QObject::connect(panel.c5, &QPushButton::clicked, window,
                     [] { PanelActions::openPasswordChange(); });
    return panel;
}

void PanelFrame::setButtonsVisible(bool visible) const
{
    for (QPushButton* button : {c1, c2, c3, c4, c5})
        button->setVisible(visible);
}
