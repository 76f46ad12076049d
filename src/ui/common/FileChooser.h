#pragma once

#include <QString>

class QWidget;

// Answers the file dialogs instead of the user: tests install one to give the name they want.
class CFileChooserHandler {
public:
    virtual ~CFileChooserHandler() = default;
    // The chosen path; empty for a cancelled dialog.
    virtual QString OnOpenFile(const QString& caption, const QString& filter) = 0;
    virtual QString OnSaveFile(const QString& caption, const QString& proposedName,
                               const QString& filter) = 0;
};

// The open and save dialogs of the windows. Filters are written as the program's resources
// write them: "描述|模式|描述|模式||", with several patterns separated by ";".
class CFileChooser {
public:
    static QString OpenFile(QWidget* parent, const QString& caption, const QString& filter);
    static QString SaveFile(QWidget* parent, const QString& caption, const QString& proposedName,
                            const QString& filter);
    // "XML文件 (*.xml;*.opml)|*.xml; *.opml|所有文件 (*.*)|*.*||" as Qt's filter list.
    static QString QtFilter(const QString& filter);

    static void SetHandler(CFileChooserHandler* handler);
};
