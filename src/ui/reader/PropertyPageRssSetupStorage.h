#pragma once

#include "ui/common/PropertySheet.h"

class CStorageRuleBox;

// "存储" of "阅读器设置": the reader-wide storage rule of received items.
class CPropertyPageRssSetupStorage : public CPropertyPage {
    Q_OBJECT
public:
    explicit CPropertyPageRssSetupStorage(QWidget* parent = nullptr);
    QString Validate() override;
    bool Apply() override;
    CStorageRuleBox* Rule() const { return m_rule; }

private:
    CStorageRuleBox* m_rule = nullptr;
};
