#include "ui/reader/CleanWizard.h"

#include "reader/FeedCleaner.h"
#include "ui/app/MainFrame.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"
#include "ui/reader/ArticlesReportView.h"
#include "ui/reader/RssReader.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kIndexRole = Qt::UserRole;

// The channels page refuses to go on with nothing checked.
class CChannelsPage : public QWizardPage {
public:
    CChannelsPage(CCleanWizard& wizard) : m_wizard(wizard) {}
    bool validatePage() override {
        if (!m_wizard.CheckedChannels().empty())
            return true;
        CMessageBox::Show(this, QString::fromUtf8(CFeedCleaner::kNoChannelText));
        return false;
    }

private:
    CCleanWizard& m_wizard;
};

} // namespace

CCleanWizard::CCleanWizard(CRssReader& reader, QWidget* parent)
    : QWizard(parent), m_reader(reader) {
    setWindowTitle(QStringLiteral("清理文章向导"));
    setOption(QWizard::NoBackButtonOnStartPage);

    auto* channelsPage = new CChannelsPage(*this);
    channelsPage->setTitle(QStringLiteral("选择要清理的频道"));
    m_channels = new QTreeWidget(channelsPage);
    m_channels->setHeaderHidden(true);
    AddChildren(nullptr, m_reader.Tree().Roots());
    m_channels->expandAll();
    (new QVBoxLayout(channelsPage))->addWidget(m_channels);
    setPage(kChannelsPage, channelsPage);

    auto* optionsPage = new QWizardPage(this);
    optionsPage->setTitle(QStringLiteral("清理选项"));
    auto* layout = new QVBoxLayout(optionsPage);
    auto* daysRow = new QHBoxLayout;
    m_days = new QLineEdit(QStringLiteral("7"), optionsPage);
    m_days->setMaxLength(3);
    daysRow->addWidget(new QLabel(QStringLiteral("清理"), optionsPage));
    daysRow->addWidget(m_days);
    daysRow->addWidget(new QLabel(QStringLiteral("天以前的文章 (0 为全部文章)"), optionsPage));
    layout->addLayout(daysRow);
    m_all = new QRadioButton(QStringLiteral("所有文章"), optionsPage);
    m_readOnly = new QRadioButton(QStringLiteral("只清理已读文章"), optionsPage);
    m_readOnly->setChecked(true);
    layout->addWidget(m_all);
    layout->addWidget(m_readOnly);
    m_start = new QPushButton(QStringLiteral("开始清理"), optionsPage);
    layout->addWidget(m_start);
    layout->addStretch(1);
    setPage(kOptionsPage, optionsPage);
    connect(m_start, &QPushButton::clicked, this, &CCleanWizard::StartCleaning);
}

void CCleanWizard::Run(CMainFrame& frame) {
    CCleanWizard wizard(*frame.Reader(), &frame);
    wizard.exec();
    if (!frame.ItemList()->ShowsSearchResults())
        frame.ItemList()->ShowCurrentItems();
}

void CCleanWizard::AddChildren(QTreeWidgetItem* parent, const std::vector<int>& indexes) {
    for (int index : indexes) {
        const ChannelRecord record = m_reader.Tree().Record(index);
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_channels);
        item->setText(0, ToQ(record.title));
        item->setData(0, kIndexRole, index);
        // A directory checks or clears everything below it.
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable |
                       (record.directory ? Qt::ItemIsAutoTristate : Qt::NoItemFlags));
        item->setCheckState(0, Qt::Unchecked);
        if (record.directory)
            AddChildren(item, record.children);
    }
}

std::vector<int> CCleanWizard::CheckedChannels() const {
    std::vector<int> checked;
    for (QTreeWidgetItemIterator it(m_channels, QTreeWidgetItemIterator::Checked); *it; ++it) {
        const int index = (*it)->data(0, kIndexRole).toInt();
        if (!m_reader.Tree().Record(index).directory)
            checked.push_back(index);
    }
    return checked;
}

void CCleanWizard::StartCleaning() {
    CleanRequest request{.channels = CheckedChannels(),
                         .which =
                             m_readOnly->isChecked() ? CleanItems::kReadOnly : CleanItems::kAll};
    const std::string message =
        CFeedCleaner::CheckDays(ToStd(m_days->text().trimmed()), request.days);
    if (!message.empty()) {
        CMessageBox::Show(this, ToQ(message));
        m_days->setFocus();
        m_days->selectAll();
        return;
    }
    if (request.channels.empty()) {
        CMessageBox::Show(this, QString::fromUtf8(CFeedCleaner::kNoChannelText));
        return;
    }
    // What goes is said before anything is deleted.
    CFeedCleaner cleaner(m_reader.Tree(), m_reader.Store());
    CleanCount count;
    if (!cleaner.Count(request, count)) {
        CMessageBox::Show(this, ToQ("无法统计要清理的文章: " + cleaner.Error()));
        return;
    }
    if (count.items == 0) {
        CMessageBox::Show(this, QString::fromUtf8(CFeedCleaner::kNothingText));
        return;
    }
    if (!CMessageBox::Ask(this, ToQ(CFeedCleaner::QuestionText(count)),
                          QString::fromUtf8(CFeedCleaner::kQuestionCaption)))
        return;
    const QList<QWizard::WizardButton> navigation = {QWizard::BackButton, QWizard::FinishButton,
                                                     QWizard::CancelButton};
    for (QWizard::WizardButton which : navigation)
        button(which)->setEnabled(false);
    m_start->setEnabled(false);
    m_start->setText(QStringLiteral("清理中..."));
    // The new caption is painted before the store is busy.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    const bool ok = cleaner.Clean(request);
    // The channel tree shows the cleaned channels' counts anew.
    emit m_reader.CountsChanged();
    m_start->setText(QStringLiteral("清理完成"));
    m_start->setToolTip(ok ? QString() : ToQ("清理失败: " + cleaner.Error()));
    for (QWizard::WizardButton which : navigation)
        button(which)->setEnabled(true);
    // The last page always reads 清理完成!; when some items stayed, it says which and why.
    QString text = QStringLiteral("清理完成!");
    if (!ok)
        text += QStringLiteral("\n\n部分文章未能清理: ") + ToQ(cleaner.Error());
    CMessageBox::Show(this, text);
}
