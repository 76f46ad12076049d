#pragma once

#include "app/AppContext.h"
#include "app/AppSettings.h"
#include "ui/common/PropertySheet.h"

#include <QColor>
#include <QPushButton>

class QCheckBox;
class QLabel;

// A button that shows a colour and lets the user choose another.
class CColorButton : public QPushButton {
    Q_OBJECT
public:
    explicit CColorButton(QWidget* parent = nullptr);
    QColor Color() const { return m_color; }
    void SetColor(const QColor& color);

signals:
    void ColorChanged(const QColor& color);

private:
    void Choose();
    QColor m_color;
};

// "外观" of "阅读器设置": colours and fonts of the item list.
class CPropertyPageRssSetupAppearance : public CPropertyPage {
    Q_OBJECT
public:
    // Reads and writes the context's settings.
    explicit CPropertyPageRssSetupAppearance(const CAppContext& context, QWidget* parent = nullptr);
    bool Apply() override;
    AppearanceSettings Values() const;

    CColorButton* UnreadColor() const { return m_unread; }
    CColorButton* ReadColor() const { return m_read; }
    CColorButton* DateColor() const { return m_date; }
    QCheckBox* BigFont() const { return m_big; }
    QCheckBox* BoldFont() const { return m_bold; }
    QCheckBox* NoRemoteImages() const { return m_noImages; }

private:
    void UpdateSample();

    CAppContext m_context;
    CColorButton* m_unread = nullptr;
    CColorButton* m_read = nullptr;
    CColorButton* m_date = nullptr;
    QCheckBox* m_big = nullptr;
    QCheckBox* m_bold = nullptr;
    QCheckBox* m_noImages = nullptr;
    QLabel* m_sample = nullptr;
};
