#include "ui/reader/OpmlCommands.h"

#include "reader/OpmlExchange.h"
#include "ui/common/FileChooser.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"
#include "ui/reader/OpmlImportDialog.h"
#include "ui/reader/RssChannelTreeCtrl.h"
#include "ui/reader/RssReader.h"

namespace {

constexpr const char* kExportFilter = "*.opml;*.xml|*.opml; *.xml|所有文件 (*.*)|*.*||";

void Report(CRssChannelTreeCtrl& tree, bool done, const std::string& error) {
    CMessageBox::Show(&tree, done ? QString::fromUtf8(COpmlExchange::kExportDoneText)
                                  : QString::fromUtf8(COpmlExchange::kExportFailedText) +
                                        QStringLiteral("\n") + ToQ(error));
}

} // namespace

void COpmlCommands::Import(CRssChannelTreeCtrl& tree) {
    CRssReader& reader = tree.Reader();
    // The tree is built anew afterwards: no receive may hold its items meanwhile.
    if (reader.Scheduler().IsBusy()) {
        CMessageBox::Show(&tree, QStringLiteral("正在收取频道, 请收取结束后再导入"));
        return;
    }
    if (!reader.Tree().SaveTreeState())
        return;
    COpmlImportDialog dialog(reader.Context(), &tree);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The records are made anew: what the list showed is forgotten.
    const int shown = reader.View().Current();
    reader.Tree().Build();
    tree.Fill();
    emit tree.ItemRemoved(shown);
}

void COpmlCommands::ExportAll(CRssChannelTreeCtrl& tree) {
    const QString path = CFileChooser::SaveFile(
        &tree, QStringLiteral("导出所有频道"), QString::fromUtf8(COpmlExchange::kExportAllFileName),
        QString::fromUtf8(kExportFilter));
    if (path.isEmpty())
        return;
    std::string error;
    const bool done = COpmlExchange::ExportAll(tree.Reader().Tree().FilePath(), ToStd(path), error);
    Report(tree, done, error);
}

void COpmlCommands::ExportCurrent(CRssChannelTreeCtrl& tree, int index) {
    if (index < 0 || !tree.Reader().Tree().IsValid(index))
        return;
    const QString title = ToQ(tree.Reader().Tree().Record(index).title);
    const QString path =
        CFileChooser::SaveFile(&tree, QStringLiteral("导出当前频道"),
                               title + QStringLiteral(".opml"), QString::fromUtf8(kExportFilter));
    if (path.isEmpty())
        return;
    std::string error;
    const bool done = COpmlExchange::ExportOutline(
        tree.Reader().Tree().FilePath(), tree.Reader().Tree().PathOf(index), ToStd(path), error);
    Report(tree, done, error);
}
