#pragma once

#include "ui/common/PropertySheet.h"

#include <functional>

class CRssReader;
class CStorageRuleBox;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "常规" of a directory's properties: its name and site address.
class CPropertyPageDirectoryGeneral : public CPropertyPage {
    Q_OBJECT
public:
    CPropertyPageDirectoryGeneral(const QString& title, const QString& site,
                                  QWidget* parent = nullptr);
    QString Validate() override;
    QString Title() const;
    QString Site() const;
    QLineEdit* TitleEdit() const { return m_title; }

private:
    QLineEdit* m_title = nullptr;
    QLineEdit* m_site = nullptr;
};

// "配置" of a directory's properties: four settings applied at once to every channel below
// the directory, each by its own "设置" button.
class CPropertyPageDirectoryConfig : public CPropertyPage {
    Q_OBJECT
public:
    CPropertyPageDirectoryConfig(CRssReader& reader, int index, QWidget* parent = nullptr);

    enum Group { kRank, kStorage, kAutoUpdate, kShowTip };
    QPushButton* Button(Group group) const { return m_buttons[group]; }
    CStorageRuleBox* Rule() const { return m_rule; }
    QRadioButton* Always() const { return m_always; }
    QCheckBox* AutoUpdate() const { return m_autoUpdate; }
    QCheckBox* ShowTip() const { return m_showTip; }

    // What a "设置" button does; false when a check refused or a write failed.
    bool ApplyGroup(Group group);

private:
    CRssReader& m_reader;
    int m_index;
    QRadioButton* m_byWeight = nullptr;
    QRadioButton* m_always = nullptr;
    CStorageRuleBox* m_rule = nullptr;
    QCheckBox* m_autoUpdate = nullptr;
    QCheckBox* m_showTip = nullptr;
    QPushButton* m_buttons[4] = {};
};

// "频道目录设置": the properties of a directory.
class CDirectoryPropertySheet : public CPropertySheet {
    Q_OBJECT
public:
    CDirectoryPropertySheet(CRssReader& reader, int index, QWidget* parent = nullptr);
    CPropertyPageDirectoryGeneral* General() const { return m_general; }
    CPropertyPageDirectoryConfig* Config() const { return m_config; }

protected:
    bool Commit() override;

private:
    CRssReader& m_reader;
    int m_index;
    CPropertyPageDirectoryGeneral* m_general = nullptr;
    CPropertyPageDirectoryConfig* m_config = nullptr;
};
