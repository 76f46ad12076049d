#include "ui/reader/FeedRulesDialog.h"

#include "platform/http/CancelToken.h"
#include "reader/RssFavorites.h"
#include "storage/FeedDatabase.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"
#include "ui/common/UiThread.h"
#include "ui/reader/RssReader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kDataRole = Qt::UserRole;

struct Named {
    int value;
    const char* text;
};

constexpr Named kFieldNames[] = {{static_cast<int>(RuleField::kTitle), "标题"},
                                 {static_cast<int>(RuleField::kAuthor), "作者"},
                                 {static_cast<int>(RuleField::kDescription), "内容"},
                                 {static_cast<int>(RuleField::kLink), "链接"}};
constexpr Named kMatchNames[] = {{static_cast<int>(RuleMatch::kContains), "包含"},
                                 {static_cast<int>(RuleMatch::kRegex), "匹配正则表达式"}};
constexpr Named kActionNames[] = {
    {static_cast<int>(RuleAction::kMarkRead), "标记为已读"},
    {static_cast<int>(RuleAction::kDelete), "删除"},
    {static_cast<int>(RuleAction::kCopyToFavorites), "复制到收藏"},
    {static_cast<int>(RuleAction::kMarkImportant), "标记为重要"},
};

template <size_t N> QString NameOf(const Named (&names)[N], int value) {
    for (const Named& name : names)
        if (name.value == value)
            return QString::fromUtf8(name.text);
    return {};
}

template <size_t N> void FillBox(QComboBox* box, const Named (&names)[N]) {
    for (const Named& name : names)
        box->addItem(QString::fromUtf8(name.text), name.value);
}

void Choose(QComboBox* box, int value) {
    box->setCurrentIndex(std::max(0, box->findData(value)));
}

QString HitText(int hits, const QString& reason) {
    if (hits < 0)
        return QStringLiteral("无法统计: ") + reason;
    return QStringLiteral("已存的文章中有 %1 篇符合这条规则").arg(hits);
}

} // namespace

// ---- The count ----

CRuleHitCount::CRuleHitCount(CRssReader& reader, QObject* parent)
    : QObject(parent), m_reader(reader) {}

CRuleHitCount::~CRuleHitCount() {
    Stop();
}

void CRuleHitCount::Stop() {
    if (m_cancel)
        m_cancel->Cancel();
    m_running = false;
}

void CRuleHitCount::Start(const FeedRule& rule) {
    Stop();
    m_cancel = std::make_shared<CCancelToken>();
    m_running = true;
    QPointer<CRuleHitCount> self(this);
    // The tree is shared with the receive workers; the worker reads it under its lock and
    // keeps a store connection of its own.
    m_jobs.Submit([self, context = this, cancel = m_cancel, tree = &m_reader.Tree(),
                   path = m_reader.Store().GetPath(), rule](const CCancelToken&) {
        CFeedDatabase store(path);
        std::string reason;
        int hits = -1;
        if (const StoreResult opened = store.OpenStore(); !opened)
            reason = opened.reason;
        else
            hits = CRuleFilter::CountHits(rule, *tree, store, reason, cancel.get());
        if (cancel->IsCancelled())
            return;
        PostToUi(context, [self, cancel, hits, reason = ToQ(reason)] {
            if (!self || cancel->IsCancelled())
                return;
            self->m_running = false;
            emit self->Finished(hits, reason);
        });
    });
}

// ---- One rule ----

