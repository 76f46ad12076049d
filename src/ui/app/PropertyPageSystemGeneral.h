#pragma once

#include "ui/common/PropertySheet.h"

class QCheckBox;

// "常规" of "系统设置": the update check at start and minimising to the notification area.
class CPropertyPageSystemGeneral : public CPropertyPage {
    Q_OBJECT
public:
    explicit CPropertyPageSystemGeneral(QWidget* parent = nullptr);
    bool Apply() override;

    QCheckBox* UpdateCheck() const { return m_updateCheck; }
    QCheckBox* MinimizeToTray() const { return m_minimizeToTray; }

private:
    QCheckBox* m_updateCheck = nullptr;
    QCheckBox* m_minimizeToTray = nullptr;
};
