#pragma once

#include "app/AppContext.h"
#include "app/AppSettings.h"
#include "ui/common/PropertySheet.h"

class QCheckBox;
class QComboBox;
class QRadioButton;
class QSpinBox;

// "常规" of "阅读器设置": when channels are received, how many fetches may go to one site at
// once, and how many items a page lists.
class CPropertyPageRssSetupGeneral : public CPropertyPage {
    Q_OBJECT
public:
    // Reads and writes the context's settings.
    explicit CPropertyPageRssSetupGeneral(const CAppContext& context, QWidget* parent = nullptr);
    QString Validate() override;
    bool Apply() override;
    ReceiveSettings Values() const;

    QCheckBox* StartupReceive() const { return m_startup; }
    QCheckBox* AutoReceive() const { return m_auto; }
    QRadioButton* ByRank() const { return m_byRank; }
    QRadioButton* EveryMinutes() const { return m_every; }
    QComboBox* Minutes() const { return m_minutes; }
    QCheckBox* ReceiveOnClick() const { return m_onClick; }
    QCheckBox* MarkReadOnSwitch() const { return m_markRead; }
    QCheckBox* RememberUnread() const { return m_remember; }
    QSpinBox* PageSize() const { return m_pageSize; }
    // rss/hostfetches, 1 to 6.
    QSpinBox* HostFetches() const { return m_hostFetches; }

private:
    void UpdateEnabled();
    int MinutesValue() const;

    CAppContext m_context;
    QCheckBox* m_startup = nullptr;
    QCheckBox* m_auto = nullptr;
    QRadioButton* m_byRank = nullptr;
    QRadioButton* m_every = nullptr;
    QComboBox* m_minutes = nullptr;
    QCheckBox* m_onClick = nullptr;
    QCheckBox* m_markRead = nullptr;
    QCheckBox* m_remember = nullptr;
    QSpinBox* m_pageSize = nullptr;
    QSpinBox* m_hostFetches = nullptr;
};
