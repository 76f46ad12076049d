#pragma once

#include "app/AppContext.h"
#include "ui/common/PropertySheet.h"

class CStorageRuleBox;

// "存储" of "阅读器设置": the reader-wide storage rule of received items.
class CPropertyPageRssSetupStorage : public CPropertyPage {
    Q_OBJECT
public:
    // Reads and writes the context's settings.
    explicit CPropertyPageRssSetupStorage(const CAppContext& context, QWidget* parent = nullptr);
    QString Validate() override;
    bool Apply() override;
    CStorageRuleBox* Rule() const { return m_rule; }

private:
    CAppContext m_context;
    CStorageRuleBox* m_rule = nullptr;
};