CFeedRuleEditor::CFeedRuleEditor(CRssReader& reader, CRssFavorites& favorites, const FeedRule& rule,
                                 Save save, QWidget* parent)
    : QDialog(parent), m_reader(reader), m_save(std::move(save)), m_id(rule.id) {
    setWindowTitle(rule.id ? QStringLiteral("编辑过滤规则") : QStringLiteral("添加过滤规则"));

    m_all = new QRadioButton(QStringLiteral("所有频道"));
    m_chosen = new QRadioButton(QStringLiteral("选定的目录或频道:"));
    m_channels = new QTreeWidget;
    m_channels->setHeaderHidden(true);
    m_channels->setMinimumHeight(160);
    AddChannels(nullptr, m_reader.Tree().Roots());
    m_channels->expandAll();

    m_field = new QComboBox;
    FillBox(m_field, kFieldNames);
    m_match = new QComboBox;
    FillBox(m_match, kMatchNames);
    m_pattern = new QLineEdit;
    m_pattern->setMinimumWidth(260);
    m_case = new QCheckBox(QStringLiteral("区分大小写"));
    m_action = new QComboBox;
    FillBox(m_action, kActionNames);
    m_box = new QComboBox;
    for (int index : favorites.Tree().AllChannels())
        if (favorites.IsBox(index))
            m_box->addItem(ToQ(favorites.Tree().PathText(index, "/")));
    m_test = new QPushButton(QStringLiteral("测试"));
    m_result = new QLabel;
    m_result->setWordWrap(true);
    m_count = new CRuleHitCount(reader, this);

    // The rule's values.
    (rule.scope == RuleScope::kAll ? m_all : m_chosen)->setChecked(true);
    if (rule.scope != RuleScope::kAll)
        SelectChannel(m_reader.Tree().FindByPath(rule.scopePath));
    Choose(m_field, static_cast<int>(rule.field));
    Choose(m_match, static_cast<int>(rule.match));
    m_pattern->setText(ToQ(rule.pattern));
    m_case->setChecked(rule.caseSensitive);
    Choose(m_action, static_cast<int>(rule.action));
    if (!rule.box.empty()) {
        if (m_box->findText(ToQ(rule.box)) < 0)
            m_box->addItem(ToQ(rule.box)); // a box that is gone: the rule rests until it is back
        m_box->setCurrentText(ToQ(rule.box));
    }

    auto* scope = new QVBoxLayout;
    scope->addWidget(m_all);
    scope->addWidget(m_chosen);
    scope->addWidget(m_channels);
    auto* condition = new QHBoxLayout;
    condition->addWidget(m_field);
    condition->addWidget(m_match);
    condition->addWidget(m_pattern, 1);
    auto* action = new QHBoxLayout;
    action->addWidget(m_action);
    action->addWidget(m_box, 1);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("作用于:"), scope);
    form->addRow(QStringLiteral("条件:"), condition);
    form->addRow(QString(), m_case);
    form->addRow(QStringLiteral("动作:"), action);
    auto* test = new QHBoxLayout;
    test->addWidget(m_test);
    test->addWidget(m_result, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(test);
    layout->addWidget(new QLabel(QStringLiteral("规则只作用于此后收到的新文章。")));
    layout->addWidget(buttons);

    connect(m_all, &QRadioButton::toggled, this, &CFeedRuleEditor::UpdateEnabled);
    connect(m_action, &QComboBox::currentIndexChanged, this, &CFeedRuleEditor::UpdateEnabled);
    connect(m_test, &QPushButton::clicked, this, &CFeedRuleEditor::Test);
    connect(m_count, &CRuleHitCount::Finished, this, [this](int hits, const QString& reason) {
        m_test->setEnabled(true);
        m_result->setText(HitText(hits, reason));
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &CFeedRuleEditor::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    UpdateEnabled();
    m_pattern->setFocus();
}

void CFeedRuleEditor::AddChannels(QTreeWidgetItem* parent, const std::vector<int>& indexes) {
    for (int index : indexes) {
        const ChannelRecord record = m_reader.Tree().Record(index);
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_channels);
        item->setText(0, ToQ(record.title));
        item->setData(0, kDataRole, index);
        item->setIcon(0, ThemeIcon(record.directory ? "folder" : "application-rss+xml"));
        if (record.directory)
            AddChannels(item, record.children);
    }
}

void CFeedRuleEditor::SelectChannel(int index) {
    for (QTreeWidgetItemIterator it(m_channels); *it; ++it)
        if ((*it)->data(0, kDataRole).toInt() == index) {
            m_channels->setCurrentItem(*it);
            return;
        }
}

void CFeedRuleEditor::UpdateEnabled() {
    m_channels->setEnabled(m_chosen->isChecked());
    m_box->setEnabled(m_action->currentData().toInt() ==
                      static_cast<int>(RuleAction::kCopyToFavorites));
}

FeedRule CFeedRuleEditor::Rule() const {
    FeedRule rule{.id = m_id};
    if (m_chosen->isChecked()) {
        // A directory reaches every channel below it.
        const QTreeWidgetItem* item = m_channels->currentItem();
        const int index = item ? item->data(0, kDataRole).toInt() : -1;
        if (m_reader.Tree().IsValid(index)) {
            rule.scope = m_reader.Tree().Record(index).directory ? RuleScope::kDirectory
                                                                 : RuleScope::kChannel;
            rule.scopePath = m_reader.Tree().PathText(index, "/");
        } else {
            rule.scope = RuleScope::kChannel; // refused by the checks: nothing chosen
        }
    }
    rule.field = static_cast<RuleField>(m_field->currentData().toInt());
    rule.match = static_cast<RuleMatch>(m_match->currentData().toInt());
    rule.pattern = ToStd(m_pattern->text());
    rule.caseSensitive = m_case->isChecked();
    rule.action = static_cast<RuleAction>(m_action->currentData().toInt());
    if (rule.action == RuleAction::kCopyToFavorites)
        rule.box = ToStd(m_box->currentText());
    return rule;
}

void CFeedRuleEditor::Test() {
    const FeedRule rule = Rule();
    if (const std::string why = CFeedRules::Check(rule); !why.empty()) {
        m_result->setText(ToQ(why));
        return;
    }
    m_test->setEnabled(false);
    m_result->setText(QStringLiteral("正在统计已存的文章..."));
    m_count->Start(rule);
}

void CFeedRuleEditor::accept() {
    const std::string why = m_save ? m_save(Rule()) : std::string();
    if (!why.empty()) {
        CMessageBox::Show(this, ToQ(why));
        m_pattern->setFocus();
        return;
    }
    QDialog::accept();
}

// ---- The list ----

CFeedRulesDialog::CFeedRulesDialog(CRssReader& reader, CRssFavorites& favorites, std::string path,
                                   QWidget* parent)
    : QDialog(parent), m_reader(reader), m_favorites(favorites), m_rules(std::move(path)) {
    setWindowTitle(QStringLiteral("过滤规则"));
    m_list = new QTreeWidget;
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels(
        {QStringLiteral("作用于"), QStringLiteral("条件"), QStringLiteral("动作")});
    m_list->setMinimumSize(560, 220);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* add = new QPushButton(QStringLiteral("添加..."));
    m_edit = new QPushButton(QStringLiteral("编辑..."));
    m_remove = new QPushButton(QStringLiteral("删除"));
    m_test = new QPushButton(QStringLiteral("测试"));
    m_result = new QLabel;
    m_result->setWordWrap(true);
    m_count = new CRuleHitCount(reader, this);

    auto* side = new QVBoxLayout;
    for (QPushButton* button : {add, m_edit, m_remove, m_test})
        side->addWidget(button);
    side->addStretch();
    auto* row = new QHBoxLayout;
    row->addWidget(m_list, 1);
    row->addLayout(side);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral(
        "收到新文章时, 符合条件的文章按规则标记为已读、删除、复制到收藏或标记为重要。")));
    layout->addLayout(row);
    layout->addWidget(m_result);
    layout->addWidget(buttons);

    connect(add, &QPushButton::clicked, this, &CFeedRulesDialog::AddRule);
    connect(m_edit, &QPushButton::clicked, this, &CFeedRulesDialog::EditSelected);
    connect(m_remove, &QPushButton::clicked, this, &CFeedRulesDialog::RemoveSelected);
    connect(m_test, &QPushButton::clicked, this, &CFeedRulesDialog::TestSelected);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &CFeedRulesDialog::EditSelected);
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] {
        m_result->clear();
        UpdateEnabled();
    });
    connect(m_count, &CRuleHitCount::Finished, this, [this](int hits, const QString& reason) {
        m_result->setText(HitText(hits, reason));
        UpdateEnabled();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    std::string error;
    m_loaded = m_rules.Load(error);
    if (!m_loaded) {
        // Nothing may be written over a file the user can still mend.
        add->setEnabled(false);
        m_result->setText(QStringLiteral("无法读取过滤规则: ") + ToQ(error));
    }
    Fill();
}

QString CFeedRulesDialog::ScopeText(const FeedRule& rule) {
    switch (rule.scope) {
    case RuleScope::kAll:
        return QStringLiteral("所有频道");
    case RuleScope::kDirectory:
        return QStringLiteral("目录 ") + ToQ(rule.scopePath);
    case RuleScope::kChannel:
        return QStringLiteral("频道 ") + ToQ(rule.scopePath);
    }
    return {};
}

QString CFeedRulesDialog::ConditionText(const FeedRule& rule) {
    QString text = NameOf(kFieldNames, static_cast<int>(rule.field)) + QLatin1Char(' ') +
                   NameOf(kMatchNames, static_cast<int>(rule.match)) + QStringLiteral(" “") +
                   ToQ(rule.pattern) + QStringLiteral("”");
    if (rule.caseSensitive)
        text += QStringLiteral(" (区分大小写)");
    return text;
}

QString CFeedRulesDialog::ActionText(const FeedRule& rule) {
    QString text = NameOf(kActionNames, static_cast<int>(rule.action));
    if (rule.action == RuleAction::kCopyToFavorites)
        text += QLatin1Char(' ') + ToQ(rule.box);
    return text;
}

void CFeedRulesDialog::Fill() {
    const int selected = SelectedId();
    m_list->clear();
    for (const FeedRule& rule : m_rules.Rules()) {
        auto* item =
            new QTreeWidgetItem(m_list, {ScopeText(rule), ConditionText(rule), ActionText(rule)});
        item->setData(0, kDataRole, rule.id);
    }
    SelectId(selected);
    UpdateEnabled();
}

void CFeedRulesDialog::UpdateEnabled() {
    const bool chosen = m_loaded && SelectedId() > 0;
    m_edit->setEnabled(chosen);
    m_remove->setEnabled(chosen);
    m_test->setEnabled(chosen && !m_count->Running());
}

int CFeedRulesDialog::SelectedId() const {
    const QTreeWidgetItem* item = m_list->currentItem();
    return item ? item->data(0, kDataRole).toInt() : 0;
}

void CFeedRulesDialog::SelectId(int id) {
    for (int row = 0; row < m_list->topLevelItemCount(); ++row)
        if (m_list->topLevelItem(row)->data(0, kDataRole).toInt() == id)
            m_list->setCurrentItem(m_list->topLevelItem(row));
}

void CFeedRulesDialog::AddRule() {
    if (!m_loaded)
        return;
    int added = 0;
    CFeedRuleEditor editor(
        m_reader, m_favorites, FeedRule{},
        [this, &added](const FeedRule& rule) { return m_rules.Add(rule, &added); }, this);
    if (editor.exec() != QDialog::Accepted)
        return;
    Fill();
    SelectId(added);
}

void CFeedRulesDialog::EditSelected() {
    const FeedRule* rule = m_loaded ? m_rules.Find(SelectedId()) : nullptr;
    if (!rule)
        return;
    CFeedRuleEditor editor(
        m_reader, m_favorites, *rule,
        [this](const FeedRule& changed) { return m_rules.Replace(changed); }, this);
    if (editor.exec() == QDialog::Accepted)
        Fill();
}

void CFeedRulesDialog::RemoveSelected() {
    const int id = m_loaded ? SelectedId() : 0;
    if (id <= 0 ||
        !CMessageBox::Ask(this, QStringLiteral("确定要删除选中的过滤规则吗?"), windowTitle()))
        return;
    if (const std::string why = m_rules.Remove(id); !why.empty())
        CMessageBox::Show(this, ToQ(why));
    Fill();
}

void CFeedRulesDialog::TestSelected() {
    const FeedRule* rule = m_rules.Find(SelectedId());
    if (!rule)
        return;
    m_result->setText(QStringLiteral("正在统计已存的文章..."));
    m_count->Start(*rule);
    UpdateEnabled();
}
