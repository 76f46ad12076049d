#pragma once

#include "ui/common/PropertySheet.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

// "高级" of "BLOG设置": the XML-RPC trace file (quill_debug.html in a folder of the user's).
class CPropertyPageDebug : public CPropertyPage {
    Q_OBJECT
public:
    explicit CPropertyPageDebug(QWidget* parent = nullptr);
    bool Apply() override;

    QCheckBox* Use() const { return m_use; }
    QLineEdit* File() const { return m_file; }
    // The file name shown for a folder.
    static QString FileTextFor(const QString& folder);
    // The folder chosen with the browse button (tests set it without the dialog).
    void SetFolder(const QString& folder);

private:
    void Browse();

    QCheckBox* m_use = nullptr;
    QLineEdit* m_file = nullptr;
    QPushButton* m_browse = nullptr;
};
