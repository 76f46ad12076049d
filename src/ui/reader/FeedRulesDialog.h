#pragma once

#include "platform/jobs/JobRunner.h"
#include "reader/FeedRules.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

class CCancelToken;
class CRssFavorites;
class CRssReader;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

// Counts on a worker, with its own store connection, how many stored items a rule would hit
// (CRuleFilter::CountHits); a channel tree of a million items takes a while. A new count
// cancels the one running (the new one starts when it has given up); the destructor cancels and
// joins it.
class CRuleHitCount : public QObject {
    Q_OBJECT
public:
    CRuleHitCount(CRssReader& reader, QObject* parent = nullptr);
    ~CRuleHitCount() override;

    void Start(const FeedRule& rule);
    bool Running() const { return m_running; }

signals:
    // hits is -1 when the count failed; reason says why.
    void Finished(int hits, const QString& reason);

private:
    void Stop();

    CRssReader& m_reader;
    std::shared_ptr<CCancelToken> m_cancel;
    bool m_running = false;
    // Last: its job is joined before the rest of the count goes.
    CJobRunner m_jobs{1};
};

// One rule, added or changed: where it acts (every channel, or a directory or a channel chosen
// from the tree), which items (a field that holds a text or matches a regular expression,
// ignoring the case of letters unless asked), and what happens to them. 测试 says how many of
// the stored items it would hit. OK hands the rule to the save function; a rule it refuses
// (an invalid expression, with the engine's message) is shown and the editor stays open.
class CFeedRuleEditor : public QDialog {
    Q_OBJECT
public:
    // save: "" when the rule was stored, else why not.
    using Save = std::function<std::string(const FeedRule&)>;
    CFeedRuleEditor(CRssReader& reader, CRssFavorites& favorites, const FeedRule& rule, Save save,
                    QWidget* parent = nullptr);

    // The rule as the fields give it (with the id it was opened with).
    FeedRule Rule() const;
    void accept() override;
    void Test();

    QRadioButton* AllChannelsButton() const { return m_all; }
    QRadioButton* ChosenButton() const { return m_chosen; }
    QTreeWidget* ChannelTree() const { return m_channels; }
    QComboBox* FieldBox() const { return m_field; }
    QComboBox* MatchBox() const { return m_match; }
    QLineEdit* PatternEdit() const { return m_pattern; }
    QCheckBox* CaseBox() const { return m_case; }
    QComboBox* ActionBox() const { return m_action; }
    QComboBox* FavoriteBox() const { return m_box; }
    QPushButton* TestButton() const { return m_test; }
    QLabel* TestResult() const { return m_result; }
    // Selects the tree item of the channel tree's index.
    void SelectChannel(int index);

private:
    void AddChannels(QTreeWidgetItem* parent, const std::vector<int>& indexes);
    void UpdateEnabled();

    CRssReader& m_reader;
    Save m_save;
    int m_id = 0;
    QRadioButton* m_all = nullptr;
    QRadioButton* m_chosen = nullptr;
    QTreeWidget* m_channels = nullptr;
    QComboBox* m_field = nullptr;
    QComboBox* m_match = nullptr;
    QLineEdit* m_pattern = nullptr;
    QCheckBox* m_case = nullptr;
    QComboBox* m_action = nullptr;
    QComboBox* m_box = nullptr;
    QPushButton* m_test = nullptr;
    QLabel* m_result = nullptr;
    CRuleHitCount* m_count = nullptr;
};

// 过滤规则: the rules of the program directory, one line each, with 添加, 编辑, 删除 and 测试
// (how many of the stored items the selected rule would hit). The rules act on the items that
// come new from the next receive on.
class CFeedRulesDialog : public QDialog {
    Q_OBJECT
public:
    // path: the rules file (CFeedRules::DefaultPath of the program directory).
    CFeedRulesDialog(CRssReader& reader, CRssFavorites& favorites, std::string path,
                     QWidget* parent = nullptr);

    // The file could not be read: the dialog said why and shows no rules.
    bool Loaded() const { return m_loaded; }
    const CFeedRules& Rules() const { return m_rules; }

    // The editor on a new rule, or on the selected one; the list shows the outcome.
    void AddRule();
    void EditSelected();
    // Asks first.
    void RemoveSelected();
    void TestSelected();

    QTreeWidget* List() const { return m_list; }
    QPushButton* TestButton() const { return m_test; }
    QLabel* TestResult() const { return m_result; }
    // The id of the selected rule, 0 when none is selected.
    int SelectedId() const;
    void SelectId(int id);

    // How a rule reads in the list: its channels, its condition, its action.
    static QString ScopeText(const FeedRule& rule);
    static QString ConditionText(const FeedRule& rule);
    static QString ActionText(const FeedRule& rule);

private:
    void Fill();
    void UpdateEnabled();

    CRssReader& m_reader;
    CRssFavorites& m_favorites;
    CFeedRules m_rules;
    bool m_loaded = false;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_test = nullptr;
    QLabel* m_result = nullptr;
    CRuleHitCount* m_count = nullptr;
};
