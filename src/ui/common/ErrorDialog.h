#pragma once

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// The dialog through which nearly every failure is shown: a summary, the catalogue id, the
// probable place of the problem, and a long description shown on request.
class CErrorDialog : public QDialog {
    Q_OBJECT
public:
    explicit CErrorDialog(QWidget* parent = nullptr);

    // Fills the fields from the catalogue; false (the id alone filled) when it has no entry.
    bool ShowErrorById(int id);
    // Fills the fields with texts given by the caller.
    void ShowErrorText(int id, int place, const QString& summary, const QString& description);
    void SetTexts(int id, int place, const QString& summary, const QString& description);

    bool DetailsShown() const { return m_detailsShown; }
    // How much the window grows when the details are shown.
    static constexpr int kDetailsHeight = 105;

    QPushButton* DetailsButton() const { return m_detailsButton; }
    QPushButton* HelpButton() const { return m_helpButton; }
    QString Summary() const;
    QString IdText() const;
    QString Description() const;
    int Place() const;

public slots:
    void ToggleDetails();

private:
    QLineEdit* m_summary = nullptr;
    QLineEdit* m_id = nullptr;
    QRadioButton* m_places[3] = {};
    QPlainTextEdit* m_description = nullptr;
    QPushButton* m_detailsButton = nullptr;
    QPushButton* m_helpButton = nullptr;
    bool m_detailsShown = false;
};
