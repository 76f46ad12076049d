#pragma once

#include "storage/FeedItem.h"

#include <QWidget>

class QButtonGroup;
class QComboBox;
class QRadioButton;

// The storage rule of a channel or of the reader: three choices (kSyncWithSource, kKeepNewest,
// kKeepAll in their order) and the count that the second one keeps. The count box offers the usual
// counts and takes any typed number.
class CStorageRuleBox : public QWidget {
    Q_OBJECT
public:
    explicit CStorageRuleBox(QWidget* parent = nullptr);

    // kDefault when no choice is made.
    StorageRule Type() const;
    void SetType(StorageRule type);
    // The typed count (a number outside the int range stays out of range).
    long long Count() const;
    void SetCount(long long count);
    QComboBox* CountBox() const { return m_count; }
    QRadioButton* Choice(int type) const { return m_choices[type - 1]; }

    // The message of the page's check (count first, then the choice), or an empty text.
    QString Check() const;

private:
    QButtonGroup* m_group = nullptr;
    QRadioButton* m_choices[3] = {};
    QComboBox* m_count = nullptr;
};
