#include "ui/editor/RestorePrompt.h"

#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"
#include "workspace/EditorSession.h"

#include <QDateTime>

bool CRestorePrompt::Offer(QWidget* parent, CEditorSession& session) {
    const std::vector<EditorRecord> records = session.InterruptedWork();
    if (records.empty())
        return false;
    const EditorRecord& record = records.front();
    if (!CMessageBox::Ask(parent, Text(record), QStringLiteral("恢复文章"))) {
        session.Discard(record);
        return false;
    }
    session.Restore(record);
    return true;
}

QString CRestorePrompt::Text(const EditorRecord& record) {
    const QString title = record.title.empty() ? QStringLiteral("(无标题)") : ToQ(record.title);
    const QString when = QDateTime::fromSecsSinceEpoch(record.savedAt)
                             .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return QStringLiteral("上次的编辑器没有正常关闭。它在 %1 记下的文章可以恢复:\n\n《%2》\n\n"
                          "恢复这篇文章吗? 选“否”则丢弃这份记录 (已自动保存的草稿仍在)。")
        .arg(when, title);
}
