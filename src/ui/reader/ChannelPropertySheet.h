#pragma once

#include "reader/ChannelTree.h"
#include "ui/common/PropertySheet.h"

class CRssReader;
class CStorageRuleBox;
class QCheckBox;
class QLineEdit;
class QRadioButton;

// "常规" of a channel's properties: name, addresses, how it is received.
class CPropertyPageChannelGeneral : public CPropertyPage {
    Q_OBJECT
public:
    explicit CPropertyPageChannelGeneral(const ChannelRecord& record, QWidget* parent = nullptr);
    QString Validate() override;
    void Fill(ChannelProperties& properties) const;

    QLineEdit* TitleEdit() const { return m_title; }
    QLineEdit* UrlEdit() const { return m_url; }
    QLineEdit* SiteEdit() const { return m_site; }
    QRadioButton* ByWeight() const { return m_byWeight; }
    QRadioButton* Always() const { return m_always; }

private:
    QLineEdit* m_title = nullptr;
    QLineEdit* m_url = nullptr;
    QLineEdit* m_site = nullptr;
    QRadioButton* m_byWeight = nullptr;
    QRadioButton* m_always = nullptr;
    QCheckBox* m_autoUpdate = nullptr;
    QCheckBox* m_showTip = nullptr;
};

// "存储" of a channel's properties: its own storage rule, or the reader's.
class CPropertyPageChannelStorage : public CPropertyPage {
    Q_OBJECT
public:
    explicit CPropertyPageChannelStorage(const ChannelRecord& record, QWidget* parent = nullptr);
    QString Validate() override;
    void Fill(ChannelProperties& properties) const;

    QCheckBox* OwnRule() const { return m_own; }
    CStorageRuleBox* Rule() const { return m_rule; }

private:
    QCheckBox* m_own = nullptr;
    CStorageRuleBox* m_rule = nullptr;
};

// "频道设置": the properties of one channel.
class CChannelPropertySheet : public CPropertySheet {
    Q_OBJECT
public:
    CChannelPropertySheet(CRssReader& reader, int index, QWidget* parent = nullptr);
    CPropertyPageChannelGeneral* General() const { return m_general; }
    CPropertyPageChannelStorage* Storage() const { return m_storage; }

protected:
    bool Commit() override;

private:
    CRssReader& m_reader;
    int m_index;
    CPropertyPageChannelGeneral* m_general = nullptr;
    CPropertyPageChannelStorage* m_storage = nullptr;
};
